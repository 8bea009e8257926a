// A user at the screen who works one modal dialog that the code under test
// opens from a thread of its own: the real dialog built from the module's
// resources (the host UI is taken away while the user lives), found by class
// "#32770" and caption and worked with the window messages a user's typing
// and clicks produce, sent from the test's thread. Win32 only: posix dialogs
// are the scripted host UI's. Every wait is bounded.
#pragma once

#include "support/test_support.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace testsupport {

class ScreenUser {
public:
    ScreenUser();
    ~ScreenUser();  // closes a dialog still open, then waits (bounded) for the body
    ScreenUser(const ScreenUser&) = delete;
    ScreenUser& operator=(const ScreenUser&) = delete;

    // Runs body, which shows the dialog, on a thread of its own; once.
    void Start(std::function<int()> body);
    // True once the dialog with this caption is on the screen.
    bool WaitForDialog(const std::string& caption, int realMs = 10000);
    std::string Text(int controlId);  // an edit's text; "1"/"0" for a check box
    void SetText(int controlId, const std::string& text);
    void Click(int controlId);  // a check box flips; OK and Cancel end the dialog
    // The body's result once it has returned within realMs; false meanwhile.
    bool Finished(int& result, int realMs = 10000);

private:
    plat::HostUI* m_previous;
    std::string m_caption;
    plat::WindowHandle m_dialog = plat::kNoWindow;
    std::thread m_body;
    std::atomic<bool> m_done{false};
    int m_result = 0;
};

}  // namespace testsupport
