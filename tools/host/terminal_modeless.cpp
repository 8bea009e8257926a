// The modeless "command in progress" dialog on the terminal: a live status
// line on standard error (title and counter), and Escape or Ctrl-C as its
// Cancel. The interrupt handler (a signal handler, or a console thread on
// Windows) only raises a flag; Idle, which the plug-in's message pump calls
// on the host's thread, looks for a typed Escape and posts IDCANCEL to the
// dialog from there.
#include "host_signal.h"
#include "host_status.h"
#include "terminal_ui.h"

namespace {

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

struct StatusLine {
    std::string title;
    std::string counter;
    bool visible = false;
    bool cancelled = false;  // by Escape or Ctrl-C here; a dialog also hides when it closes
};
StatusLine g_status;  // guarded by TerminalUI::m_lock

void Draw(const StatusLine& s) {
    hoststatus::ShowDialog("[" + Trimmed(s.title) + "] " + s.counter + "  (Esc or Ctrl-C: Cancel)" +
                           (s.cancelled ? "  [cancelled]" : ""));
}

}  // namespace

void TerminalUI::WantConsoleKeys(bool wanted) {
    std::lock_guard<std::mutex> guard(InputLock());
    m_consoleKeys = wanted;
    plat::ConsoleKeys(wanted);
}

void TerminalUI::ModelessShown(plat::DialogHandle dialog, const plat::DialogTemplate& tmpl, bool visible) {
    WantConsoleKeys(visible);
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_modeless != dialog) {
        // The previous dialog closes only at a later pump: end its line here.
        if (g_status.visible) hoststatus::EndDialog();
        g_status = StatusLine{tmpl.caption, "", false, false};
    }
    m_modeless = dialog;
    if (visible && !g_status.visible) Draw(g_status);
    if (!visible && g_status.visible) hoststatus::EndDialog();
    g_status.visible = visible;
}

void TerminalUI::ModelessText(plat::DialogHandle dialog, int controlId, const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (dialog != m_modeless) return;
    if (controlId == -1) g_status.title = text;
    else g_status.counter = text;
    if (g_status.visible) Draw(g_status);
}

void TerminalUI::ModelessDestroyed(plat::DialogHandle dialog) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (dialog != m_modeless) return;
    WantConsoleKeys(false);
    if (g_status.visible) hoststatus::EndDialog();
    m_modeless = 0;
    g_status = StatusLine{};
}

void TerminalUI::Idle() {
    plat::DialogHandle target = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_modeless != 0 && g_status.visible) target = m_modeless;
    }
    if (target == 0) return;
    // A box asking on another thread has the terminal: the Escape waits.
    bool escape = false;
    {
        std::unique_lock<std::mutex> input(InputLock(), std::try_to_lock);
        escape = input.owns_lock() && m_consoleKeys && plat::TakeConsoleEscape();
    }
    // Only a visible dialog takes the Ctrl-C; otherwise the script sees it.
    if (!TakeCtrlC() && !escape) return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_modeless == target) {
            g_status.cancelled = true;
            if (g_status.visible) Draw(g_status);
        }
    }
    plat::PostDialogCommand(target, plat::kIdCancel);
}
