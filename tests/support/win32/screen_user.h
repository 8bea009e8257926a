// A user at the screen who works one modal dialog that the code under test
// opens from a thread of its own: on win32 the real dialog built from the
// module's resources (no host UI while the user lives), found by class
// "#32770" and caption and worked with window messages from the test's
// thread. Posix has no such screen: there the scripted host UI is the user.
// Every wait is bounded.
#pragma once

#include "support/test_support.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class ScreenUser {
public:
    ScreenUser();
    ~ScreenUser();  // cancels a dialog still open, then waits (bounded) for the body
    ScreenUser(const ScreenUser&) = delete;
    ScreenUser& operator=(const ScreenUser&) = delete;

    // Runs body, which shows the dialog, on a thread of its own; once.
    void Start(std::function<int()> body);
    // True once the dialog with this caption is on the screen.
    bool WaitForDialog(const std::string& caption, int realMs = 10000);
    // Every control of the template is on the dialog with its id and kind,
    // and labels, check boxes and buttons with their text (gtest failures).
    void ExpectControls(const plat::DialogTemplate& dialog);
    std::string Text(int controlId);  // an edit's text; "1"/"0" for a check box
    void SetText(int controlId, const std::string& text);
    void Click(int controlId);  // a check box flips; OK and Cancel end the dialog
    // The body's result once it has returned within realMs; false meanwhile.
    bool Finished(int& result, int realMs = 10000);

    // What the screen shows of a dialog, control by control.
    struct Control {
        int id;
        plat::ControlKind kind;
        std::string text;
    };
    // The way of seeing and working the dialog (screen.cpp).
    class Screen {
    public:
        virtual ~Screen() = default;
        virtual bool WaitForDialog(const std::string& caption, int realMs) = 0;
        virtual std::vector<Control> Controls() = 0;
        virtual std::string Text(int controlId) = 0;
        virtual void SetText(int controlId, const std::string& text) = 0;
        virtual void Click(int controlId) = 0;
        virtual void CloseIfOpen() = 0;  // as the close box would
    };

private:
    std::unique_ptr<Screen> m_screen;
    std::thread m_body;
    std::atomic<bool> m_done{false};
    int m_result = 0;
};
std::unique_ptr<ScreenUser::Screen> MakeScreen();

}  // namespace testsupport
