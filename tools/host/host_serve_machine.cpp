// The plug-in as an I++ machine (see host_serve_machine.h).
#include "host_serve_machine.h"

#include "host_signal.h"

#include <cmath>
#include <cstdio>

namespace {
constexpr double kMaxContactOffset = 10.0;  // mm
}  // namespace

PluginMachine::PluginMachine(HostSession& session, CMMProtocolWithThread& protocol, bool canMove,
                             double probeWaitMs)
    : m_session(session), m_protocol(protocol), m_canMove(canMove), m_probeWaitMs(probeWaitMs) {}

void PluginMachine::Begin() {
    m_aborted = false;
    m_protocol.SetStopWaiting(0);
}

void PluginMachine::OnPositions(std::function<void(const ipp::Vec3&)> sink) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_sink = std::move(sink);
}

void PluginMachine::Notify(const ClientMessage& message) {
    if (message.type == 2) Report({message.position.x, message.position.y, message.position.z});
}

void PluginMachine::Report(const ipp::Vec3& position) {
    std::function<void(const ipp::Vec3&)> sink;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_position = position;
        sink = m_sink;
    }
    if (sink) sink(position);
}

ipp::Vec3 PluginMachine::Position() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_position;
}

HostSession::Outcome PluginMachine::Step(ScriptOp op, const char* verb, std::vector<double> numbers) {
    return m_session.Run({ScriptCommand{op, 0, verb, std::move(numbers), {}}});
}

// A cancelled or aborted command is "aborted"; a lost connection is a
// communication failure; any other refusal is the method's own error.
int PluginMachine::ErrorOf(HostSession::Outcome outcome, int failed) const {
    switch (outcome) {
    case HostSession::Outcome::kOk: return m_aborted ? 6 : 0;
    case HostSession::Outcome::kInterrupted: return 6;
    case HostSession::Outcome::kConnectFailed: return 503;
    case HostSession::Outcome::kFailed: break;
    }
    return m_aborted ? 6 : failed;
}

int PluginMachine::StartSession() {
    Begin();
    return ErrorOf(Step(ScriptOp::kConnect, "connect"), 503);
}

void PluginMachine::EndSession() {
    Step(ScriptOp::kDisconnect, "disconnect");
}

int PluginMachine::MoveTo(const ipp::Vec3& t) {
    Begin();
    int error = ErrorOf(Step(ScriptOp::kMove, "move", {t[0], t[1], t[2]}), 1011);
    if (error == 0) Report(t);
    return error;
}

int PluginMachine::SetHead(double a, double b, double diameter) {
    Begin();
    return ErrorOf(Step(ScriptOp::kHead, "head", {a, b, diameter}), 1500);
}

// The vendor software queues a probed point and hands it to the next
// position poll, and the plug-in polls only inside a transaction: so the
// probe runs first, then a transaction opens and its first reported
// position is the point. (Probing inside the transaction would make GEOPAK
// end and restart its recording around the probe, keys and all.)
int PluginMachine::Measure(const ipp::Vec3& p, const ipp::Vec3& d, ipp::Vec3& measured) {
    Begin();
    int error = ErrorOf(Step(ScriptOp::kMeasure, "measure", {p[0], p[1], p[2], d[0], d[1], d[2]}), 511);
    if (error == 0) error = ErrorOf(Step(ScriptOp::kTransactionStart, "transaction start"), 511);
    // Waited for in short pieces, so an abort or Ctrl-C ends the wait.
    for (double waited = 0; error == 0 && m_session.TransactionPositions().empty(); waited += 50) {
        if (waited >= m_probeWaitMs) {
            std::fprintf(stderr, "cmmhost serve: no point reported within %.0f ms of the probe\n", m_probeWaitMs);
            error = 1006;
        } else {
            error = ErrorOf(Step(ScriptOp::kWait, "wait", {50}), 1006);
        }
    }
    Step(ScriptOp::kTransactionStop, "transaction stop");
    if (error) return error;
    const ClientMessage point = m_session.TransactionPositions().front();
    measured = {point.position.x, point.position.y, point.position.z};
    // Both vendors probe a few millimetres either side of the nominal point;
    // a position far from it is where the machine stands, not a contact (a
    // probe the vendor software never saw), and must not pass for a point.
    const double off = std::hypot(measured[0] - p[0], measured[1] - p[1], measured[2] - p[2]);
    if (off <= kMaxContactOffset) return 0;
    std::fprintf(stderr, "cmmhost serve: the position reported after the probe (%.4f, %.4f, %.4f) is %.1f mm from "
                 "its nominal point: no contact\n", measured[0], measured[1], measured[2], off);
    return 1006;
}

void PluginMachine::Abort() {
    // What Cancel does in the command dialog: the wait for the vendor's
    // answer ends (COSMOS restarts its macro; GEOPAK stops waiting).
    m_aborted = true;
    m_protocol.SetStopWaiting(1);
    m_protocol.SignalInterrupt();
}
