// cmmhost: a host process for the plug-in. Dispatches the first argument to
// one of the sub-commands; each parses the rest of the command line itself.
#include "commands.h"
#include "plugin_loader.h"

#include "platform/tools.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Command {
    const char* name;
    int (*run)(int, char**);
    const char* summary;
    const char* usage;
};

constexpr Command kCommands[] = {
    {"protocols", &CmdProtocols, "list the protocols the plug-in registers, in order", kProtocolsUsage},
    {"settings", &CmdSettings, "show or write a protocol's settings (.reg file or registry)", kSettingsUsage},
    {"configure", &CmdConfigure, "run a protocol's configuration dialog on the terminal", kConfigureUsage},
    {"run", &CmdRun, "connect a protocol and run commands or a script", kRunUsage},
    {"demo", &CmdDemo, "run the whole job against the simulator", kDemoUsage},
    {"serve", &CmdServe, "serve I++ DME 1.4 clients over TCP through a protocol", kServeUsage},
    {"ipp-client", &CmdIppClient, "send I++ DME 1.4 commands to a server, print the answers", kIppClientUsage},
};

void PrintUsage(std::FILE* out) {
    std::fputs("usage: cmmhost <command> [options]   (cmmhost <command> --help for its options)\n\n", out);
    for (const Command& c : kCommands) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fputs("\nThe plug-in is Mitutoyo.cmm next to cmmhost unless --plugin PATH names it.\n", out);
}

bool AsksForHelp(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 0) SetHostProgramPath(argv[0]);
    // Output piped into a pager that quits early must not skip the clean-up
    // of the simulator processes and the temporary tree.
    plat::IgnoreBrokenPipes();
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        PrintUsage(stdout);
        return 0;
    }
    if (const std::string fault = plat::DriveMapError(); !fault.empty()) {
        std::fprintf(stderr, "cmmhost: %s\n", fault.c_str());
        return 2;
    }
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) != 0) continue;
        if (AsksForHelp(argc - 2, argv + 2)) {
            std::fputs(c.usage, stdout);
            return 0;
        }
        return c.run(argc - 1, argv + 1);
    }
    std::fprintf(stderr, "cmmhost: unknown command '%s'\n\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
