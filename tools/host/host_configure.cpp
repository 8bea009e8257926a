// cmmhost configure: a protocol's configuration dialog on the terminal.
//   cmmhost configure "<display name>" --store FILE|--registry [--key PATH]
//                     [--plugin PATH] [--set NAME=VALUE ...]
// Creates the protocol, lets it read its settings from the .reg store or the
// registry, runs its Configure (the dialog as a terminal form), and on OK has
// it write its settings back into the store. NAME in --set is a registry
// value name of the dialog's settings, which the plug-in describes with the
// control that edits each (framework/settings.h); the value goes into that
// control as if typed, and the form is confirmed with OK. Exit codes: 0 stored, 1 failure,
// 2 bad command line (nothing written), 3 cancelled (nothing written).
#include "commands.h"
#include "settings_store.h"
#include "terminal_form.h"
#include "terminal_ui.h"

#include "framework/settings.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

const char kConfigureUsage[] =
    "usage: cmmhost configure \"<display name>\" --store FILE|--registry [--key PATH]\n"
    "                         [--plugin PATH] [--set NAME=VALUE ...]   (NAME: a registry value name)\n"
    "  --registry: the system registry, key HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\<display name>\n"
    "              unless --key names another (Windows only)\n";

namespace {

// The settings the protocol's dialog edits, as the plug-in describes them.
std::vector<SettingInfo> DialogSettings(const std::string& displayName) {
    std::vector<SettingInfo> fields;
    for (const SettingInfo& row : RegisteredSettings(displayName))
        if (row.control != SettingControl::kNone) fields.push_back(row);
    return fields;
}

void ListNames(const std::vector<SettingInfo>& fields) {
    std::fputs("cmmhost: the dialog edits:", stderr);
    for (const SettingInfo& f : fields) std::fprintf(stderr, " \"%s\"", f.valueName);
    std::fputs("\n", stderr);
}

// --set NAME=VALUE as control overrides; registry names match as on Windows,
// without regard to case. False, with the reason printed, for anything else.
bool MapOverrides(const StoreCommand& command, const std::vector<SettingInfo>& fields,
                  std::map<int, std::string>& overrides) {
    for (const std::string& set : command.Sets()) {
        const size_t equals = set.find('=');
        const std::string name = set.substr(0, equals);
        const SettingInfo* field = FindSetting(fields, name);
        if (equals == std::string::npos || field == nullptr) {
            std::fprintf(stderr, "cmmhost: \"%s\" is not a setting of the %s dialog\n", name.c_str(),
                         command.DisplayName().c_str());
            ListNames(fields);
            return false;
        }
        std::string value = set.substr(equals + 1);
        if (field->control == SettingControl::kCheckBox && !ParseCheckAnswer(value, value)) {
            std::fprintf(stderr, "cmmhost: \"%s\" is a check box: give yes or no, not \"%s\"\n", field->valueName,
                         set.substr(equals + 1).c_str());
            return false;
        }
        overrides[field->controlId] = value;
    }
    return true;
}

}  // namespace

int CmdConfigure(int argc, char** argv) {
    StoreCommand command;
    if (!command.Parse(argc, argv, 1, true)) {
        std::fputs(kConfigureUsage, stderr);
        return 2;
    }
    if (!command.CreateProtocol()) return 1;
    const std::vector<SettingInfo> fields = DialogSettings(command.DisplayName());
    std::map<int, std::string> overrides;
    if (!MapOverrides(command, fields, overrides)) return 2;
    if (!command.OpenStore(true)) return 1;

    TerminalUI ui;
    ui.SetFormOverrides(std::move(overrides));
    std::map<int, std::string> names;  // shown beside each label: what --set takes
    for (const SettingInfo& f : fields) names[f.controlId] = f.valueName;
    ui.SetFieldNames(std::move(names));
    plat::HostUI* previous = plat::CurrentHostUI();
    plat::SetHostUI(&ui);
    const BOOL configured = command.Protocol().Configure();
    plat::SetHostUI(previous);
    if (!configured) {
        std::printf("cancelled: %s left as it was\n", command.Store().Name().c_str());
        return 3;
    }
    return command.WriteAndSave();
}
