// cmmhost settings: a protocol's settings in a .reg store or the registry.
//   cmmhost settings show  "<display name>" --store FILE|--registry [--key PATH] [--plugin PATH]
//   cmmhost settings write "<display name>" --store FILE|--registry [--key PATH] [--plugin PATH]
// Both create the protocol and let it read the store (a missing file or key
// is an empty key). show prints what the protocol would store, one value a
// line; write has the protocol store its settings (a file is saved
// atomically). A malformed file is reported with its line and left untouched.
#include "commands.h"
#include "settings_store.h"

#include <cstdio>
#include <string>

const char kSettingsUsage[] =
    "usage: cmmhost settings show|write \"<display name>\" --store FILE|--registry [--key PATH]\n"
    "                        [--plugin PATH]\n"
    "  --registry: the system registry, key HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\<display name>\n"
    "              unless --key names another (Windows only)\n";

namespace {

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
    StoreCommand command;
    const bool parsed = command.Parse(argc, argv, 2, false);
    const std::string action = parsed ? command.Words()[0] : "";
    if (action != "show" && action != "write") {
        std::fputs(kSettingsUsage, stderr);
        return 2;
    }
    if (!command.CreateProtocol() || !command.OpenStore(action != "show")) return 1;
    if (action == "write") return command.WriteAndSave();
    // The protocol writes into a copy, so values it does not write itself
    // (but reads) still appear as stored.
    RegFileKey listing = command.Store().Listing();
    command.Protocol().WriteSettings(&listing);
    for (const auto& [name, value] : listing.Values()) PrintValue(name, value);
    return 0;
}
