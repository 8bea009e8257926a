// A scripted GEOPAK side for the protocol tests: a thread that owns a window
// titled like GEOPAK's, acknowledges startup commands, takes each command file
// the plug-in writes and answers the commands that expect an answer with
// scripted answer texts. Also the protocol fixture the tests share.
#pragma once

#include "geopak/geopak_protocol.h"
#include "support/protocol_settings.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace geopaktest {

using testsupport::Locked;

// Seven answer lines for a point and its three angles (degrees), CR LF ended.
std::string AnswerText(double x, double y, double z, double a, double b, double c);

// Makes the handler answer every message box from now on (the scripted UI
// takes one handler per box).
void HandleEveryMessage(testsupport::ScriptedUI& ui, std::function<int(const testsupport::ShownMessage&)> handler);

// Parses the seven lines of a command file as the macro reads them.
std::optional<GeopakCommand> ParseCommandText(const std::string& text);

class FakeGeopak {
public:
    explicit FakeGeopak(testsupport::Sandbox& sandbox);  // the sandbox is set up first
    ~FakeGeopak();

    plat::WindowHandle Window() const { return m_window; }
    // Answers for the commands that expect one (5, 6, 8): the queued texts in
    // order, then `then` for ever ("" = no answer at all).
    void SetAnswers(std::deque<std::string> queued, std::string then) {
        Locked(m_lock, [&] { m_answers = std::move(queued), m_then = std::move(then); });
    }
    std::vector<GeopakCommand> Commands() const { return Locked(m_lock, [&] { return m_commands; }); }
    std::vector<int> Codes() const { return Locked(m_lock, [&] { return m_codes; }); }

private:
    void Step();
    std::optional<std::string> Take(const std::string& name);

    plat::WindowHandle m_window;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::deque<std::string> m_answers;
    std::string m_then;
    std::vector<GeopakCommand> m_commands;
    std::vector<int> m_codes;
    std::thread m_thread;
};

// A protocol on C:\DATA whose reports to the host are recorded (on the
// host's thread, which is this one: they wait in its queue until it pumps).
class GeopakTest : public ::testing::Test {
protected:
    explicit GeopakTest(double scale = 20.0) : sandbox(scale) {
        sandbox.MakeDir("C:\\DATA");
        protocol.SetClient([this](const ClientMessage& m) { m_reports.push_back(m); });
    }
    std::vector<ClientMessage> Reports() { return plat::PumpMessages(), m_reports; }
    template <class T>
    void Set(const char* valueName, const T& value) { testsupport::SetSetting(protocol, valueName, value); }
    std::vector<std::string> Texts() { return sandbox.ui().Texts(); }

    testsupport::Sandbox sandbox;
    MitutoyoProtocol protocol;

private:
    std::vector<ClientMessage> m_reports;
};

}  // namespace geopaktest
