// cmmhost settings: a protocol's settings in a .reg store or the registry.
//   cmmhost settings show  "<display name>" --store FILE|--registry [--key PATH] [--plugin PATH]
//   cmmhost settings write "<display name>" --store FILE|--registry [--key PATH] [--plugin PATH]
// Both create the protocol and let it read the store (a missing file or key
// is an empty key). show prints what the protocol would store, one value a
// line; write has the protocol store its settings (a file is saved
// atomically). A malformed file is reported with its line and left untouched.
#include "commands.h"
#include "plugin_loader.h"
#include "settings_store.h"

#include "framework/protocol.h"

#include <cstdio>
#include <memory>
#include <string>

const char kSettingsUsage[] =
    "usage: cmmhost settings show|write \"<display name>\" --store FILE|--registry [--key PATH]\n"
    "                        [--plugin PATH]\n"
    "  --registry: the system registry, key HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\<display name>\n"
    "              unless --key names another (Windows only)\n";

namespace {

struct SettingsArgs {
    std::string action, name, plugin;
    StoreChoice store;
};

bool ParseArgs(int argc, char** argv, SettingsArgs& a) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (TakeStoreOption(argc, argv, i, a.store)) continue;
        if (arg == "--plugin" && i + 1 < argc) a.plugin = argv[++i];
        else if (arg.rfind("--", 0) == 0) return false;
        else if (a.action.empty()) a.action = arg;
        else if (a.name.empty()) a.name = arg;
        else return false;
    }
    return (a.action == "show" || a.action == "write") && !a.name.empty() && StoreChosen(a.store);
}

void PrintValue(const std::string& name, const RegFileKey::Value& value) {
    if (value.isDword) {
        std::printf("%s = dword:%08x (%u)\n", name.c_str(), static_cast<unsigned>(value.dword),
                    static_cast<unsigned>(value.dword));
    } else {
        std::printf("%s = \"%s\"\n", name.c_str(), value.text.c_str());
    }
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "cmmhost: %s\n", what.c_str());
    return 1;
}

}  // namespace

int CmdSettings(int argc, char** argv) {
    SettingsArgs a;
    if (!ParseArgs(argc, argv, a)) {
        std::fputs(kSettingsUsage, stderr);
        return 2;
    }
    std::string error;
    if (!LoadPlugin(a.plugin, error)) return Fail(error);
    std::unique_ptr<CMMProtocolWithThread> protocol(CreateProtocol(a.name));
    if (!protocol) return Fail("no protocol named \"" + a.name + "\" (see cmmhost protocols)");
    std::unique_ptr<SettingsStore> store = SettingsStore::Open(a.store, a.name, error, a.action != "show");
    if (!store) return Fail(error);
    protocol->ReadSettings(&store->Key());
    if (a.action == "show") {
        // The protocol writes into a copy, so values it does not write itself
        // (but reads) still appear as stored.
        RegFileKey listing = store->Listing();
        protocol->WriteSettings(&listing);
        for (const auto& [name, value] : listing.Values()) PrintValue(name, value);
        return 0;
    }
    protocol->WriteSettings(&store->Key());
    try {
        store->Save();
    } catch (const RegFileError& e) {
        return Fail(e.what());
    }
    std::printf("wrote the settings to %s\n", store->Name().c_str());
    return 0;
}
