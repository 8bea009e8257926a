// The posix screen of the test's screen user: a host UI that, instead of a
// terminal form, holds the modal dialog open until the user presses OK or
// Cancel, showing the template it was given and the values it exchanges.
// The host UI in place before is put back when the user leaves.
#include "support/test_support.h"

#include <chrono>
#include <condition_variable>

namespace testsupport {
namespace {

// Bounds how long an unattended dialog stays open: the test's own watchdog
// reports it, this only keeps the body's thread from outliving the test.
constexpr auto kUnattended = std::chrono::seconds(20);

class PresentedScreen : public ScreenUser::Screen, public plat::HostUI {
public:
    PresentedScreen() : m_previous(plat::CurrentHostUI()) { plat::SetHostUI(this); }
    ~PresentedScreen() override { plat::SetHostUI(m_previous); }

    int MessageBox(const std::string& text, unsigned style) override {
        return m_previous != nullptr ? m_previous->MessageBox(text, style) : plat::kIdOk;
    }

    int RunModal(const plat::DialogTemplate& dialog, std::map<int, std::string>& values) override {
        std::unique_lock<std::mutex> guard(m_lock);
        m_dialog = dialog;
        m_values = values;
        m_answer = 0;
        m_open = true;
        m_changed.notify_all();
        if (!m_changed.wait_for(guard, kUnattended, [this] { return m_answer != 0; })) m_answer = plat::kIdCancel;
        m_open = false;
        if (m_answer == plat::kIdOk) values = m_values;
        return m_answer;
    }

    bool WaitForDialog(const std::string& caption, int realMs) override {
        std::unique_lock<std::mutex> guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::milliseconds(realMs),
                                  [&] { return m_open && m_dialog.caption == caption; });
    }

    std::vector<ScreenUser::Control> Controls() override {
        std::lock_guard<std::mutex> guard(m_lock);
        std::vector<ScreenUser::Control> shown;
        if (!m_open) return shown;
        for (const plat::ControlTemplate& c : m_dialog.controls) shown.push_back({c.id, c.kind, c.text});
        return shown;
    }

    std::string Text(int controlId) override {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_values.find(controlId);
        return it == m_values.end() ? std::string() : it->second;
    }

    void SetText(int controlId, const std::string& text) override {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_open) m_values[controlId] = text;
    }

    void Click(int controlId) override {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_open) return;
        if (controlId == plat::kIdOk || controlId == plat::kIdCancel) {
            m_answer = controlId;
            m_changed.notify_all();
            return;
        }
        for (const plat::ControlTemplate& c : m_dialog.controls) {
            if (c.id == controlId && c.kind == plat::ControlKind::kCheckBox)
                m_values[controlId] = m_values[controlId] == "1" ? "0" : "1";
        }
    }

    void CloseIfOpen() override { Click(plat::kIdCancel); }

private:
    plat::HostUI* m_previous;
    std::mutex m_lock;
    std::condition_variable m_changed;
    plat::DialogTemplate m_dialog;
    std::map<int, std::string> m_values;
    bool m_open = false;
    int m_answer = 0;
};

}  // namespace

std::unique_ptr<ScreenUser::Screen> MakeScreen() { return std::make_unique<PresentedScreen>(); }

bool DeleteRegistryKey(const std::string&) { return false; }

}  // namespace testsupport
