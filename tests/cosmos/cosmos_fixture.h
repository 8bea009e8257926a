// Shared set-up of the COSMOS protocol tests: the scripted COSMOS side (the
// COSMOS folders, and a thread playing Remote Manager, the GEOPAK-WIN and
// PartManager windows and the host's macro, which takes each ZOR_GEO.DAT and
// answers as the test's responder says), a protocol whose reports to the host
// are recorded, and a tear-down that ends the worker and lets command dialogs
// finish first. The scripted side reads files and keystrokes with its own
// code, never with the plug-in's parsers.
#pragma once

#include "cosmos/cosmos_protocol.h"
#include "support/protocol_settings.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using Strings = std::vector<std::string>;
using testsupport::Locked;

// A parameter file as the host's macro reads it: "name=value" lines.
struct CosmosCommand {
    std::string bytes;  // as it was on disk
    std::map<std::string, double> values;
    double operator[](const std::string& name) const {  // NaN when the file has no such line
        return values.count(name) != 0 ? values.at(name) : std::numeric_limits<double>::quiet_NaN();
    }
};

// The default key settings, as the window that receives them logs them.
inline const Strings kCancelKeys = {"%R", "I", "{TAB}", "{TAB}", "{TAB}", "{DOWN}", "{DOWN}", "{TAB}", "{TAB}", "{ENTER}"};
inline const Strings kRestartKeys = {"%R", "{DOWN}", "{ENTER}", "1", "{ENTER}", "{ENTER}"};  // both strings
inline const Strings kExitKeys = {"%I", "{DOWN}", "{DOWN}", "{ENTER}"};
inline Strings Join(Strings a, const Strings& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

class ScriptedCosmos {
public:
    static constexpr const char* kGeopakClass = "xmeas_res4500drawtask9012";
    // Everything the side has taken so far.
    struct Seen {
        std::vector<CosmosCommand> commands;
        Strings keys;                    // typed into GEOPAK-WIN
        Strings partManagerKeys;         // typed into PartManager
        Strings asks;  // Remote Manager requests answered
        CosmosCommand Last() const { return commands.empty() ? CosmosCommand{} : commands.back(); }
    };
    // The answer text for a command, or nothing to leave it unanswered.
    using Responder = std::function<std::optional<std::string>(const CosmosCommand& command)>;

    // Plays from construction to destruction.
    explicit ScriptedCosmos(testsupport::Sandbox& sandbox);
    ~ScriptedCosmos();

    void SetResponder(Responder responder) { Locked(m_lock, [&] { m_responder = std::move(responder); }); }
    void SetAnswerRemoteAsk(bool answer) { Locked(m_lock, [&] { m_answerRemoteAsk = answer; }); }
    void OpenGeopak() { Locked(m_lock, [&] { Open(m_geopak, kGeopakClass); }); }
    void CloseGeopak() { Locked(m_lock, [&] { plat::DestroyTopLevelWindow(m_geopak), m_geopak = plat::kNoWindow; }); }
    void OpenPartManager() { Locked(m_lock, [&] { Open(m_partManager, "xpartmngr4500drawtask9012"); }); }
    plat::WindowHandle Geopak() { return Locked(m_lock, [&] { return m_geopak; }); }
    plat::WindowHandle PartManager() { return Locked(m_lock, [&] { return m_partManager; }); }
    // Writes an answer at once (atomically), whatever the responder says.
    void WriteAnswer(const std::string& text);
    Seen Snapshot() { return Locked(m_lock, [&] { return m_seen; }); }
    size_t CommandCount() { return Locked(m_lock, [&] { return m_seen.commands.size(); }); }

private:
    static void Open(plat::WindowHandle& window, const char* windowClass) {
        if (window == plat::kNoWindow) window = plat::CreateTopLevelWindow(windowClass, windowClass);
    }
    void TakeKeys();
    void AnswerRemoteAsk();
    void TakeCommand();

    std::mutex m_lock;
    Responder m_responder;
    bool m_answerRemoteAsk = true;
    bool m_askAnswered = false;
    plat::WindowHandle m_geopak = plat::kNoWindow;
    plat::WindowHandle m_partManager = plat::kNoWindow;
    Seen m_seen;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class CosmosTest : public ::testing::Test {
protected:
    // Virtual ms any wait may give the scripted side to create a window and
    // answer: 5 real s at the suite's time scale, for a loaded machine.
    static constexpr int kWindowBudgetMs = 250000;

    void SetUp() override;
    void TearDown() override;
    // Connected, worker running, the connection's messages forgotten.
    void ConnectAndStart();
    // Notifications wait in this (the host's) thread's queue until it pumps.
    std::vector<ClientMessage> Reports() { return plat::PumpMessages(), m_reports; }
    template <class T>
    void Set(const char* valueName, const T& value) { testsupport::SetSetting(*protocol, valueName, value); }

    testsupport::Sandbox box{50.0};
    ScriptedCosmos cosmos{box};
    std::unique_ptr<MitutoyoCosmosProtocol> protocol;

private:
    std::vector<ClientMessage> m_reports;
};
