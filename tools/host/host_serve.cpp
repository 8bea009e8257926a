// cmmhost serve: an I++ DME 1.4 server in front of one protocol of the
// plug-in. Any I++ client measures through it; the engine answers the
// protocol, the plug-in moves and probes.
//
//   cmmhost serve "<display name>" --store FILE|--registry [--key PATH] [--plugin PATH]
//                 [--port N] [--bind ADDR] [--tools FILE] [--answers POLICY]
//                 [--clients N] [--timeout SECONDS]
//
// Exit codes: 0 stopped (Ctrl-C, or after --clients clients), 2 usage, 3
// the plug-in, the protocol, the store or the tool file could not be loaded,
// 4 the port could not be had, 5 the watchdog ended the run.
#include "commands.h"
#include "host_run_support.h"
#include "host_serve_machine.h"
#include "host_serve_net.h"
#include "host_session.h"
#include "host_signal.h"
#include "settings_store.h"
#include "terminal_ui.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

struct ServeArgs {
    std::string protocol, plugin, answers = "ask", tools, bind = "127.0.0.1";
    StoreChoice store;
    long port = 1294;
    long clients = 0;  // 0: until Ctrl-C
    double timeoutSeconds = 0;
};

bool Number(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

bool ParseServeArgs(int argc, char** argv, ServeArgs& a, std::string& error) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const bool more = i + 1 < argc;
        auto fail = [&](const std::string& what) {
            error = arg + " " + what;
            return false;
        };
        if (arg == "--store" || arg == "--key" || arg == "--registry") {
            if (!TakeStoreOption(argc, argv, i, a.store)) return fail("needs a value");
        } else if (arg == "--plugin" || arg == "--answers" || arg == "--tools" || arg == "--bind") {
            if (!more) return fail("needs a value");
            std::string& into = arg == "--plugin" ? a.plugin : arg == "--answers" ? a.answers
                                : arg == "--tools"  ? a.tools : a.bind;
            into = argv[++i];
        } else if (arg == "--port") {
            if (!more || !Number(argv[++i], 0, 65535, a.port)) return fail("needs a port number (0: any free one)");
        } else if (arg == "--clients") {
            if (!more || !Number(argv[++i], 1, 1000000, a.clients)) return fail("needs a number of clients");
        } else if (arg == "--timeout") {
            if (!more || (a.timeoutSeconds = std::strtod(argv[++i], nullptr)) <= 0) return fail("needs seconds");
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 1) {
        error = "expected a protocol name";
        return false;
    }
    if (!StoreChosen(a.store)) {
        error = "give one of --store FILE and --registry";
        return false;
    }
    a.protocol = positional[0];
    return true;
}

bool LoadTools(const std::string& file, ipp::ToolTable& tools, std::string& error) {
    if (file.empty()) return true;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot read tool file " + file;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (tools.Load(text.str(), error)) return true;
    error = file + ": " + error;
    return false;
}

void Say(const std::string& text) {
    std::printf("cmmhost serve: %s\n", text.c_str());
    std::fflush(stdout);
}

// COSMOS keeps "MachineType" 0 for a manual machine; GEOPAK has no such
// setting and is taken as CNC.
bool CanMove(const plat::RegistryKey& store) {
    uint32_t type = 1;
    return !store.GetDword("MachineType", type) || type != 0;
}

// The normal queue runs here, on the host's thread, which pumps its
// messages between commands as a host does.
void ServeUntilDone(ipp::Engine& engine, IppListener& listener, long clients) {
    while (!CtrlCPending()) {
        engine.ExecuteOne(0.02);
        plat::PumpMessages();
        if (clients > 0 && listener.ClientsServed() >= clients && engine.Idle()) return;
    }
}

}  // namespace

const char kServeUsage[] =
    "usage: cmmhost serve \"<display name>\" --store FILE|--registry [--key PATH] [--plugin PATH]\n"
    "                     [--port N] [--bind ADDR] [--tools FILE] [--answers POLICY]\n"
    "                     [--clients N] [--timeout SECONDS]\n"
    "  serves one I++ DME 1.4 client at a time on ADDR:N (default 127.0.0.1:1294; port 0: any free one)\n"
    "  --tools: lines NAME DIAMETER [A B]; default RefTool, NoTool and Probe1 of diameter 2\n"
    "  --clients: stop once N clients have come and gone; else Ctrl-C stops the server\n"
    "  POLICY: how message boxes are answered, as for run: ask (default), yes, no, ok, cancel or a list\n";

int CmdServe(int argc, char** argv) {
    ServeArgs args;
    std::string error;
    if (!ParseServeArgs(argc, argv, args, error)) {
        std::fprintf(stderr, "cmmhost serve: %s\n%s", error.c_str(), kServeUsage);
        return 2;
    }
    Watchdog watchdog(args.timeoutSeconds, nullptr);
    InstallCtrlCHandler();
    ipp::ToolTable tools;
    std::unique_ptr<CMMProtocolWithThread> protocol;
    std::unique_ptr<SettingsStore> stored;
    if (!LoadTools(args.tools, tools, error) || !LoadProtocol(args.plugin, args.protocol, protocol, error) ||
        !(stored = SettingsStore::Open(args.store, args.protocol, error))) {
        std::fprintf(stderr, "cmmhost serve: %s\n", error.c_str());
        return 3;
    }
    ScratchKey store(stored->Key());
    protocol->ReadSettings(&store);
    TerminalUI ui(args.answers);
    plat::SetHostUI(&ui);
    int status = 0;
    {
        // Notifications may come from the worker before the machine exists
        // and while the session finishes after it is gone.
        std::atomic<PluginMachine*> machinePtr{nullptr};
        HostSession session(*protocol, store, HostSession::Hooks{
            [&machinePtr](const ClientMessage& m) {
                if (PluginMachine* target = machinePtr.load()) target->Notify(m);
            },
            nullptr,
            [](const std::string& what) { std::fprintf(stderr, "cmmhost serve: %s\n", what.c_str()); }});
        PluginMachine machine(session, *protocol, CanMove(store), 30000);
        ipp::Engine engine(machine, tools);
        machine.OnPositions([&engine](const ipp::Vec3& p) { engine.OnPosition(p); });
        machinePtr = &machine;
        IppListener listener(engine, Say);
        if (!session.Start()) {
            std::fputs("cmmhost serve: the protocol's worker thread did not start\n", stderr);
            status = 3;
        } else if (!listener.Open(args.bind, static_cast<unsigned short>(args.port), error)) {
            std::fprintf(stderr, "cmmhost serve: %s\n", error.c_str());
            status = 4;
        } else {
            listener.Start();
            Say("\"" + args.protocol + "\" listening on " + args.bind + ":" + std::to_string(listener.Port()));
            ServeUntilDone(engine, listener, args.clients);
            listener.Stop();
            // The session of a client cut off by the stop ends here.
            while (!engine.Idle()) engine.ExecuteOne(0.02);
            Say("stopped");
        }
        machinePtr = nullptr;
    }
    protocol.reset();
    plat::SetHostUI(nullptr);
    return status;
}
