// cmmhost protocols: loads the plug-in and prints the display names of the
// protocols it announced, in the order they were registered, one per line.
//   cmmhost protocols [--plugin PATH]
#include "commands.h"
#include "plugin_loader.h"

#include "framework/protocol.h"

#include <cstdio>
#include <string>

const char kProtocolsUsage[] = "usage: cmmhost protocols [--plugin PATH]\n";

int CmdProtocols(int argc, char** argv) {
    std::string plugin;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--plugin" && i + 1 < argc) {
            plugin = argv[++i];
        } else {
            std::fputs(kProtocolsUsage, stderr);
            return 2;
        }
    }
    std::string error;
    if (!LoadPlugin(plugin, error)) {
        std::fprintf(stderr, "cmmhost: %s\n", error.c_str());
        return 1;
    }
    for (const RegisteredProtocol& p : RegisteredProtocols()) std::printf("%s\n", p.displayName.c_str());
    return 0;
}
