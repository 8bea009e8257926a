// cmmhost run: drives one protocol of the plug-in with a script, as a host
// would, and prints every notification as it arrives.
//
//   cmmhost run "<display name>" --store FILE|--registry [--key PATH] [--plugin PATH]
//               [--answers POLICY] [--csv] [--no-wait] [--timeout SECONDS] SCRIPT|-
//
// The script's configure lines change the settings for this run only.
//
// Exit codes: 0 every command succeeded, 1 a command failed or the run was
// interrupted, 2 usage or script error, 3 the plug-in, the protocol or the
// settings store could not be loaded, 4 connect failed (or another cmmhost
// drives this installation), 5 the watchdog ended
// the run, 6 a second Ctrl-C or a request to end (SIGTERM) ended it at once.
#include "commands.h"
#include "host_output.h"
#include "host_run_support.h"
#include "host_session.h"
#include "host_signal.h"
#include "host_status.h"
#include "platform/tools.h"
#include "settings_store.h"
#include "terminal_ui.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

namespace {

struct RunArgs {
    std::string protocol, plugin, answers = "ask", script;
    StoreChoice store;
    bool csv = false, noWait = false;
    double timeoutSeconds = 0;
};

}  // namespace

const char kRunUsage[] =
    "usage: cmmhost run \"<display name>\" --store FILE|--registry [--key PATH] [--plugin PATH]\n"
    "                   [--answers POLICY] [--csv] [--no-wait] [--timeout SECONDS] SCRIPT|-\n"
    "  --registry: the system registry instead of a .reg file (Windows only)\n"
    "  --no-wait: in a GEOPAK transaction, measure does not wait for its point\n"
    "  POLICY: ask (default), yes, no, ok, cancel, or a list such as yes,no,ok\n"
    "  script lines: connect | disconnect | move X Y Z | measure X Y Z I J K | head A B C\n"
    "                approach I J K | transaction start|stop | wait MS | wait-points N [MS]\n"
    "                poll | interrupt | configure NAME=VALUE ...    (# starts a comment)\n";

namespace {

bool ParseRunArgs(int argc, char** argv, RunArgs& a, std::string& error) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--store" || arg == "--key" || arg == "--registry") {
            if (!TakeStoreOption(argc, argv, i, a.store)) { error = arg + " needs a value"; return false; }
        } else if (arg == "--plugin") { if (!value(a.plugin)) { error = "--plugin needs a path"; return false; } }
        else if (arg == "--answers") { if (!value(a.answers)) { error = "--answers needs a policy"; return false; } }
        else if (arg == "--csv") a.csv = true;
        else if (arg == "--no-wait") a.noWait = true;
        else if (arg == "--timeout") {
            if (!value(text) || (a.timeoutSeconds = std::strtod(text.c_str(), nullptr)) <= 0) {
                error = "--timeout needs a number of seconds";
                return false;
            }
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") { error = "unknown option " + arg; return false; }
        else positional.push_back(arg);
    }
    if (positional.size() != 2) { error = "expected a protocol name and a script"; return false; }
    if (!StoreChosen(a.store)) { error = "give one of --store FILE and --registry"; return false; }
    a.protocol = positional[0];
    a.script = positional[1];
    return true;
}

bool ReadScript(const std::string& name, std::string& text) {
    std::ostringstream all;
    if (name == "-") {
        all << std::cin.rdbuf();
    } else {
        std::ifstream in(name, std::ios::binary);
        if (!in) return false;
        all << in.rdbuf();
    }
    text = all.str();
    return true;
}

// The terminal UI, with every message box also reported as an output line.
class RunUI : public TerminalUI {
public:
    RunUI(std::string policy, EventPrinter& printer) : TerminalUI(std::move(policy)), m_printer(printer) {}
    int MessageBox(const std::string& text, unsigned style) override {
        int answer = TerminalUI::MessageBox(text, style);
        m_printer.MessageBox(text, style, answer);
        return answer;
    }

private:
    EventPrinter& m_printer;
};

int ExitCodeOf(HostSession::Outcome outcome) {
    switch (outcome) {
    case HostSession::Outcome::kOk: return 0;
    case HostSession::Outcome::kConnectFailed: return 4;
    case HostSession::Outcome::kFailed:
    case HostSession::Outcome::kInterrupted: return 1;
    }
    return 1;
}

}  // namespace

int CmdRun(int argc, char** argv) {
    RunArgs args;
    std::string error, scriptText;
    if (!ParseRunArgs(argc, argv, args, error)) {
        std::fprintf(stderr, "cmmhost run: %s\n%s", error.c_str(), kRunUsage);
        return 2;
    }
    if (!ReadScript(args.script, scriptText)) {
        std::fprintf(stderr, "cmmhost run: cannot read script %s\n", args.script.c_str());
        return 2;
    }
    ScriptParse script = ParseScript(scriptText);
    if (!script.ok) {
        std::fprintf(stderr, "cmmhost run: %s:%d: %s\n", args.script.c_str(), script.errorLine, script.error.c_str());
        return 2;
    }
    // Before the claim that others can see: a Ctrl-C sent once it is seen
    // must find the handler in place, not end the process outright.
    InstallCtrlCHandler();
    unsigned long holder = 0;
    if (!plat::ClaimInstallation(holder)) {
        std::fprintf(stderr, "cmmhost run: another cmmhost (pid %lu) is driving this installation\n", holder);
        return 4;
    }
    EventPrinter printer(stdout, args.csv);
    Watchdog watchdog(args.timeoutSeconds, [&printer] { printer.Event("watchdog", "time limit reached"); });
    RunGuard guard([&printer](const std::string& why) { printer.Event("ended", why); });

    std::unique_ptr<CMMProtocolWithThread> protocol;
    if (!LoadProtocol(args.plugin, args.protocol, protocol, error)) {
        std::fprintf(stderr, "cmmhost run: %s\n", error.c_str());
        return 3;
    }
    std::unique_ptr<SettingsStore> stored = SettingsStore::Open(args.store, args.protocol, error);
    if (!stored) {
        std::fprintf(stderr, "cmmhost run: %s\n", error.c_str());
        return 3;
    }
    ScratchKey store(stored->Key());
    protocol->ReadSettings(&store);

    RunUI ui(args.answers, printer);
    plat::SetHostUI(&ui);
    HostSession::Outcome outcome;
    {
        HostSession session(*protocol, store, HostSession::Hooks{
            [&printer](const ClientMessage& m) { printer.Notification(m); },
            [&printer](int line, const std::string& verb, int result) { printer.CommandResult(line, verb, result); },
            [](const std::string& what) { hoststatus::Print(stderr, "cmmhost run: " + what + "\n"); },
        });
        if (args.noWait) session.SetMeasureWait(0);
        if (!session.Start()) {
            std::fputs("cmmhost run: the protocol's worker thread did not start\n", stderr);
            plat::SetHostUI(nullptr);
            return 3;
        }
        outcome = session.Run(script.commands);
        if (outcome == HostSession::Outcome::kInterrupted) printer.Event("interrupted", "Ctrl-C");
    }
    protocol.reset();
    plat::SetHostUI(nullptr);
    return ExitCodeOf(outcome);
}
