// The demo's I++ session (see host_demo_ipp.h).
#include "host_demo_ipp.h"

#include "fit.h"
#include "host_ipp_client.h"

#include "platform/tools.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <regex>
#include <thread>

namespace {

constexpr uint32_t kServerEndMs = 20000;

std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", std::fabs(v) < 5e-5 ? 0.0 : v);
    return buf;
}

// Start, home, tool, move into the bore, four probes 1 mm short of its wall
// at mid-depth, out again, end.
std::string Session(const DemoPart& part) {
    const double cx = part.boreCentre[0], cy = part.boreCentre[1], z = part.boreCentre[2];
    const double r = part.boreDiameter / 2 - 1;
    std::string s = "StartSession()\nHome()\nChangeTool(\"Probe1\")\nGoTo(X(" + Num(cx) + "), Y(" + Num(cy) + "), Z(" +
                    Num(part.topZ + 30) + "))\nGoTo(Z(" + Num(z) + "))\n";
    const double dirs[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    for (const auto& d : dirs) {
        s += "PtMeas(X(" + Num(cx + r * d[0]) + "), Y(" + Num(cy + r * d[1]) + "), Z(" + Num(z) + "), IJK(" +
             Num(-d[0]) + ", " + Num(-d[1]) + ", " + Num(0) + "))\n";
    }
    return s + "GoTo(Z(" + Num(part.topZ + 30) + "))\nEndSession()\n";
}

// The port the server announces on its standard output; empty if none came.
std::string AwaitPort(plat::ChildProcess& server) {
    const std::regex listening("listening on [0-9.]+:([0-9]+)");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (server.Running() && std::chrono::steady_clock::now() < end) {
        std::smatch m;
        const std::string out = server.Output();
        if (std::regex_search(out, m, listening)) return m[1];
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
}

// "00006 # X(1), Y(2), Z(3)" -> the point.
bool PointOf(const std::string& line, Vec3& p) {
    const std::regex point("# X\\(([-0-9.]+)\\), Y\\(([-0-9.]+)\\), Z\\(([-0-9.]+)\\)");
    std::smatch m;
    if (!std::regex_search(line, m, point)) return false;
    p = {std::stod(m[1]), std::stod(m[2]), std::stod(m[3])};
    return true;
}

}  // namespace

bool RunIppDemoSession(const DemoPart& part, const std::string& root, const std::string& plugin) {
    std::printf("\nI++ DME 1.4: cmmhost serve \"Mitutoyo - COSMOS1.3\", a client measures the bore:\n");
    std::fflush(stdout);
    std::vector<std::string> args = {"serve", "Mitutoyo - COSMOS1.3", "--store", root + "/ipp-settings.reg",
                                     "--port", "0", "--clients", "1", "--answers", "no", "--timeout", "60"};
    if (!plugin.empty()) args.insert(args.end(), {"--plugin", plugin});
    plat::ChildProcess server;
    std::string port, error;
    if (!server.Start(plat::CurrentExecutablePath(), args) || (port = AwaitPort(server)).empty()) {
        std::fprintf(stderr, "cmmhost demo: the I++ server did not start\n%s", server.Errors().c_str());
        return false;
    }
    IppClient client(60);
    bool ok = client.Connect("127.0.0.1", port, error);
    std::vector<Vec3> points;
    for (const std::string& command : TagCommandLines(Session(part))) {
        if (!ok) break;
        std::printf("  > %s\n", command.c_str());
        IppClient::Result result = client.Exchange(command, [&points](const std::string& line) {
            std::printf("    %s\n", line.c_str());
            Vec3 p;
            if (PointOf(line, p)) points.push_back(p);
        });
        ok = result == IppClient::Result::kOk;
    }
    if (!server.Wait(kServerEndMs)) server.Kill();
    if (!ok) {
        std::fprintf(stderr, "cmmhost demo: the I++ session failed %s\n", error.c_str());
        return false;
    }
    std::optional<CircleFit> circle = FitCircle(points);
    if (!circle) return false;
    std::printf("  bore diameter  measured %9.4f  true %9.4f  error %+8.4f  (%zu points over I++)\n", circle->diameter,
                part.boreDiameter, circle->diameter - part.boreDiameter, points.size());
    return true;
}
