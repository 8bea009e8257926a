// What every test uses: a sandbox (temporary drive C:, virtual desktop, time
// scale), a scripted host UI (queued answers, recorded message boxes and
// dialogs), and file helpers.
#pragma once

#include "platform/tools.h"

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// f() under lock: a test double's state is shared with its own thread.
template <class F>
auto Locked(std::mutex& lock, F f) -> decltype(f()) {
    std::lock_guard<std::mutex> guard(lock);
    return f();
}

struct ShownMessage {
    std::string text;
    unsigned style;
};

// Host UI for tests: message boxes take queued answers (or the default
// answer), and are recorded with their style. Modal dialogs run a queued
// handler. Modeless dialogs are recorded.
class ScriptedUI : public plat::HostUI {
public:
    void QueueAnswer(int answer) { Locked(m_lock, [&] { m_answers.push_back(answer); }); }
    // When the queue is empty (start: IDNO for Yes/No boxes, IDOK otherwise).
    void SetDefaultAnswer(int answer) { Locked(m_lock, [&] { m_defaultAnswer = answer; }); }
    std::vector<ShownMessage> Messages() const { return Locked(m_lock, [&] { return m_messages; }); }
    std::vector<std::string> Texts() const;  // of Messages()
    void ClearMessages() { Locked(m_lock, [&] { m_messages.clear(); }); }
    // Called instead of the next message box; returns the answer.
    void OnMessage(std::function<int(const ShownMessage&)> handler) {
        Locked(m_lock, [&] { m_messageHandler = std::move(handler); });
    }

    using ModalHandler = std::function<int(const plat::DialogTemplate&, std::map<int, std::string>&)>;
    // None queued: the dialog is cancelled.
    void QueueModal(ModalHandler handler) { Locked(m_lock, [&] { m_modals.push_back(std::move(handler)); }); }
    std::vector<int> ModalTemplatesShown() const { return Locked(m_lock, [&] { return m_modalShown; }); }

    struct Modeless {
        plat::DialogHandle handle;
        int templateId;
        bool visible;
        std::map<int, std::string> texts;  // -1: title
        bool destroyed;
    };
    std::vector<Modeless> ModelessDialogs() const { return Locked(m_lock, [&] { return m_modeless; }); }

    int MessageBox(const std::string& text, unsigned style) override;
    int RunModal(const plat::DialogTemplate& dialog, std::map<int, std::string>& values) override;
    void ModelessShown(plat::DialogHandle, const plat::DialogTemplate&, bool visible) override;
    void ModelessText(plat::DialogHandle, int controlId, const std::string& text) override;
    void ModelessDestroyed(plat::DialogHandle) override;
    void Idle() override {}

private:
    Modeless& Find(plat::DialogHandle handle);  // a new entry for a handle not seen yet; under m_lock
    mutable std::mutex m_lock;
    std::deque<int> m_answers;
    int m_defaultAnswer = 0;  // 0: IDNO / IDOK by style
    std::vector<ShownMessage> m_messages;
    std::function<int(const ShownMessage&)> m_messageHandler;
    std::deque<ModalHandler> m_modals;
    std::vector<int> m_modalShown;
    std::vector<Modeless> m_modeless;
};

// A temporary drive C: and desktop, a time scale and a scripted UI, all put
// back on destruction.
class Sandbox {
public:
    explicit Sandbox(double timeScale = 50.0);
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& Root() const { return m_root; }         // native folder
    const std::string& DriveC() const { return m_driveC; }     // native folder of C:
    const std::string& Desktop() const { return m_desktop; }   // native desktop folder
    ScriptedUI& ui() { return m_ui; }

    // DOS-path file helpers (through the drive map).
    void WriteFile(const std::string& dosPath, const std::string& bytes);
    std::string ReadFile(const std::string& dosPath) const;  // raw bytes; "" if missing
    bool Exists(const std::string& dosPath) const;
    void MakeDir(const std::string& dosPath);
    // The keystroke log of a desktop window, one keystroke a line.
    std::vector<std::string> KeyLog(plat::WindowHandle window) const;

private:
    std::string m_root, m_driveC, m_desktop;
    std::map<char, std::string> m_oldMap;
    double m_oldScale;
    std::string m_oldDesktop;
    plat::HostUI* m_oldUI = nullptr;
    std::map<std::string, std::string> m_oldEnvironment;
    ScriptedUI m_ui;
};

// True when the tests run on the win32 half (real windows, message boxes and
// registry). A test of behaviour only the posix half has (window files on the
// virtual desktop folder, message boxes that answer themselves) skips there:
//     CMM_SKIP_ON_WIN32("reads the window files of the virtual desktop");
bool RunsOnWin32();
// Where sandboxes are made: on posix a memory file system when there is one
// (CMM_TEST_TMPDIR chooses another), so the exchange files never wait on a
// disk that builds beside the suite keep busy; else the temporary folder.
std::string SandboxBase();
// A program or module built beside the tests ("cmmhost", "Mitutoyo.cmm"), as
// a native path; win32 adds ".exe" to a name without an extension.
std::string ProgramPath(const std::string& name);
// A command running program on a pseudo terminal (util-linux script; posix
// only), so what is typed on its standard input reaches program as keys at a
// terminal. An empty program where there is no such helper.
struct Command {
    std::string program;
    std::vector<std::string> args;
};
Command OnPseudoTerminal(const std::string& program, const std::vector<std::string>& args);
// A program run to its end with input on its standard input; one that has
// not ended within realMs is killed (finished false, a gtest failure).
struct ProgramRun {
    bool finished = false;
    int exitCode = -1;
    std::string output, errors;
};
ProgramRun RunProgram(const Command& command, const std::string& input = "", uint32_t realMs = 60000);
#define CMM_SKIP_ON_WIN32(why) \
    if (::testsupport::RunsOnWin32()) GTEST_SKIP() << "posix only: " << (why)

// A stand-in for a vendor program the plug-in starts (record_launch, built
// beside the tests), installed at dosPath. When it runs, it writes its
// working folder and arguments into "launched.txt" of that folder.
void InstallRecordingProgram(const std::string& dosPath);
struct LaunchRecord {
    std::string folder;  // native
    std::vector<std::string> args;
};
// What the program that ran in dosFolder recorded; nothing before it has run.
std::optional<LaunchRecord> ReadLaunchRecord(const std::string& dosFolder);
// Whether two native paths name the same existing file or folder.
bool SamePath(const std::string& nativeA, const std::string& nativeB);

// Deletes a key below HKEY_CURRENT_USER with everything under it (win32);
// false where there is no registry or the key was not there.
bool DeleteRegistryKey(const std::string& subkey);

// Reads a file from tests/golden.
std::string Golden(const std::string& name);
// The rows of a table in tests/golden: a row a line, its fields split at
// " | "; blank lines and lines starting "#" skipped. In a field, \r \n \t
// \\ and \xHH stand for their bytes, and a field of just "" is empty.
std::vector<std::vector<std::string>> GoldenRows(const std::string& name);

// A vendor-side answer put at nativePath at once: written beside under a
// private name, then renamed into place, so the plug-in reads all of it or
// nothing. Windows refuses the rename while the plug-in still holds an older
// file of that name open, so it is tried again for a while.
void PutInPlace(const std::string& nativePath, const std::string& bytes);
// Polls cond every millisecond (real time) for at most realMs.
bool Eventually(const std::function<bool()>& cond, int realMs = 5000);

// Helper processes: the test binary re-run by the shared main in a helper
// mode, for behaviour that needs a second process (locks, windows).
void SetSelfPath(const std::string& argv0);  // the test main passes argv[0]
// Starts a helper that opens dosPath with the plat::File mode and keeps it
// open until ReleaseHeldFile. True when the helper holds the file; false when
// its open was refused (or it never reported, within a few seconds).
bool HoldFileInChild(const std::string& dosPath, unsigned mode);
void ReleaseHeldFile(const std::string& dosPath);
// The test main: runs the helper mode that argv names. False when argv names
// none (run the tests); else exitCode is the helper's result.
bool RunChildMode(int argc, char** argv, int& exitCode);

}  // namespace testsupport
