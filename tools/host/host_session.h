// Runs a parsed script against one protocol object the way a host does:
// every call on this (the host's) thread, window messages pumped while it
// waits, notifications received from this thread's message queue, and a
// host's clean-up on the way out (stop the transaction, disconnect, end the
// worker). It is the host application too: the protocol's waits hand each
// message to its PreTranslateMessage and give it idle time.
#pragma once

#include "host_script.h"

#include "framework/host_app.h"
#include "framework/protocol.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class HostSession : public CHostApplication {
public:
    enum class Outcome { kOk, kFailed, kConnectFailed, kInterrupted };
    struct Hooks {
        std::function<void(const ClientMessage&)> notification;  // this thread, from the queue
        std::function<void(int line, const std::string& verb, int result)> result;
        std::function<void(const std::string& what)> failure;
    };

    HostSession(CMMProtocolWithThread& protocol, plat::RegistryKey& store, Hooks hooks);
    ~HostSession() override;  // Finish()
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    bool Start();  // client callback, then the worker thread
    // In a transaction of a protocol that supports tracking, how long
    // (virtual ms) `measure` waits for its point to arrive before the script
    // goes on; 0: it does not wait. Such a protocol (GEOPAK) reports a probe's
    // point through its recording's next poll, and the next command ends that
    // recording, dropping a point still on its way. (COSMOS does not track:
    // it polls positions without end and announces the probe itself.)
    void SetMeasureWait(double virtualMs) { m_measureWaitMs = virtualMs; }
    Outcome Run(const std::vector<ScriptCommand>& commands);
    void Finish();  // idempotent

    // TYPE 2 positions reported between the latest transaction start and its stop.
    std::vector<ClientMessage> TransactionPositions() const;
    std::vector<ClientMessage> Notifications() const;

    // CHostApplication: nothing of cmmhost's own travels through the queue;
    // a quit seen by a protocol's wait ends the script like Ctrl-C.
    BOOL OnIdle(long count) override;

private:
    bool Pump();  // false once a quit was seen
    Outcome Step(const ScriptCommand& command);
    bool PumpFor(double virtualMs);  // false on Ctrl-C
    bool WaitForPositions(size_t count, double virtualMs);
    Outcome Measure(const ScriptCommand& command);
    int Configure(const ScriptCommand& command);
    void OnNotification(const ClientMessage& message);

    CMMProtocolWithThread& m_protocol;
    plat::RegistryKey& m_store;
    Hooks m_hooks;
    bool m_started = false;
    bool m_finished = false;
    mutable std::mutex m_lock;
    std::vector<ClientMessage> m_notifications;
    size_t m_markBegin = 0, m_markEnd = 0;
    bool m_inTransaction = false;
    double m_measureWaitMs = kDefaultWaitPointsMs;
    std::atomic<size_t> m_positionsSinceMark{0};
    bool m_quitSeen = false;
};
