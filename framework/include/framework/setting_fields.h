// One table per protocol that binds each settings row (framework/settings.h)
// to the member it fills and to the copy its configuration dialog edits. The
// table drives the defaults, ReadSettings and WriteSettings (in its order)
// and the copies into and out of the dialog; the dialog's own exchange with
// its controls stays with the dialog, in its control order. A protocol
// defines its table inside its class scope, so the rows may point at
// private members.
#pragma once

#include "framework/settings.h"
#include "framework/toolbox.h"

#include <cstdlib>
#include <string>
#include <vector>

template <class Protocol, class Dialog>
struct SettingField {
    SettingInfo info;
    int Protocol::*number = nullptr;            // an integer row
    std::string Protocol::*text = nullptr;      // a text row
    int Dialog::*dialogNumber = nullptr;        // the dialog's copy; none: not copied
    std::string Dialog::*dialogText = nullptr;
};

template <class Protocol, class Dialog>
struct SettingTable {
    using Field = SettingField<Protocol, Dialog>;
    using Rows = std::vector<Field>;

    // Edited in a control of the dialog.
    static Field Edit(const char* name, std::string Protocol::*member, const char* defaultText, int controlId,
                      std::string Dialog::*copy) {
        return {{name, SettingKind::kText, defaultText, SettingControl::kEdit, controlId, true}, nullptr, member,
                nullptr, copy};
    }
    static Field Check(const char* name, int Protocol::*member, const char* defaultText, int controlId,
                       int Dialog::*copy) {
        return {{name, SettingKind::kInteger, defaultText, SettingControl::kCheckBox, controlId, true}, member,
                nullptr, copy, nullptr};
    }
    // Stored but in no control; a dialog copy, if given, passes it through.
    static Field Integer(const char* name, int Protocol::*member, const char* defaultText,
                         int Dialog::*copy = nullptr) {
        return {{name, SettingKind::kInteger, defaultText, SettingControl::kNone, 0, true}, member, nullptr, copy,
                nullptr};
    }
    // Read but never written: switched on by hand in the registry.
    static Field ReadOnly(const char* name, int Protocol::*member, const char* defaultText) {
        Field field = Integer(name, member, defaultText);
        field.info.written = false;
        return field;
    }

    static void ApplyDefaults(const Rows& rows, Protocol& protocol) {
        for (const Field& f : rows) {
            if (f.number) protocol.*f.number = static_cast<int>(std::strtol(f.info.defaultText, nullptr, 10));
            else protocol.*f.text = f.info.defaultText;
        }
    }
    // The current value is the default: a missing value leaves the member be.
    static void Read(const Rows& rows, HKEY key, Protocol& protocol) {
        for (const Field& f : rows) {
            if (f.number) {
                const unsigned current = static_cast<unsigned>(protocol.*f.number);
                protocol.*f.number = static_cast<int>(GetRegistryValue(key, f.info.valueName, current));
            } else {
                protocol.*f.text = GetRegistryValue(key, f.info.valueName, protocol.*f.text);
            }
        }
    }
    // The result of the last write.
    static BOOL Write(const Rows& rows, HKEY key, const Protocol& protocol) {
        BOOL result = TRUE;
        for (const Field& f : rows) {
            if (!f.info.written) continue;
            result = f.number ? WriteRegistryValue(key, f.info.valueName, protocol.*f.number)
                              : WriteRegistryValue(key, f.info.valueName, protocol.*f.text);
        }
        return result;
    }
    static void ToDialog(const Rows& rows, const Protocol& protocol, Dialog& dialog) {
        for (const Field& f : rows) {
            if (f.dialogNumber) dialog.*f.dialogNumber = protocol.*f.number;
            if (f.dialogText) dialog.*f.dialogText = protocol.*f.text;
        }
    }
    static void FromDialog(const Rows& rows, const Dialog& dialog, Protocol& protocol) {
        for (const Field& f : rows) {
            if (f.dialogNumber) protocol.*f.number = dialog.*f.dialogNumber;
            if (f.dialogText) protocol.*f.text = dialog.*f.dialogText;
        }
    }
    static std::vector<SettingInfo> Describe(const Rows& rows) {
        std::vector<SettingInfo> infos;
        for (const Field& f : rows) infos.push_back(f.info);
        return infos;
    }
};
