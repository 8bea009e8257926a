// cmmhost demo: the whole job end to end, with nothing to start by hand. In a
// fresh temporary drive C: and virtual desktop it installs the simulated
// vendor software (cmmsim, found next to cmmhost), then through COSMOS and
// then through GEOPAK connects, measures the default part inside one
// transaction (8 points around the bore at mid-depth, 4 on the top face),
// fits circle and plane, prints measured against true values and writes an
// SVG plot, and ends with a short I++ DME 1.4 session through cmmhost serve.
// Every way out shuts the simulator down and removes the tree.
//
//   cmmhost demo [--plugin PATH] [--keep] [--svg PATH] [--time-scale N] [--timeout SECONDS]
#include "commands.h"
#include "demo_support.h"
#include "fit.h"
#include "host_demo_ipp.h"
#include "host_run_support.h"
#include "host_session.h"
#include "host_signal.h"
#include "svg_plot.h"
#include "terminal_ui.h"

#include "framework/regfile.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>

namespace {

struct DemoArgs {
    std::string plugin, svg = "demo.svg";
    bool keep = false;
    double timeScale = 2.0;
    double timeoutSeconds = 120.0;
};

bool ParseDemoArgs(int argc, char** argv, DemoArgs& a) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool more = i + 1 < argc;
        if (arg == "--keep") a.keep = true;
        else if (arg == "--plugin" && more) a.plugin = argv[++i];
        else if (arg == "--svg" && more) a.svg = argv[++i];
        else if (arg == "--time-scale" && more) a.timeScale = std::strtod(argv[++i], nullptr);
        else if (arg == "--timeout" && more) a.timeoutSeconds = std::strtod(argv[++i], nullptr);
        else return false;
    }
    return a.timeScale > 0 && a.timeoutSeconds > 0;
}

// Message boxes as on the terminal (answered No), without the live status
// line of each command, which would drown the demo's report.
class QuietUI : public TerminalUI {
public:
    QuietUI() : TerminalUI("no") {}
    void ModelessShown(plat::DialogHandle, const plat::DialogTemplate&, bool) override {}
    void ModelessText(plat::DialogHandle, int, const std::string&) override {}
    void ModelessDestroyed(plat::DialogHandle) override {}
};

struct ProtocolRun {
    std::string label, displayName, colour;
    std::vector<Vec3> bore, top;  // measured, one per nominal point found
    size_t reported = 0;          // TYPE 2 positions in the transaction
    std::optional<CircleFit> circle;
    std::optional<PlaneFit> plane;
    bool ok = false;
};

// Runs the demo script through one protocol and sorts the reported positions
// to the nominal points they belong to.
bool Measure(ProtocolRun& run, const DemoPart& part, const std::string& plugin) {
    std::unique_ptr<CMMProtocolWithThread> protocol;
    std::string error;
    if (!LoadProtocol(plugin, run.displayName, protocol, error)) {
        std::fprintf(stderr, "cmmhost demo: %s\n", error.c_str());
        return false;
    }
    RegFileKey settings(StoreKeyPath(run.displayName));  // empty: the defaults match the install
    protocol->ReadSettings(&settings);
    QuietUI ui;
    plat::SetHostUI(&ui);
    ScriptParse script = ParseScript(DemoScript(part));
    HostSession::Outcome outcome;
    std::vector<ClientMessage> positions;
    {
        HostSession session(*protocol, settings, HostSession::Hooks{
            nullptr, nullptr, [&run](const std::string& what) {
                std::fprintf(stderr, "cmmhost demo: %s: %s\n", run.label.c_str(), what.c_str());
            }});
        // The demo's script waits for every point itself (wait-points after each probe).
        session.SetMeasureWait(0);
        outcome = session.Start() ? session.Run(script.commands) : HostSession::Outcome::kFailed;
        session.Finish();
        positions = session.TransactionPositions();
    }
    protocol.reset();
    plat::SetHostUI(nullptr);
    run.reported = positions.size();
    std::vector<Vec3> measured;
    for (const ClientMessage& m : positions) measured.push_back({m.position.x, m.position.y, m.position.z});
    run.bore = MatchToNominal(measured, part.bore);
    run.top = MatchToNominal(measured, part.top);
    run.circle = FitCircle(run.bore);
    run.plane = FitPlane(run.top);
    run.ok = outcome == HostSession::Outcome::kOk;
    return outcome != HostSession::Outcome::kInterrupted && outcome != HostSession::Outcome::kConnectFailed;
}

void PrintRun(const ProtocolRun& run, const DemoPart& part) {
    std::printf("\n%s (\"%s\"): %zu of %zu bore points, %zu of %zu top points, %zu positions reported\n",
                run.label.c_str(), run.displayName.c_str(), run.bore.size(), part.bore.size(), run.top.size(),
                part.top.size(), run.reported);
    if (run.circle) {
        const CircleFit& c = *run.circle;
        std::printf("  bore diameter  measured %9.4f  true %9.4f  error %+8.4f\n", c.diameter, part.boreDiameter,
                    c.diameter - part.boreDiameter);
        std::printf("  bore centre    measured (%9.4f, %9.4f)  true (%9.4f, %9.4f)  offset %7.4f\n", c.centre[0],
                    c.centre[1], part.boreCentre[0], part.boreCentre[1],
                    std::hypot(c.centre[0] - part.boreCentre[0], c.centre[1] - part.boreCentre[1]));
        std::printf("  bore roundness %9.4f\n", c.roundness);
    } else {
        std::printf("  bore: too few points for a circle\n");
    }
    if (run.plane) {
        std::printf("  top face       height %9.4f  true %9.4f  flatness %7.4f  (true 0)\n", run.plane->point[2],
                    part.topZ, run.plane->flatness);
    } else {
        std::printf("  top face: too few points for a plane\n");
    }
}

bool WriteSvg(const std::string& path, const DemoPart& part, const std::vector<ProtocolRun>& runs) {
    PlotScene scene;
    scene.boreCentre = part.boreCentre;
    scene.boreDiameter = part.boreDiameter;
    scene.nominal = part.bore;
    scene.nominal.insert(scene.nominal.end(), part.top.begin(), part.top.end());
    for (const ProtocolRun& run : runs) {
        PlotSeries series{run.label, run.colour, run.bore, run.circle, !run.ok};
        series.measured.insert(series.measured.end(), run.top.begin(), run.top.end());
        scene.series.push_back(series);
        char line[160];
        if (run.circle) {
            std::snprintf(line, sizeof line, "%s: bore diameter %.4f (true %.4f), flatness %.4f", run.label.c_str(),
                          run.circle->diameter, part.boreDiameter, run.plane ? run.plane->flatness : NAN);
            scene.notes.push_back(line);
        }
    }
    std::ofstream out(path, std::ios::binary);
    out << RenderSvg(scene);
    return static_cast<bool>(out);
}

}  // namespace

const char kDemoUsage[] =
    "usage: cmmhost demo [--plugin PATH] [--keep] [--svg PATH] [--time-scale N] [--timeout SECONDS]\n";

int CmdDemo(int argc, char** argv) {
    DemoArgs args;
    if (!ParseDemoArgs(argc, argv, args)) {
        std::fputs(kDemoUsage, stderr);
        return 2;
    }
    DemoTree tree(args.keep);
    Watchdog watchdog(args.timeoutSeconds, [&tree] { tree.Cleanup(); });
    InstallCtrlCHandler();
    RunGuard guard([&tree](const std::string&) { tree.Cleanup(); });
    std::string error;
    if (!tree.Create(args.timeScale, error) || !tree.InstallSimulator(error)) {
        std::fprintf(stderr, "cmmhost demo: %s\n", error.c_str());
        return 3;
    }
    std::unique_ptr<CMMProtocolWithThread> probe;
    if (!LoadProtocol(args.plugin, "Mitutoyo - COSMOS1.3", probe, error)) {
        std::fprintf(stderr, "cmmhost demo: %s\n", error.c_str());
        return 3;
    }
    probe.reset();
    std::printf("cmmhost demo: simulated installation in %s (time scale %g)\n", tree.Root().c_str(), args.timeScale);
    DemoPart part = DefaultPart();
    bool fromSimulator = ApplySceneTruth(tree.SimulatorStatus(), part);
    std::printf("cmmhost demo: true geometry %s: bore diameter %.4f at (%.4f, %.4f), top face z = %.4f\n",
                fromSimulator ? "from the simulator's scene" : "of the default part", part.boreDiameter,
                part.boreCentre[0], part.boreCentre[1], part.topZ);
    std::vector<ProtocolRun> runs = {
        {"COSMOS", "Mitutoyo - COSMOS1.3", "#c03030", {}, {}, 0, {}, {}, false},
        {"GEOPAK", "Mitutoyo - GEOPAK3v5.3", "#2070c0", {}, {}, 0, {}, {}, false},
    };
    int status = 0;
    for (ProtocolRun& run : runs) {
        std::printf("cmmhost demo: measuring through %s ...\n", run.label.c_str());
        std::fflush(stdout);
        if (!Measure(run, part, args.plugin) || CtrlCPending()) {
            std::fprintf(stderr, "cmmhost demo: %s did not get through; stopping\n", run.label.c_str());
            status = CtrlCPending() ? 1 : 4;
            break;
        }
        if (!run.ok) status = 1;
        PrintRun(run, part);
    }
    if (status != 4 && !CtrlCPending() && !RunIppDemoSession(part, tree.Root(), args.plugin)) status = 1;
    // A protocol that failed is drawn marked as failed, not left out.
    if (!WriteSvg(args.svg, part, runs)) {
        std::fprintf(stderr, "cmmhost demo: cannot write %s\n", args.svg.c_str());
        status = status ? status : 1;
    } else {
        std::printf("\ncmmhost demo: plot written to %s\n", args.svg.c_str());
    }
    tree.Cleanup();
    return status;
}
