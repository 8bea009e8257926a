// The I++ DME 1.4 server engine: takes command lines, answers with response
// lines, and drives a Machine. Lines arrive on the connection's thread
// (Receive): every command is acknowledged at once; the fast queue
// (AbortE, GetErrStatusE, GetPropE, OnMoveReportE) is answered there too.
// Normal commands wait in FIFO order for the executing thread
// (ExecuteOne), the only one that calls the machine, so a command's "#",
// "!" and "%" lines never precede the "%" of the one before. Daemons report
// from the machine's position updates (OnPosition, any thread).
//
// Left out: scanning, rotary tables, AlignTool and AlignPart, and every
// other optional group: they answer 0501 "Unsupported command".
#pragma once

#include "ipp_line.h"
#include "ipp_machine.h"
#include "ipp_model.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace ipp {

class Engine {
public:
    using Sink = std::function<void(const std::string& line)>;  // without CR LF
    using Clock = std::function<double()>;                      // seconds, monotonic

    Engine(Machine& machine, ToolTable tools, Clock clock = {});
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // A client connects: lines go to sink from now on (under the engine's
    // lock; the sink must not call back into the engine).
    void Attach(Sink sink);
    // The client left: nothing more is sent, waiting commands are dropped,
    // the running one is aborted and the session ends once it returns.
    void Detach();
    void Receive(const std::string& line);
    // Runs the next normal command, waiting up to waitSeconds for one;
    // false when none came.
    bool ExecuteOne(double waitSeconds);
    // True when no command waits or runs.
    bool Idle() const;
    void OnPosition(const Vec3& machine);

private:
    struct Reply {
        std::vector<std::string> data;
        std::vector<std::pair<int, int>> errors;  // number, severity
        void Error(int number, int severity = -1) { errors.emplace_back(number, severity); }
    };
    enum class ItemKind { kCommand, kAbortDone, kEndSession };
    struct Item {
        ItemKind kind = ItemKind::kCommand;
        Command command;
        int lineError = 0;  // a line that did not parse: answered with this error
        bool aborted = false;
        bool silent = false;  // the client has gone
    };
    struct Daemon {
        std::vector<std::string> items;
        double period = 0.1, distance = 0;
        double lastTime = -1e300;
        Vec3 lastPosition{};
    };
    using Lock = std::unique_lock<std::mutex>;
    using Handler = void (Engine::*)(const Command&, Reply&, Lock&);

    // ipp_engine.cpp: queues, error state, fast queue, daemons
    void Send(const std::string& line);
    void Finish(const std::string& tag, const std::string& method, Reply& reply);
    void ReceiveEvent(const Command& command, Lock& lock);
    void Abort(const std::string& tag);
    void RunItem(Item& item, Lock& lock);
    void Execute(const Command& command, Reply& reply, Lock& lock);
    static Handler FindHandler(const std::string& method);
    bool TagInUse(const std::string& tag) const;
    void StartDaemon(const Command& command, Reply& reply);
    void StopDaemons();
    double Now() const;

    // ipp_methods.cpp: session, state, motion, tools, coordinate systems
    void StartSession(const Command&, Reply&, Lock&);
    void EndSession(const Command&, Reply&, Lock&);
    void StopDaemon(const Command&, Reply&, Lock&);
    void StopAllDaemons(const Command&, Reply&, Lock&);
    void ClearAllErrors(const Command&, Reply&, Lock&);
    void GetErrorInfo(const Command&, Reply&, Lock&);
    void GetErrStatus(const Command&, Reply&, Lock&);
    void GetXtdErrStatus(const Command&, Reply&, Lock&);
    void GetDMEVersion(const Command&, Reply&, Lock&);
    void GetMachineClass(const Command&, Reply&, Lock&);
    void Home(const Command&, Reply&, Lock&);
    void IsHomed(const Command&, Reply&, Lock&);
    void EnableUser(const Command&, Reply&, Lock&);
    void DisableUser(const Command&, Reply&, Lock&);
    void IsUserEnabled(const Command&, Reply&, Lock&);
    void OnPtMeasReport(const Command&, Reply&, Lock&);
    void Get(const Command&, Reply&, Lock&);
    void GoTo(const Command&, Reply&, Lock&);
    void PtMeas(const Command&, Reply&, Lock&);
    void EnumTools(const Command&, Reply&, Lock&);
    void ChangeTool(const Command&, Reply&, Lock&);
    void SetTool(const Command&, Reply&, Lock&);
    void FindTool(const Command&, Reply&, Lock&);
    void GetChangeToolAction(const Command&, Reply&, Lock&);
    void SetCoordSystem(const Command&, Reply&, Lock&);
    void GetCoordSystem(const Command&, Reply&, Lock&);
    void SetCsyTransformation(const Command&, Reply&, Lock&);
    void GetCsyTransformation(const Command&, Reply&, Lock&);
    void Unsupported(const Command&, Reply&, Lock&);
    void Misplaced(const Command&, Reply&, Lock&);
    static bool NoArgs(const Command& c, Reply& reply);  // else 0502
    bool MotionAllowed(Reply& reply) const;
    Vec3 CurrentPart() const;
    std::string ItemText(const std::string& item, const Vec3& partPosition, const Vec3& ijk) const;
    Tool* ToolArgument(const Command& command, Reply& reply);

    // ipp_props.cpp: GetProp, SetProp, EnumProp, EnumAllProp
    void GetProp(const Command&, Reply&, Lock&);
    void SetProp(const Command&, Reply&, Lock&);
    void EnumProp(const Command&, Reply&, Lock&);
    void EnumAllProp(const Command&, Reply&, Lock&);
    Tool* PrefixTool(const std::string& name, std::string& rest, Reply& reply);

    Machine& m_machine;
    Clock m_clock;
    mutable std::mutex m_lock;
    std::condition_variable m_queued;
    Sink m_sink;
    std::deque<Item> m_queue;
    std::string m_runningTag;
    bool m_running = false;
    bool m_runningAborted = false;
    bool m_runningSilent = false;  // its client has gone

    bool m_session = false;
    bool m_errorState = false;
    std::vector<std::string> m_activeErrors;  // the error lines since ClearAllErrors
    bool m_homed = false;
    bool m_userEnabled = true;
    std::vector<std::string> m_ptMeasReport;
    std::map<std::string, Daemon> m_daemons;
    Vec3 m_position{};  // machine coordinates
    ToolTable m_tools;
    std::string m_activeTool, m_foundTool = "UnDefTool";
    bool m_partCsy = false;
    CsyTransform m_csy;
};

}  // namespace ipp
