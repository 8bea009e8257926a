// Shared set-up of the COSMOS protocol tests: the scripted COSMOS side (the
// COSMOS folders, and a thread playing Remote Manager, the GEOPAK-WIN and
// PartManager windows and the host's macro, which takes each ZOR_GEO.DAT and
// answers as the test's responder says), a protocol whose reports to the host
// are recorded, and a tear-down that ends the worker and lets command dialogs
// finish first. The scripted side reads files and keystrokes with its own
// code, never with the plug-in's parsers.
#pragma once

#include "cosmos/cosmos_protocol.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A parameter file as the host's macro reads it: "name=value" lines.
struct CosmosCommand {
    std::string bytes;  // as it was on disk
    std::vector<std::pair<std::string, double>> entries;
    double operator[](const std::string& name) const;  // NaN when the file has no such line
};
CosmosCommand ReadCommandFile(std::string bytes);

// The default key settings, as the window that receives them logs them.
inline const std::vector<std::string> kCancelKeys = {"%R",    "I",      "{TAB}", "{TAB}", "{TAB}",
                                                     "{DOWN}", "{DOWN}", "{TAB}", "{TAB}", "{ENTER}"};
inline const std::vector<std::string> kRestartKeys1 = {"%R", "{DOWN}", "{ENTER}"};
inline const std::vector<std::string> kRestartKeys2 = {"1", "{ENTER}", "{ENTER}"};
inline const std::vector<std::string> kExitKeys = {"%I", "{DOWN}", "{DOWN}", "{ENTER}"};

inline std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class ScriptedCosmos {
public:
    static constexpr const char* kGeopakClass = "xmeas_res4500drawtask9012";
    // Everything the side has taken so far.
    struct Seen {
        std::vector<CosmosCommand> commands;
        std::vector<std::string> keys;             // typed into GEOPAK-WIN
        std::vector<uint32_t> keyTicks;            // virtual time each was taken
        std::vector<std::string> partManagerKeys;  // typed into PartManager
        int remoteAsks = 0;
        std::string lastAsk;
        CosmosCommand Last() const { return commands.empty() ? CosmosCommand{} : commands.back(); }
    };
    // The answer text for a command, or nothing to leave it unanswered.
    using Responder = std::function<std::optional<std::string>(const CosmosCommand& command)>;

    // Plays from construction to destruction.
    explicit ScriptedCosmos(testsupport::Sandbox& sandbox);
    ~ScriptedCosmos();
    ScriptedCosmos(const ScriptedCosmos&) = delete;
    ScriptedCosmos& operator=(const ScriptedCosmos&) = delete;

    void SetResponder(Responder responder) { Locked([&] { m_responder = std::move(responder); }); }
    void SetAnswerRemoteAsk(bool answer) { Locked([&] { m_answerRemoteAsk = answer; }); }
    void OpenGeopak() { Open(m_geopak, kGeopakClass, "GEOPAK-WIN"); }
    void CloseGeopak();
    void OpenPartManager() { Open(m_partManager, "xpartmngr4500drawtask9012", "PartManager"); }
    plat::WindowHandle PartManager() const { return Locked([&] { return m_partManager; }); }
    // Writes an answer at once (atomically), whatever the responder says.
    void WriteAnswer(const std::string& text);
    Seen Snapshot() const { return Locked([&] { return m_seen; }); }
    size_t CommandCount() const { return Locked([&] { return m_seen.commands.size(); }); }

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
    Responder m_responder = [](const CosmosCommand&) { return std::optional<std::string>("Error=0\n"); };
    bool m_answerRemoteAsk = true;
    bool m_askAnswered = false;
    plat::WindowHandle m_geopak = plat::kNoWindow;
    plat::WindowHandle m_partManager = plat::kNoWindow;
    Seen m_seen;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// "Error" and the given point and angles, as the macro answers.
std::string PointAnswer(double x, double y, double z, double a, double b, double c, int error = 0);
std::vector<std::string> Texts(const std::vector<testsupport::ShownMessage>& shown);

class CosmosTest : public ::testing::Test {
protected:
    // Virtual ms any wait may give the scripted side to create a window and
    // answer: 5 real s at the suite's time scale, for a loaded machine.
    static constexpr int kWindowBudgetMs = 250000;
    // Virtual ms of a wait that is meant to run out.
    static constexpr int kShortWaitMs = 1000;

    void SetUp() override;
    void TearDown() override;
    // Connected, worker running, the connection's messages forgotten.
    void ConnectAndStart();
    std::vector<ClientMessage> Reports();

    testsupport::Sandbox box{50.0};
    ScriptedCosmos cosmos{box};
    std::unique_ptr<MitutoyoCosmosProtocol> protocol;

private:
    std::mutex m_reportsLock;
    std::vector<ClientMessage> m_reports;
};
