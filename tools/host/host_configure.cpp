// cmmhost configure: a protocol's configuration dialog on the terminal.
//   cmmhost configure "<display name>" --store FILE|--registry [--key PATH]
//                     [--plugin PATH] [--set NAME=VALUE ...]
// Creates the protocol, lets it read its settings from the .reg store or the
// registry, runs its Configure (the dialog as a terminal form), and on OK has
// it write its settings back into the store. NAME in --set is a registry value name of the
// dialog's settings; the value goes into the matching control as if typed,
// and the form is confirmed with OK. Exit codes: 0 stored, 1 failure,
// 2 bad command line (nothing written), 3 cancelled (nothing written).
#include "commands.h"
#include "plugin_loader.h"
#include "settings_store.h"
#include "terminal_form.h"
#include "terminal_ui.h"

#include "../../dialogs/resource.h"
#include "framework/protocol.h"
#include "framework/text.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

const char kConfigureUsage[] =
    "usage: cmmhost configure \"<display name>\" --store FILE|--registry [--key PATH]\n"
    "                         [--plugin PATH] [--set NAME=VALUE ...]   (NAME: a registry value name)\n"
    "  --registry: the system registry, key HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\<display name>\n"
    "              unless --key names another (Windows only)\n";

namespace {

struct Field {
    const char* valueName;
    int controlId;
    bool checkBox;
};

// Which control of each protocol's dialog edits which registry value.
constexpr Field kCosmosFields[] = {
    {"CosmosPath", IDC_COSMOS_PATH, false},
    {"CancelGEOPAKMacroString", IDC_COSMOS_CANCEL_KEYS, false},
    {"RestartGEOPAKMacroString1", IDC_COSMOS_RESTART_KEYS1, false},
    {"RestartGEOPAKMacroString2", IDC_COSMOS_RESTART_KEYS2, false},
    {"ExitGEOPAKKeyStroke", IDC_COSMOS_EXIT_KEYS, false},
    {"GeoPakWinClassName", IDC_COSMOS_GEOPAK_CLASS, false},
    {"PartManagerClassName", IDC_COSMOS_PARTMANAGER_CLASS, false},
    {"GeoPak Local", IDC_COSMOS_GEOPAK_LOCAL, true},
    {"MachineType", IDC_COSMOS_MACHINE_TYPE, true},
    {"Has PH9/PH10 Head", IDC_COSMOS_INDEXABLE_HEAD, true},
};
constexpr Field kGeopakFields[] = {
    {"GeoPak Application Directory", IDC_GEOPAK_APPLICATION_DIRECTORY, false},
    {"GeoPak Exchange Directory", IDC_GEOPAK_EXCHANGE_DIRECTORY, false},
    {"GeoPak Window name", IDC_GEOPAK_WINDOW_NAME, false},
    {"Startup Command 1", IDC_GEOPAK_STARTUP_COMMAND1, false},
    {"Startup Command 2", IDC_GEOPAK_STARTUP_COMMAND2, false},
    {"GeoPak Local", IDC_GEOPAK_LOCAL, true},
    {"Use Send KEY", IDC_GEOPAK_USE_SEND_KEY, true},
    {"Automatic Startup", IDC_GEOPAK_AUTOMATIC_STARTUP, true},
    {"Has PH9/PH10 Head", IDC_GEOPAK_INDEXABLE_HEAD, true},
};

struct FieldTable {
    const Field* begin;
    const Field* end;
};

// The table of a protocol, by its run-time class; empty for a stranger.
FieldTable FieldsOf(const CMMProtocolWithThread& protocol) {
    const std::string className = protocol.GetRuntimeClass()->m_lpszClassName;
    if (className == "MitutoyoCosmosProtocol") return {std::begin(kCosmosFields), std::end(kCosmosFields)};
    if (className == "MitutoyoProtocol") return {std::begin(kGeopakFields), std::end(kGeopakFields)};
    return {nullptr, nullptr};
}

struct ConfigureArgs {
    std::string name, plugin;
    StoreChoice store;
    std::vector<std::string> sets;  // NAME=VALUE as given
};

bool ParseArgs(int argc, char** argv, ConfigureArgs& a) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool more = i + 1 < argc;
        if (TakeStoreOption(argc, argv, i, a.store)) continue;
        if (arg == "--plugin" && more) a.plugin = argv[++i];
        else if (arg == "--set" && more) a.sets.push_back(argv[++i]);
        else if (arg.rfind("--", 0) == 0) return false;
        else if (a.name.empty()) a.name = arg;
        else return false;
    }
    return !a.name.empty() && StoreChosen(a.store);
}

void ListNames(FieldTable table) {
    std::fputs("cmmhost: the dialog edits:", stderr);
    for (const Field* f = table.begin; f != table.end; ++f) std::fprintf(stderr, " \"%s\"", f->valueName);
    std::fputs("\n", stderr);
}

// --set NAME=VALUE as control overrides; registry names match as on Windows,
// without regard to case. False, with the reason printed, for anything else.
bool MapOverrides(const ConfigureArgs& a, FieldTable table, std::map<int, std::string>& overrides) {
    for (const std::string& set : a.sets) {
        const size_t equals = set.find('=');
        const std::string name = set.substr(0, equals);
        const Field* field = table.begin;
        while (field != table.end && !EqualNoCase(name, field->valueName)) ++field;
        if (equals == std::string::npos || field == table.end) {
            std::fprintf(stderr, "cmmhost: \"%s\" is not a setting of the %s dialog\n", name.c_str(), a.name.c_str());
            ListNames(table);
            return false;
        }
        std::string value = set.substr(equals + 1);
        if (field->checkBox && !ParseCheckAnswer(value, value)) {
            std::fprintf(stderr, "cmmhost: \"%s\" is a check box: give yes or no, not \"%s\"\n", field->valueName,
                         set.substr(equals + 1).c_str());
            return false;
        }
        overrides[field->controlId] = value;
    }
    return true;
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "cmmhost: %s\n", what.c_str());
    return 1;
}

}  // namespace

int CmdConfigure(int argc, char** argv) {
    ConfigureArgs a;
    if (!ParseArgs(argc, argv, a)) {
        std::fputs(kConfigureUsage, stderr);
        return 2;
    }
    std::string error;
    if (!LoadPlugin(a.plugin, error)) return Fail(error);
    std::unique_ptr<CMMProtocolWithThread> protocol(CreateProtocol(a.name));
    if (!protocol) return Fail("no protocol named \"" + a.name + "\" (see cmmhost protocols)");
    std::map<int, std::string> overrides;
    if (!MapOverrides(a, FieldsOf(*protocol), overrides)) return 2;

    std::unique_ptr<SettingsStore> store = SettingsStore::Open(a.store, a.name, error, true);
    if (!store) return Fail(error);
    protocol->ReadSettings(&store->Key());

    TerminalUI ui;
    ui.SetFormOverrides(std::move(overrides));
    std::map<int, std::string> names;  // shown beside each label: what --set takes
    const FieldTable table = FieldsOf(*protocol);
    for (const Field* f = table.begin; f != table.end; ++f) names[f->controlId] = f->valueName;
    ui.SetFieldNames(std::move(names));
    plat::HostUI* previous = plat::CurrentHostUI();
    plat::SetHostUI(&ui);
    const BOOL configured = protocol->Configure();
    plat::SetHostUI(previous);
    if (!configured) {
        std::printf("cancelled: %s left as it was\n", store->Name().c_str());
        return 3;
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
