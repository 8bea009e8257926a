// The script runner shared by `cmmhost run` and `cmmhost demo`.
#include "host_session.h"

#include "host_signal.h"
#include "host_status.h"

#include "framework/settings.h"

#include <algorithm>
#include <cmath>

namespace {

uint32_t ToDword(const std::string& text, bool& ok) {
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    ok = !text.empty() && end && *end == '\0' && v >= -2147483648LL && v <= 4294967295LL;
    return static_cast<uint32_t>(v);
}

}  // namespace

HostSession::HostSession(CMMProtocolWithThread& protocol, plat::RegistryKey& store, Hooks hooks)
    : m_protocol(protocol), m_store(store), m_hooks(std::move(hooks)) {}

HostSession::~HostSession() { Finish(); }

bool HostSession::Start() {
    SetHostApplication(this);
    m_protocol.SetClient([this](const ClientMessage& m) { OnNotification(m); });
    m_started = m_protocol.StartThread() != FALSE;
    return m_started;
}

void HostSession::OnNotification(const ClientMessage& message) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_notifications.push_back(message);
    }
    if (message.type == 2) ++m_positionsSinceMark;
    if (m_hooks.notification) m_hooks.notification(message);
}

HostSession::Outcome HostSession::Run(const std::vector<ScriptCommand>& commands) {
    for (const ScriptCommand& command : commands) {
        if (CtrlCPending()) return Outcome::kInterrupted;
        hoststatus::SetActivity("line " + std::to_string(command.line) + ": " + command.verb);
        Outcome outcome = Step(command);
        hoststatus::SetActivity("");
        // A host returns to its message loop between calls: that is where a
        // finished command's dialog receives its close and deletes itself.
        if (!Pump() && outcome == Outcome::kOk) outcome = Outcome::kInterrupted;
        if (outcome != Outcome::kOk) return outcome;
    }
    return Outcome::kOk;
}

HostSession::Outcome HostSession::Step(const ScriptCommand& c) {
    const std::vector<double>& n = c.numbers;
    int result = 1;
    Outcome failed = Outcome::kFailed;
    switch (c.op) {
    case ScriptOp::kConnect:
        result = m_protocol.Connect();
        failed = Outcome::kConnectFailed;
        break;
    case ScriptOp::kDisconnect: result = m_protocol.Disconnect(); break;
    case ScriptOp::kMove: result = m_protocol.MoveTo(n[0], n[1], n[2]); break;
    case ScriptOp::kMeasure: return Measure(c);
    case ScriptOp::kHead: result = m_protocol.SetProbeAngles(n[0], n[1], n[2]); break;
    case ScriptOp::kApproach:
        // GEOPAK answers FALSE although it keeps the vector: never a failure.
        result = m_protocol.SetApproachVector(n[0], n[1], n[2]);
        if (m_hooks.result) m_hooks.result(c.line, c.verb, result);
        return Outcome::kOk;
    case ScriptOp::kTransactionStart: {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_markBegin = m_markEnd = m_notifications.size();
            m_inTransaction = true;
        }
        m_positionsSinceMark = 0;
        m_protocol.OnStartTransaction();
        break;
    }
    case ScriptOp::kTransactionStop: {
        m_protocol.OnStopTransaction();
        Pump();  // what the transaction reported before its end
        std::lock_guard<std::mutex> guard(m_lock);
        m_markEnd = m_notifications.size();
        m_inTransaction = false;
        break;
    }
    case ScriptOp::kWait:
        if (!PumpFor(n[0])) return Outcome::kInterrupted;
        break;
    case ScriptOp::kWaitPoints:
        if (CtrlCPending()) return Outcome::kInterrupted;
        result = WaitForPositions(static_cast<size_t>(std::max(0.0, n[0])),
                                  n.size() > 1 ? n[1] : kDefaultWaitPointsMs);
        if (CtrlCPending()) return Outcome::kInterrupted;
        break;
    case ScriptOp::kConfigure: result = Configure(c); break;
    case ScriptOp::kPoll: m_protocol.SignalPoll(); break;
    case ScriptOp::kInterrupt: m_protocol.SignalInterrupt(); break;
    }
    // The call's own notifications are queued for this thread: they are
    // printed before its result, as they were sent before it returned.
    Pump();
    if (m_hooks.result) m_hooks.result(c.line, c.verb, result);
    if (result != 0) return Outcome::kOk;
    if (m_hooks.failure) m_hooks.failure("line " + std::to_string(c.line) + ": " + c.verb + " failed");
    return failed;
}

HostSession::Outcome HostSession::Measure(const ScriptCommand& c) {
    const std::vector<double>& n = c.numbers;
    const size_t before = m_positionsSinceMark.load();
    const int result = m_protocol.MeasurePoint(n[0], n[1], n[2], n[3], n[4], n[5]);
    // A protocol that tracks reports a probed point through its tracking
    // poll, which the next command may end before the point is out.
    const bool pointComesThroughTracking = m_protocol.IsTrackingSupported() != FALSE;
    const bool wait = result != 0 && m_measureWaitMs > 0 && pointComesThroughTracking &&
                      m_protocol.IsTransactionStarted();
    const bool arrived = !wait || WaitForPositions(before + 1, m_measureWaitMs);
    if (m_hooks.result) m_hooks.result(c.line, c.verb, result);
    if (CtrlCPending()) return Outcome::kInterrupted;
    std::string fault;
    if (result == 0) fault = "measure failed";
    else if (!arrived)
        fault = "measure: its point did not arrive within " + std::to_string(static_cast<long>(m_measureWaitMs)) +
                " ms (--no-wait goes on without it)";
    if (fault.empty()) return Outcome::kOk;
    if (m_hooks.failure) m_hooks.failure("line " + std::to_string(c.line) + ": " + fault);
    return Outcome::kFailed;
}

bool HostSession::PumpFor(double virtualMs) {
    const uint32_t start = plat::TickCount();
    const double total = std::min(virtualMs, 4.0e9);
    for (;;) {
        if (!Pump() || CtrlCPending()) return false;
        double left = total - static_cast<double>(plat::TickCount() - start);
        if (left <= 0) return true;
        plat::Sleep(static_cast<uint32_t>(std::min(left, 10.0)) + (left < 1.0 ? 1 : 0));
    }
}

bool HostSession::WaitForPositions(size_t count, double virtualMs) {
    const uint32_t start = plat::TickCount();
    while (m_positionsSinceMark.load() < count) {
        if (static_cast<double>(plat::TickCount() - start) >= virtualMs) return false;
        if (!PumpFor(10)) return false;
    }
    return true;
}

int HostSession::Configure(const ScriptCommand& c) {
    // Stored with the type the protocol reads; a name it does not describe as text.
    const std::vector<SettingInfo> described = RegisteredSettings(m_protocol.GetProtocolName());
    for (const auto& [name, value] : c.settings) {
        bool ok = true;
        const SettingInfo* row = FindSetting(described, name);
        if (row && row->kind == SettingKind::kInteger) {
            uint32_t v = ToDword(value, ok);
            if (!ok || !m_store.SetDword(name, v)) return 0;
        } else if (!m_store.SetString(name, value)) {
            return 0;
        }
    }
    return m_protocol.ReadSettings(&m_store);
}

void HostSession::Finish() {
    if (m_finished) return;
    m_finished = true;
    TakeCtrlC();
    if (m_protocol.IsTransactionStarted()) {
        hoststatus::SetActivity("clean-up: transaction stop");
        m_protocol.OnStopTransaction();
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_inTransaction) m_markEnd = m_notifications.size();
        m_inTransaction = false;
    }
    hoststatus::SetActivity("clean-up: disconnect");
    if (m_protocol.IsConnected()) m_protocol.Disconnect();
    hoststatus::SetActivity("clean-up: the protocol's worker thread to end");
    if (m_started) m_protocol.EndThread();
    hoststatus::SetActivity("");
    Pump();
    m_protocol.SetClient(nullptr);
    if (AfxGetApp() == this) SetHostApplication(nullptr);
}

bool HostSession::Pump() {
    if (!plat::PumpMessages()) m_quitSeen = true;
    return !m_quitSeen;
}

BOOL HostSession::OnIdle(long) { return FALSE; }

std::vector<ClientMessage> HostSession::TransactionPositions() const {
    std::lock_guard<std::mutex> guard(m_lock);
    size_t end = m_inTransaction ? m_notifications.size() : m_markEnd;
    std::vector<ClientMessage> out;
    for (size_t i = m_markBegin; i < end && i < m_notifications.size(); ++i) {
        if (m_notifications[i].type == 2) out.push_back(m_notifications[i]);
    }
    return out;
}

std::vector<ClientMessage> HostSession::Notifications() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_notifications;
}
