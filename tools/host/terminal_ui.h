// The host's user interface on a terminal: message boxes as prompts (or
// answered by an --answers policy), modal dialogs as forms, the modeless
// command dialog as a live status line with Ctrl-C / Escape as Cancel.
#pragma once

#include "platform/tools.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

class TerminalUI : public plat::HostUI {
public:
    // policy: "ask" (interactive), "yes", "no", "ok", or a comma list of
    // answers used in order ("yes,no,ok"), after which "ask" applies.
    explicit TerminalUI(std::string policy = "ask");

    int MessageBox(const std::string& text, unsigned style) override;        // terminal_ui.cpp
    int RunModal(const plat::DialogTemplate& dialog,
                 std::map<int, std::string>& values) override;               // terminal_form.cpp
    void ModelessShown(plat::DialogHandle, const plat::DialogTemplate&, bool visible) override;  // terminal_modeless.cpp
    void ModelessText(plat::DialogHandle, int controlId, const std::string& text) override;      // terminal_modeless.cpp
    void ModelessDestroyed(plat::DialogHandle) override;                                          // terminal_modeless.cpp
    void Idle() override;                                                                         // terminal_modeless.cpp

    // Form answers for non-interactive configure: control id -> text.
    void SetFormOverrides(std::map<int, std::string> overrides) { m_formOverrides = std::move(overrides); }
    // Registry value names shown beside the form's labels: control id -> name.
    void SetFieldNames(std::map<int, std::string> names) { m_fieldNames = std::move(names); }
    bool Interactive() const;

private:
    // Standard input is shared by every box, whichever thread shows it, and
    // by the status line's Escape.
    static std::mutex& InputLock();
    void WantConsoleKeys(bool wanted);  // terminal_modeless.cpp

    std::string m_policy;
    std::vector<std::string> m_scripted;
    std::map<int, std::string> m_formOverrides;
    std::map<int, std::string> m_fieldNames;
    std::mutex m_lock;
    plat::DialogHandle m_modeless = 0;
    bool m_consoleKeys = false;  // the status line takes single keys; guarded by InputLock
};
