// Queues, error state, the fast queue and daemons (see ipp_engine.h).
#include "ipp_engine.h"

#include "ipp_errors.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace ipp {

namespace {

const std::vector<std::string> kDefaultPtMeasReport = {"X", "Y", "Z"};

// Leaving and starting a session stay open too: a new session starts
// without errors anyway.
bool AllowedInErrorState(const std::string& method) {
    return method == "ClearAllErrors" || method == "GetErrStatusE" || method == "GetXtdErrStatus" ||
           method == "EndSession" || method == "StartSession";
}

}  // namespace

Engine::Engine(Machine& machine, ToolTable tools, Clock clock)
    : m_machine(machine), m_clock(std::move(clock)), m_ptMeasReport(kDefaultPtMeasReport), m_tools(std::move(tools)) {
    m_activeTool = m_tools.All().size() > 2 ? m_tools.All()[2].name : "NoTool";
}

double Engine::Now() const {
    if (m_clock) return m_clock();
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void Engine::Attach(Sink sink) {
    Lock lock(m_lock);
    m_sink = std::move(sink);
}

void Engine::Detach() {
    Lock lock(m_lock);
    m_sink = nullptr;
    for (Item& item : m_queue) item.aborted = item.silent = true;
    if (m_running) {
        // Its lines must not reach the next client.
        m_runningAborted = m_runningSilent = true;
        m_machine.Abort();
    }
    StopDaemons();
    Item end;
    end.kind = ItemKind::kEndSession;
    end.silent = true;
    m_queue.push_back(end);
    m_queued.notify_all();
}

void Engine::Send(const std::string& line) {
    if (m_sink) m_sink(line);
}

bool Engine::Idle() const {
    Lock lock(m_lock);
    return m_queue.empty() && !m_running;
}

bool Engine::TagInUse(const std::string& tag) const {
    if (m_running && m_runningTag == tag) return true;
    for (const Item& item : m_queue) {
        if (item.kind == ItemKind::kCommand && item.command.tag == tag) return true;
    }
    return m_daemons.count(tag) != 0;
}

void Engine::Receive(const std::string& line) {
    LineParse parse = ParseLine(line);
    Lock lock(m_lock);
    if (!parse.tagKnown) {
        Send(ErrorLine("E0000", parse.error, "Unknown"));
        return;
    }
    const std::string tag = line.substr(0, 5);
    const std::string method = parse.command.method.empty() ? "Unknown" : parse.command.method;
    if (TagInUse(tag)) {
        Send(ErrorLine("E0000", 1, method));
        return;
    }
    Send(tag + " &");
    if (tag[0] == 'E') {
        if (!parse.ok) {
            Reply reply;
            reply.Error(parse.error);
            Finish(tag, method, reply);
            return;
        }
        ReceiveEvent(parse.command, lock);
        return;
    }
    Item item;
    item.command = parse.ok ? parse.command : Command{tag, false, method, {}};
    item.lineError = parse.ok ? 0 : parse.error;
    m_queue.push_back(std::move(item));
    m_queued.notify_all();
}

void Engine::ReceiveEvent(const Command& c, Lock& lock) {
    Reply reply;
    if (c.method == "AbortE") {
        Abort(c.tag);  // its "%" comes after every command it ends
        return;
    }
    if (c.method == "GetErrStatusE") {
        Execute(c, reply, lock);
    } else if (c.method != "GetPropE" && c.method != "OnMoveReportE") {
        reply.Error(508);
    } else if (!m_session) {
        reply.Error(8);
    } else if (m_errorState) {
        reply.Error(514);
    } else if (c.method == "GetPropE") {
        GetProp(c, reply, lock);
    } else {
        StartDaemon(c, reply);
    }
    Finish(c.tag, c.method, reply);
}

void Engine::Abort(const std::string& tag) {
    for (Item& item : m_queue) item.aborted = true;
    if (m_running) {
        m_runningAborted = true;
        m_machine.Abort();
    }
    m_errorState = true;
    Item done;
    done.kind = ItemKind::kAbortDone;
    done.command.tag = tag;
    done.command.method = "AbortE";
    m_queue.push_back(done);
    m_queued.notify_all();
}

void Engine::Finish(const std::string& tag, const std::string& method, Reply& reply) {
    for (const std::string& data : reply.data) Send(tag + " # " + data);
    for (const auto& [number, severity] : reply.errors) {
        std::string text = ErrorLine(tag, number, method, severity);
        Send(text);
        if ((severity < 0 ? SeverityOf(number) : severity) >= 2) {
            m_errorState = true;
            m_activeErrors.push_back(text.substr(8));
        }
    }
    Send(tag + " %");
}

bool Engine::ExecuteOne(double waitSeconds) {
    Lock lock(m_lock);
    if (!m_queued.wait_for(lock, std::chrono::duration<double>(waitSeconds), [this] { return !m_queue.empty(); }))
        return false;
    Item item = std::move(m_queue.front());
    m_queue.pop_front();
    RunItem(item, lock);
    return true;
}

void Engine::RunItem(Item& item, Lock& lock) {
    const Command& c = item.command;
    Reply reply;
    switch (item.kind) {
    case ItemKind::kAbortDone:
        Send(c.tag + " %");
        return;
    case ItemKind::kEndSession:
        EndSession(c, reply, lock);
        return;
    case ItemKind::kCommand:
        break;
    }
    if (item.silent) return;
    if (item.aborted) {
        reply.Error(6);
    } else if (item.lineError != 0) {
        reply.Error(item.lineError);
    } else {
        m_running = true;
        m_runningAborted = m_runningSilent = false;
        m_runningTag = c.tag;
        Execute(c, reply, lock);
        m_running = false;
        m_runningTag.clear();
        if (m_runningSilent) return;
        if (m_runningAborted) {
            reply = Reply();
            reply.Error(6);
        }
    }
    Finish(c.tag, c.method, reply);
}

Engine::Handler Engine::FindHandler(const std::string& method) {
    static const std::map<std::string, Handler> handlers = {
        {"StartSession", &Engine::StartSession},       {"EndSession", &Engine::EndSession},
        {"StopDaemon", &Engine::StopDaemon},           {"StopAllDaemons", &Engine::StopAllDaemons},
        {"ClearAllErrors", &Engine::ClearAllErrors},   {"GetErrorInfo", &Engine::GetErrorInfo},
        {"GetErrStatusE", &Engine::GetErrStatus},      {"GetXtdErrStatus", &Engine::GetXtdErrStatus},
        {"GetDMEVersion", &Engine::GetDMEVersion},     {"GetMachineClass", &Engine::GetMachineClass},
        {"Home", &Engine::Home},                       {"IsHomed", &Engine::IsHomed},
        {"EnableUser", &Engine::EnableUser},           {"DisableUser", &Engine::DisableUser},
        {"IsUserEnabled", &Engine::IsUserEnabled},     {"OnPtMeasReport", &Engine::OnPtMeasReport},
        {"Get", &Engine::Get},                         {"GoTo", &Engine::GoTo},
        {"PtMeas", &Engine::PtMeas},                   {"EnumTools", &Engine::EnumTools},
        {"ChangeTool", &Engine::ChangeTool},           {"SetTool", &Engine::SetTool},
        {"FindTool", &Engine::FindTool},               {"GetChangeToolAction", &Engine::GetChangeToolAction},
        {"SetCoordSystem", &Engine::SetCoordSystem},   {"GetCoordSystem", &Engine::GetCoordSystem},
        {"SetCsyTransformation", &Engine::SetCsyTransformation},
        {"GetCsyTransformation", &Engine::GetCsyTransformation},
        {"GetProp", &Engine::GetProp},                 {"GetPropE", &Engine::GetProp},
        {"SetProp", &Engine::SetProp},                 {"EnumProp", &Engine::EnumProp},
        {"EnumAllProp", &Engine::EnumAllProp},         {"AbortE", &Engine::Misplaced},
        {"OnMoveReportE", &Engine::Misplaced},
    };
    auto found = handlers.find(method);
    return found == handlers.end() ? &Engine::Unsupported : found->second;
}

void Engine::Execute(const Command& c, Reply& reply, Lock& lock) {
    if (!m_session && c.method != "StartSession" && c.method != "EndSession") {
        reply.Error(8);
        return;
    }
    if (m_errorState && !AllowedInErrorState(c.method)) {
        reply.Error(514);
        return;
    }
    (this->*FindHandler(c.method))(c, reply, lock);
}

void Engine::StartDaemon(const Command& c, Reply& reply) {
    if (m_daemons.count(c.tag)) {
        reply.Error(515);
        return;
    }
    Daemon d;
    for (const Arg& a : c.args) {
        if (a.kind != Arg::Kind::kProperty) {
            reply.Error(509);
            return;
        }
        const bool condition = a.text == "Time" || a.text == "Dis";
        if (condition && a.values.size() != 1) {
            reply.Error(509);
            return;
        }
        if (a.text == "Time") d.period = a.values[0];
        else if (a.text == "Dis") d.distance = a.values[0];
        else if ((a.text == "X" || a.text == "Y" || a.text == "Z") && a.values.empty()) d.items.push_back(a.text);
        else {
            reply.Error(510);
            return;
        }
    }
    if (d.items.empty()) {
        reply.Error(502);
        return;
    }
    if (d.period < 0.1 || d.distance < 0) {
        // At most ten reports a second.
        d.period = std::max(d.period, 0.1);
        d.distance = std::max(d.distance, 0.0);
        reply.Error(504);
    }
    d.lastPosition = m_position;
    m_daemons[c.tag] = d;
}

void Engine::StopDaemons() { m_daemons.clear(); }

void Engine::OnPosition(const Vec3& machine) {
    Lock lock(m_lock);
    m_position = machine;
    const double now = Now();
    const Vec3 part = CurrentPart();
    for (auto& [tag, d] : m_daemons) {
        double moved = std::hypot(machine[0] - d.lastPosition[0], machine[1] - d.lastPosition[1],
                                  machine[2] - d.lastPosition[2]);
        if (now - d.lastTime < d.period || moved <= d.distance) continue;
        d.lastTime = now;
        d.lastPosition = machine;
        std::string line;
        for (const std::string& item : d.items) line += (line.empty() ? "" : ", ") + ItemText(item, part, {});
        Send(tag + " # " + line);
    }
}

}  // namespace ipp
