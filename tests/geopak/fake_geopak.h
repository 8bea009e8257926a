// A scripted GEOPAK side for the protocol tests: a thread that owns a window
// titled like GEOPAK's, acknowledges startup commands, takes each command file
// the plug-in writes and answers the commands that expect an answer with
// scripted answer texts.
#pragma once

#include "geopak/geopak_command.h"
#include "support/test_support.h"

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace geopaktest {

// Seven answer lines for a point and its three angles (degrees), CR LF ended.
std::string AnswerText(double x, double y, double z, double a, double b, double c);

class FakeGeopak {
public:
    // exchangeDir: the DOS exchange folder, with its trailing backslash.
    explicit FakeGeopak(testsupport::Sandbox& sandbox, std::string exchangeDir = "C:\\DATA\\",
                        std::string title = "GEOPAK - GEOPAK");
    ~FakeGeopak();
    FakeGeopak(const FakeGeopak&) = delete;
    FakeGeopak& operator=(const FakeGeopak&) = delete;

    plat::WindowHandle Window() const { return m_window; }

    void SetAcknowledgeStartup(bool on) { m_acknowledge = on; }
    // Answers for the next answered commands (5, 6, 8), in order; when none is
    // queued the default answer goes out ("" = no answer at all).
    void QueueAnswer(const std::string& text);
    void SetDefaultAnswer(const std::string& text);
    // Virtual milliseconds between taking a command and answering it.
    void SetAnswerDelay(uint32_t ms) { m_answerDelay = ms; }

    std::vector<std::string> StartupCommands() const;
    std::vector<GeopakCommand> Commands() const;
    std::vector<int> Codes() const;
    size_t CommandCount() const;

private:
    void Run();
    void Step();
    std::optional<std::string> Take(const std::string& name);
    void Answer();
    std::string Native(const std::string& name) const;

    testsupport::Sandbox& m_sandbox;
    std::string m_exchangeDir;
    plat::WindowHandle m_window;
    std::atomic<bool> m_acknowledge{true};
    std::atomic<uint32_t> m_answerDelay{0};
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::deque<std::string> m_answers;
    std::string m_defaultAnswer;
    std::vector<std::string> m_startup;
    std::vector<GeopakCommand> m_commands;
    std::thread m_thread;
};

// Makes the handler answer every message box from now on (the scripted UI
// takes one handler per box).
void HandleEveryMessage(testsupport::ScriptedUI& ui, std::function<int(const testsupport::ShownMessage&)> handler);

// Parses the seven lines of a command file as the macro reads them.
std::optional<GeopakCommand> ParseCommandText(const std::string& text);

}  // namespace geopaktest
