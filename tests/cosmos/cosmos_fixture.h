// Shared set-up of the COSMOS protocol tests: the scripted COSMOS side (the
// COSMOS folders, and a thread playing Remote Manager, the GEOPAK-WIN and
// PartManager windows and the host's macro, which takes each ZOR_GEO.DAT and answers as the test's
// responder says), a protocol whose reports to the host are recorded, and a
// tear-down that ends the worker and lets command dialogs finish first.
#pragma once

#include "cosmos/cosmos_protocol.h"
#include "dialogs/templates.h"
#include "framework/plugin/module.h"
#include "framework/toolbox.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

class ScriptedCosmos {
public:
    static constexpr const char* kGeopakClass = "xmeas_res4500drawtask9012";
    struct Command {
        std::string bytes;  // ZOR_GEO.DAT as it was on disk
        ParameterMap values;
    };
    // Everything the side has taken so far.
    struct Seen {
        std::vector<Command> commands;
        std::vector<std::string> keys;
        std::vector<uint32_t> keyTicks;  // virtual time each key was taken
        int remoteAsks = 0;
        std::string lastAsk;
        ParameterMap Last() const { return commands.empty() ? ParameterMap() : commands.back().values; }
    };
    // The answer text for a command, or nothing to leave it unanswered.
    using Responder = std::function<std::optional<std::string>(const ParameterMap& command)>;

    // Plays from construction to destruction.
    explicit ScriptedCosmos(testsupport::Sandbox& sandbox);
    ~ScriptedCosmos();
    ScriptedCosmos(const ScriptedCosmos&) = delete;
    ScriptedCosmos& operator=(const ScriptedCosmos&) = delete;

    void SetResponder(Responder responder) { Locked([&] { m_responder = std::move(responder); }); }
    void SetAnswerRemoteAsk(bool answer) { Locked([&] { m_answerRemoteAsk = answer; }); }
    void OpenGeopak() { Open(m_geopak, kGeopakClass, "GEOPAK-WIN"); }
    void OpenPartManager() { Open(m_partManager, "xpartmngr4500drawtask9012", "PartManager"); }
    // Writes an answer at once (atomically), whatever the responder says.
    void WriteAnswer(const std::string& text);
    plat::WindowHandle Geopak() const { return Locked([&] { return m_geopak; }); }
    Seen Snapshot() const { return Locked([&] { return m_seen; }); }
    size_t CommandCount() const { return Snapshot().commands.size(); }

private:
    template <class F>
    auto Locked(F f) const -> decltype(f()) {
        std::lock_guard<std::mutex> guard(m_lock);
        return f();
    }
    void Open(plat::WindowHandle& window, const char* windowClass, const char* title) {
        Locked([&] { window = window != plat::kNoWindow ? window : plat::CreateTopLevelWindow(windowClass, title); });
    }
    void TakeKeys();
    void AnswerRemoteAsk();
    void TakeCommand();

    mutable std::mutex m_lock;
    Responder m_responder = [](const ParameterMap&) { return std::optional<std::string>("Error=0\n"); };
    bool m_answerRemoteAsk = true;
    bool m_askAnswered = false;
    plat::WindowHandle m_geopak = plat::kNoWindow;
    plat::WindowHandle m_partManager = plat::kNoWindow;
    Seen m_seen;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// "Error" and the given point and angles, as the macro answers.
inline std::string PointAnswer(double x, double y, double z, double a, double b, double c, int error = 0) {
    std::ostringstream text;
    text << "Error=" << error << "\nActualX=" << x << "\nActualY=" << y << "\nActualZ=" << z << "\nActualA=" << a
         << "\nActualB=" << b << "\nActualC=" << c << "\n";
    return text.str();
}

// The canonical key lines a SendKeyString text types.
inline std::vector<std::string> KeyLines(const std::string& keys) {
    std::vector<std::string> lines;
    for (const plat::KeyStroke& key : ParseKeyString(keys).keys) lines.push_back(plat::KeyStrokeText(key));
    return lines;
}

inline std::vector<std::string> Texts(const std::vector<testsupport::ShownMessage>& shown) {
    std::vector<std::string> texts;
    for (const auto& message : shown) texts.push_back(message.text);
    return texts;
}

class CosmosTest : public ::testing::Test {
protected:
    // Virtual ms any wait may give the scripted side to create or destroy a
    // window: 600 real ms at the suite's time scale.
    static constexpr int kWindowBudgetMs = 30000;
    // Virtual ms of a wait that is meant to run out.
    static constexpr int kShortWaitMs = 1000;

    void SetUp() override {
        // What loading the module does: its dialog templates become known.
        plat::RegisterTemplates(PluginResourceModule(), &PluginDialogTemplates());
        protocol = std::make_unique<MitutoyoCosmosProtocol>();
        // Remote Manager's answer waits for the scripted side to open GEOPAK-WIN
        // first: a real window, which takes tens of real ms under Wine.
        protocol->m_remoteStartTimeout = kWindowBudgetMs;
        protocol->SetClient([this](const ClientMessage& message) {
            std::lock_guard<std::mutex> guard(m_reportsLock);
            m_reports.push_back(message);
        });
    }

    void TearDown() override {
        // A worker may sit in an exchange the scripted side left unanswered:
        // no new polls, and answers until it has left.
        protocol->CMMProtocolWithThread::OnStopTransaction();
        cosmos.SetResponder([](const ParameterMap&) { return std::optional<std::string>("Error=0\n"); });
        std::atomic<bool> ended{false};
        std::thread ender([&] {
            protocol->EndThread();
            ended = true;
        });
        while (!ended) {
            if (!box.Exists("C:\\COSMOS\\VELMOR\\GEO_ZOR.DAT")) cosmos.WriteAnswer("Error=0\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ender.join();
        plat::PumpMessages();  // closes dialogs whose close is still queued
    }

    // Connected, worker running, the connection's messages forgotten.
    void ConnectAndStart() {
        cosmos.OpenPartManager();
        ASSERT_EQ(protocol->Connect(), 1);
        ASSERT_TRUE(protocol->StartThread());
        box.ui().ClearMessages();
    }

    // What reached the host so far: notifications wait in this (the host's)
    // thread's queue until it pumps.
    std::vector<ClientMessage> Reports() {
        plat::PumpMessages();
        std::lock_guard<std::mutex> guard(m_reportsLock);
        return m_reports;
    }

    testsupport::Sandbox box{50.0};
    ScriptedCosmos cosmos{box};
    std::unique_ptr<MitutoyoCosmosProtocol> protocol;

private:
    std::mutex m_reportsLock;
    std::vector<ClientMessage> m_reports;
};
