// The machine behind `cmmhost serve`: the I++ engine's calls made through
// cmmhost's session with the plug-in, on the host's thread, as script steps
// (connect, move, a probe inside a transaction, head angles). Only this file
// pair knows both sides, so a change of the session's interface stays here.
#pragma once

#include "host_session.h"
#include "ipp_machine.h"

#include <atomic>
#include <functional>
#include <mutex>

class PluginMachine : public ipp::Machine {
public:
    // canMove: false for a manual machine. probeWaitMs: how long a probe's
    // point is awaited once the plug-in has taken it (virtual ms).
    PluginMachine(HostSession& session, CMMProtocolWithThread& protocol, bool canMove, double probeWaitMs);

    // Where every position the plug-in reports goes (any thread).
    void OnPositions(std::function<void(const ipp::Vec3&)> sink);
    // For the session's notification hook.
    void Notify(const ClientMessage& message);

    int StartSession() override;
    void EndSession() override;
    int MoveTo(const ipp::Vec3& target) override;
    int Measure(const ipp::Vec3& nominal, const ipp::Vec3& direction, ipp::Vec3& measured) override;
    int SetHead(double a, double b, double diameter) override;
    bool HasIndexableHead() override { return true; }
    bool CanMove() override { return m_canMove; }
    ipp::Vec3 Position() override;
    void Abort() override;

private:
    void Begin();  // a new call: an earlier abort is over
    HostSession::Outcome Step(ScriptOp op, const char* verb, std::vector<double> numbers = {});
    int ErrorOf(HostSession::Outcome outcome, int failed) const;
    void Report(const ipp::Vec3& position);

    HostSession& m_session;
    CMMProtocolWithThread& m_protocol;
    bool m_canMove;
    double m_probeWaitMs;
    std::atomic<bool> m_aborted{false};
    std::mutex m_lock;
    std::function<void(const ipp::Vec3&)> m_sink;
    ipp::Vec3 m_position{0, 0, 0};
};
