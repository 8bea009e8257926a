// A scripted COSMOS side for the COSMOS tests: a thread that plays Remote
// Manager (answers REMOTE.ASK with REMOTE.ANS and opens GEOPAK-WIN), owns
// the GEOPAK-WIN and PartManager windows on the virtual desktop, reads the
// keys typed into GEOPAK-WIN (closing it on the exit keys), and plays the
// host's macro: takes each ZOR_GEO.DAT and answers with GEO_ZOR.DAT as the
// test's responder says.
#pragma once

#include "cosmos/parameter_map.h"
#include "support/test_support.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class ScriptedCosmos {
public:
    static constexpr const char* kRoot = "C:\\COSMOS\\";
    static constexpr const char* kGeopakClass = "xmeas_res4500drawtask9012";
    static constexpr const char* kPartManagerClass = "xpartmngr4500drawtask9012";

    struct Command {
        std::string bytes;  // ZOR_GEO.DAT as it was on disk
        ParameterMap values;
    };
    struct Key {
        uint32_t tick;  // virtual time it was taken
        std::string text;
    };
    // Returns the answer text for a command, or nothing to leave it unanswered.
    using Responder = std::function<std::optional<std::string>(const ParameterMap& command)>;

    explicit ScriptedCosmos(testsupport::Sandbox& sandbox);
    ~ScriptedCosmos();
    ScriptedCosmos(const ScriptedCosmos&) = delete;
    ScriptedCosmos& operator=(const ScriptedCosmos&) = delete;

    // The COSMOS folders and an executable PMGRWIN.EXE that records its argument.
    void Install();
    void Start();
    void Stop();

    void SetResponder(Responder responder);
    void SetAnswerRemoteAsk(bool answer);
    void OpenGeopak();
    void OpenPartManager();
    // Writes an answer at once (atomically), whatever the responder says.
    void WriteAnswer(const std::string& text);

    plat::WindowHandle Geopak() const;
    std::vector<Command> Commands() const;
    size_t CommandCount() const;
    std::vector<Key> Keys() const;
    std::vector<std::string> KeyTexts() const;
    int RemoteAsksAnswered() const;
    std::string LastRemoteAsk() const;

    // "Error=0" and the given point and angles.
    static std::string PointAnswer(double x, double y, double z, double a, double b, double c, int error = 0);

private:
    void Run();
    void TakeKeys();
    void AnswerRemoteAsk();
    void TakeCommand();
    std::string Velmor(const char* name) const { return std::string(kRoot) + "VELMOR\\" + name; }

    testsupport::Sandbox& m_sandbox;
    mutable std::mutex m_lock;
    Responder m_responder;
    bool m_answerRemoteAsk = true;
    bool m_askAnswered = false;
    int m_remoteAsks = 0;
    std::string m_lastAsk;
    plat::WindowHandle m_geopak = plat::kNoWindow;
    plat::WindowHandle m_partManager = plat::kNoWindow;
    std::vector<Command> m_commands;
    std::vector<Key> m_keys;
    std::vector<std::string> m_exitKeys;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
