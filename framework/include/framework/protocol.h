// The host's protocol framework: the base classes a protocol plug-in derives
// from, the run-time class records through which the host creates protocols
// by name, the worker-thread management and the notifications back to the
// host. This is our stand-in for the host toolbox library; cmmhost and the
// tests play the host.
#pragma once

#include "framework/types.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

class CObject;

// MFC-style run-time class record, as dynamic creation lays it down.
struct CRuntimeClass {
    const char* m_lpszClassName;
    int m_nObjectSize;
    unsigned m_wSchema;
    CObject* (*m_pfnCreateObject)();
    CRuntimeClass* (*m_pfnGetBaseClass)();
    CRuntimeClass* m_pNextClass;
    const void* m_pClassInit;

    CObject* CreateObject() const;  // nullptr when the class is not creatable
    bool IsDerivedFrom(const CRuntimeClass* base) const;
};

class CObject {
public:
    virtual CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject();
    virtual void Serialize();
    virtual void AssertValid() const;
    virtual void Dump() const;
    static CRuntimeClass* GetThisClass();
};

struct CMMPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// What SendMessageToClient hands the host: the message type and a snapshot of
// the three host points taken while the message is sent.
struct ClientMessage {
    int type;  // 2: m_position and m_secondPoint set; 1: m_reportedPoint set
    CMMPoint position;
    CMMPoint secondPoint;
    CMMPoint reportedPoint;
};
using ClientCallback = std::function<void(const ClientMessage&)>;

class _CMMProtocol : public CObject {
public:
    _CMMProtocol();
    ~_CMMProtocol() override;
    CRuntimeClass* GetRuntimeClass() const override;
    static CRuntimeClass* GetThisClass();

    // Virtual operations, in the host's order. The base behaviour is that of
    // a protocol that can do nothing but connect: IsSecondPointProvided TRUE
    // (TYPE 2 always carries m_secondPoint); Initialize, Read/WriteSettings,
    // Reset and SetApproachVector TRUE without doing anything;
    // LocateApplicationWindow no window; GetControllerName empty;
    // GetProtocolName the registered display name (else the class name);
    // every other query or action FALSE / 0 / 0.0 and no effect (GetProbeInfo
    // empties its text). Connect/Disconnect and On{Start,Stop}Transaction set
    // and clear the state that IsConnected and IsTransactionStarted report.
    virtual BOOL IsSecondPointProvided();
    virtual void OnStartTransaction();
    virtual void OnStopTransaction();
    virtual HWND LocateApplicationWindow();
    virtual BOOL Initialize();
    virtual BOOL ReadSettings(HKEY key);
    virtual BOOL WriteSettings(HKEY key);
    virtual BOOL Connect();
    virtual BOOL Disconnect();
    virtual BOOL IsConnected();
    virtual std::string GetControllerName();
    virtual std::string GetProtocolName();
    virtual BOOL Reset();
    virtual BOOL Configure();
    virtual BOOL StartTracking();
    virtual BOOL EndTracking();
    virtual BOOL IsTrackingSupported();
    virtual void OutputSpeakerSound(int sound);
    virtual BOOL CanHandleProbe();
    virtual BOOL IsRigidProbe();
    virtual BOOL GetProbeInfo(std::string& info);
    virtual double GetProbeDiameter();
    virtual int GetProbeID();
    virtual BOOL OpenProbeDialogBox();
    virtual BOOL OpenProbeSelectionDialogBox();
    virtual BOOL SelectProbe(int probeId);
    virtual BOOL SetProbeAngles(double headA, double headB, double probeDiameter);
    virtual BOOL HasIndexableHead();
    virtual BOOL GetCurrentProbeAngles(double& headA, double& headB);
    virtual BOOL GetRemoteMouseState();
    virtual BOOL ForceRemoteMouse(BOOL on);
    virtual BOOL MoveTo(double x, double y, double z);
    virtual BOOL MeasurePoint(double x, double y, double z, double i, double j, double k);
    virtual BOOL OnAcceptIntermediatePoint();
    virtual BOOL RepositioningAllowed();
    virtual BOOL SetApproachVector(double i, double j, double k);
    virtual BOOL OnUpdateSpecialFunction(int function);
    virtual BOOL SpecialFunction(int function);
    virtual BOOL IsTransactionStarted();

    // Host side: where notifications go. The thread that sets a client is
    // the host's user-interface thread: notifications reach the client there
    // only, from that thread's message loop (plat::PumpMessages; on Windows
    // any loop of the thread). nullptr: later notifications are dropped.
    void SetClient(ClientCallback client);
    // TYPE 2 / TYPE 1 for the host: a snapshot of the three points is queued
    // for the host's thread, in the order sent, and the call returns at once;
    // it never waits for the host and never runs host code. The client runs
    // later, without any protocol lock held, and may call back in.
    void SendMessageToClient(int type);

    // Held while a protocol sets the host points and sends their messages,
    // from either thread: the points are never torn, and a TYPE 2 and its
    // TYPE 1 go out together. The framework's own lock, never held while
    // anything waits or host code runs.
    class PointReport {
    public:
        explicit PointReport(_CMMProtocol& protocol) : m_guard(protocol.m_pointsLock) {}

    private:
        std::lock_guard<std::recursive_mutex> m_guard;
    };

    CMMPoint m_position;
    CMMPoint m_secondPoint;
    CMMPoint m_reportedPoint;

private:
    void Deliver(const ClientMessage& message);

    std::atomic<int> m_connected{0};
    std::atomic<int> m_transactionStarted{0};
    std::recursive_mutex m_pointsLock;
    std::mutex m_clientLock;
    ClientCallback m_client;
    std::unique_ptr<plat::ThreadMailbox> m_mailbox;  // the host thread's, under m_clientLock
};

class CMMProtocolWithThread;
using ThreadFunction = void (*)(CMMProtocolWithThread* protocol);

class CMMProtocolWithThread : public _CMMProtocol {
public:
    CMMProtocolWithThread();
    ~CMMProtocolWithThread() override;  // ends a worker still running (objects not made by new)
    // Deleting a protocol ends its worker (EndThread) before any destructor
    // runs, so no worker ever sees a member of a half-destroyed object.
    void operator delete(CMMProtocolWithThread* protocol, std::destroying_delete_t);
    CRuntimeClass* GetRuntimeClass() const override;
    static CRuntimeClass* GetThisClass();

    virtual ThreadFunction GetThreadFunction();  // base: none (StartThread fails)
    // Asks the worker to exit, sets m_wakeEvent and m_giveUpEvent (a waiting
    // exchange gives up) and joins it without a time limit (a debugger note
    // every 5 s). TRUE once it has ended or when none ran; FALSE when called
    // on the worker itself (it leaves on its next check).
    virtual BOOL EndThread();
    // Runs GetThreadFunction()(this) on a new thread; ExitThread ends it.
    // FALSE when there is no function or a worker already runs.
    virtual BOOL StartThread();

    // Pauses the worker between its cycles: asks, sets m_giveUpEvent so an
    // exchange that waits for an answer gives up as a stopped transaction's
    // does, and returns once the worker has reached AtCycleBoundary (at once
    // when no worker runs, or on the worker itself). Nested calls count;
    // the worker goes on after as many ResumeThread calls.
    void SuspendThread();
    void ResumeThread();
    BOOL ThreadExitRequested() const;
    // For workers, between two cycles with no lock held: waits here while
    // suspended (until resumed or asked to exit).
    void AtCycleBoundary();
    // Whether a worker waiting for an answer should give up now (exit or
    // pause requested, or waits abandoned). m_giveUpEvent is set meanwhile.
    bool GiveUpRequested() const;
    // Makes waiting exchanges give up until the matching EndAbandonWaits:
    // for a host that quits while a command waits on its thread.
    void AbandonWaits();
    void EndAbandonWaits();
    bool WorkerRunning() const;

    // Host side: the framework's own signals.
    void SignalPoll();
    void SignalInterrupt();
    void SetStopWaiting(int value);

    plat::CriticalSection m_protocolLock;
    plat::Event m_pollEvent{false};
    plat::Event m_interruptEvent{false};
    plat::Event m_wakeEvent{false};
    plat::Event m_giveUpEvent{true};  // set while GiveUpRequested()
    std::atomic<int> m_stopWaiting{0};

private:
    bool OnWorkerThread() const;
    void UpdateGiveUp();  // under m_stateLock

    std::atomic<int> m_exitRequested{0};
    std::atomic<std::thread::id> m_workerId{};
    plat::Thread m_thread;
    mutable std::mutex m_stateLock;
    std::condition_variable m_stateChanged;
    int m_suspendCount = 0;
    int m_abandonCount = 0;
    bool m_workerPaused = false;
    bool m_workerActive = false;  // from StartThread until the worker's last step
    std::atomic<bool> m_givingUp{false};
};

// Ends the calling worker thread: unwinds its stack (destructors run) up to
// the framework's thread entry. A worker must not swallow it with catch (...).
[[noreturn]] void ExitThread(unsigned exitCode);

// Announces a protocol to the host, from a static object of the plug-in.
class ProtocolRegister {
public:
    ProtocolRegister(const char* displayName, CRuntimeClass* runtimeClass);
    ~ProtocolRegister();
    ProtocolRegister(const ProtocolRegister&) = delete;
    ProtocolRegister& operator=(const ProtocolRegister&) = delete;
};

struct RegisteredProtocol {
    std::string displayName;
    CRuntimeClass* runtimeClass;
};
// The protocols announced so far, in the order they were registered.
std::vector<RegisteredProtocol> RegisteredProtocols();
// Creates a protocol by display name; nullptr if unknown or not creatable.
CMMProtocolWithThread* CreateProtocol(const std::string& displayName);

// Declares / implements MFC-style dynamic creation for a protocol class.
#define DECLARE_DYNCREATE_PROTOCOL(Class)                 \
public:                                                   \
    static CRuntimeClass* GetThisClass();                 \
    CRuntimeClass* GetRuntimeClass() const override;      \
    static CObject* CreateObject();

#define IMPLEMENT_DYNCREATE_PROTOCOL(Class, Base)                                          \
    CObject* Class::CreateObject() { return new (std::nothrow) Class; }                    \
    static CRuntimeClass* Class##_GetBaseClass() { return Base::GetThisClass(); }         \
    CRuntimeClass* Class::GetThisClass() {                                                 \
        static CRuntimeClass record{#Class, static_cast<int>(sizeof(Class)), 0xFFFF,       \
                                    &Class::CreateObject, &Class##_GetBaseClass, nullptr, \
                                    nullptr};                                              \
        return &record;                                                                    \
    }                                                                                      \
    CRuntimeClass* Class::GetRuntimeClass() const { return Class::GetThisClass(); }
