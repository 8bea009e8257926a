// What a protocol keeps in the registry and where its configuration dialog
// edits each value, described for a host that knows nothing else of the
// plug-in. A plug-in announces one description per protocol while it loads,
// with a SettingsRegister record beside its ProtocolRegister record (same
// display name, same lifetime: the record withdraws it when the plug-in
// unloads). A host asks RegisteredSettings for a protocol's rows to pre-set a
// dialog's controls by value name, to label them, or to store a value with
// the right type; it never needs the plug-in's headers, resource ids or
// class names. The rows are in the order the protocol reads them.
#pragma once

#include <string>
#include <vector>

enum class SettingKind {
    kText,     // a string value
    kInteger,  // a DWORD value
};

enum class SettingControl {
    kNone,      // not in the dialog
    kEdit,      // an edit control: the text as typed
    kCheckBox,  // a check box: 1 ticked, 0 not
};

struct SettingInfo {
    const char* valueName;    // the registry value name, exactly as stored
    SettingKind kind;
    const char* defaultText;  // a new protocol's value; integers in decimal
    SettingControl control;
    int controlId;            // the control of the dialog template; 0: none
    bool written;             // false: read only (a value set by hand)
};

class SettingsRegister {
public:
    // displayName: the protocol's registered display name. The rows are copied;
    // their texts must outlive the record (literals of the plug-in do).
    SettingsRegister(const char* displayName, std::vector<SettingInfo> settings);
    ~SettingsRegister();
    SettingsRegister(const SettingsRegister&) = delete;
    SettingsRegister& operator=(const SettingsRegister&) = delete;
};

// The rows announced for the protocol of this display name; empty for a
// protocol that described none.
std::vector<SettingInfo> RegisteredSettings(const std::string& displayName);
// The row of that value name, matched without regard to case as the registry
// does; nullptr when there is none.
const SettingInfo* FindSetting(const std::vector<SettingInfo>& settings, const std::string& valueName);
