// cmmhost settings: a protocol's settings through a .reg store.
//   cmmhost settings show  "<display name>" --store FILE [--key PATH] [--plugin PATH]
//   cmmhost settings write "<display name>" --store FILE [--key PATH] [--plugin PATH]
// Both create the protocol and let it read the store (a missing file is an
// empty key). show prints what the protocol would store, one value a line;
// write has the protocol store its settings and saves the file atomically.
// A malformed store is reported with its line and left untouched.
#include "commands.h"
#include "plugin_loader.h"

#include "framework/protocol.h"
#include "framework/regfile.h"

#include <cstdio>
#include <memory>
#include <string>

const char kSettingsUsage[] =
    "usage: cmmhost settings show|write \"<display name>\" --store FILE [--key PATH] [--plugin PATH]\n";

namespace {

struct SettingsArgs {
    std::string action, name, store, key, plugin;
};

bool ParseArgs(int argc, char** argv, SettingsArgs& a) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool more = i + 1 < argc;
        if (arg == "--store" && more) a.store = argv[++i];
        else if (arg == "--key" && more) a.key = argv[++i];
        else if (arg == "--plugin" && more) a.plugin = argv[++i];
        else if (arg.rfind("--", 0) == 0) return false;
        else if (a.action.empty()) a.action = arg;
        else if (a.name.empty()) a.name = arg;
        else return false;
    }
    if (a.key.empty()) a.key = DefaultKeyPath(a.name);
    return (a.action == "show" || a.action == "write") && !a.name.empty() && !a.store.empty();
}

void PrintValue(const std::string& name, const RegFileKey::Value& value) {
    if (value.isDword) {
        std::printf("%s = dword:%08x (%u)\n", name.c_str(), static_cast<unsigned>(value.dword),
                    static_cast<unsigned>(value.dword));
    } else {
        std::printf("%s = \"%s\"\n", name.c_str(), value.text.c_str());
    }
}

}  // namespace

int CmdSettings(int argc, char** argv) {
    SettingsArgs a;
    if (!ParseArgs(argc, argv, a)) {
        std::fputs(kSettingsUsage, stderr);
        return 2;
    }
    std::string error;
    if (!LoadPlugin(a.plugin, error)) {
        std::fprintf(stderr, "cmmhost: %s\n", error.c_str());
        return 1;
    }
    std::unique_ptr<CMMProtocolWithThread> protocol(CreateProtocol(a.name));
    if (!protocol) {
        std::fprintf(stderr, "cmmhost: no protocol named \"%s\" (see cmmhost protocols)\n", a.name.c_str());
        return 1;
    }
    RegFileKey key(a.key);
    try {
        key.Load(a.store);
    } catch (const RegFileError& e) {
        std::fprintf(stderr, "cmmhost: %s\n", e.what());
        return 1;
    }
    protocol->ReadSettings(&key);
    // The protocol writes into a copy for show, so values it does not write
    // itself (but reads) still appear as stored.
    RegFileKey result = key;
    protocol->WriteSettings(&result);
    if (a.action == "show") {
        for (const auto& [name, value] : result.Values()) PrintValue(name, value);
        return 0;
    }
    try {
        result.Save(a.store);
    } catch (const RegFileError& e) {
        std::fprintf(stderr, "cmmhost: %s\n", e.what());
        return 1;
    }
    std::printf("wrote %zu values to %s\n", result.Values().size(), a.store.c_str());
    return 0;
}
