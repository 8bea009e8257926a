// The protocol base classes: run-time class records, the default behaviour of
// every virtual operation, connection and transaction state, notifications to
// the host's client, and the worker-thread management of
// CMMProtocolWithThread.
#include "framework/protocol.h"

#include <exception>
#include <new>
#include <string>
#include <thread>

// ---------------------------------------------------------------- run-time classes

CObject* CRuntimeClass::CreateObject() const {
    if (m_pfnCreateObject == nullptr) return nullptr;
    // A constructor that throws must not take the host down with it.
    try {
        return m_pfnCreateObject();
    } catch (...) {
        plat::DebugOutput(std::string("CreateObject: constructor of ") +
                          (m_lpszClassName ? m_lpszClassName : "?") + " failed\n");
        return nullptr;
    }
}

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
    if (base == nullptr) return false;
    // Bounded walk: a corrupt record cycle must not hang the host.
    const CRuntimeClass* current = this;
    for (int depth = 0; current != nullptr && depth < 64; ++depth) {
        if (current == base) return true;
        current = current->m_pfnGetBaseClass ? current->m_pfnGetBaseClass() : nullptr;
    }
    return false;
}

namespace {
CRuntimeClass* NoBaseClass() { return nullptr; }
CRuntimeClass* ObjectBase() { return CObject::GetThisClass(); }
CRuntimeClass* ProtocolBase() { return _CMMProtocol::GetThisClass(); }
}  // namespace

CRuntimeClass* CObject::GetThisClass() {
    static CRuntimeClass record{"CObject", static_cast<int>(sizeof(CObject)), 0xFFFF, nullptr,
                                &NoBaseClass, nullptr, nullptr};
    return &record;
}
CRuntimeClass* CObject::GetRuntimeClass() const { return GetThisClass(); }
CObject::~CObject() = default;
void CObject::Serialize() {}
void CObject::AssertValid() const {}
void CObject::Dump() const {}

CRuntimeClass* _CMMProtocol::GetThisClass() {
    static CRuntimeClass record{"_CMMProtocol", static_cast<int>(sizeof(_CMMProtocol)), 0xFFFF,
                                nullptr, &ObjectBase, nullptr, nullptr};
    return &record;
}
CRuntimeClass* _CMMProtocol::GetRuntimeClass() const { return GetThisClass(); }

CRuntimeClass* CMMProtocolWithThread::GetThisClass() {
    static CRuntimeClass record{"CMMProtocolWithThread",
                                static_cast<int>(sizeof(CMMProtocolWithThread)), 0xFFFF, nullptr,
                                &ProtocolBase, nullptr, nullptr};
    return &record;
}
CRuntimeClass* CMMProtocolWithThread::GetRuntimeClass() const { return GetThisClass(); }

// ---------------------------------------------------------------- _CMMProtocol

_CMMProtocol::_CMMProtocol() = default;
_CMMProtocol::~_CMMProtocol() = default;

BOOL _CMMProtocol::IsSecondPointProvided() { return TRUE; }
void _CMMProtocol::OnStartTransaction() { m_transactionStarted = 1; }
void _CMMProtocol::OnStopTransaction() { m_transactionStarted = 0; }
HWND _CMMProtocol::LocateApplicationWindow() { return plat::kNoWindow; }
BOOL _CMMProtocol::Initialize() { return TRUE; }
BOOL _CMMProtocol::ReadSettings(HKEY) { return TRUE; }
BOOL _CMMProtocol::WriteSettings(HKEY) { return TRUE; }
BOOL _CMMProtocol::Connect() {
    m_connected = 1;
    return TRUE;
}
BOOL _CMMProtocol::Disconnect() {
    m_connected = 0;
    return TRUE;
}
BOOL _CMMProtocol::IsConnected() { return m_connected.load() ? TRUE : FALSE; }
std::string _CMMProtocol::GetControllerName() { return std::string(); }

std::string _CMMProtocol::GetProtocolName() {
    const CRuntimeClass* own = GetRuntimeClass();
    for (const RegisteredProtocol& entry : RegisteredProtocols()) {
        if (entry.runtimeClass == own) return entry.displayName;
    }
    return own->m_lpszClassName;
}

BOOL _CMMProtocol::Reset() { return TRUE; }
BOOL _CMMProtocol::Configure() { return FALSE; }
BOOL _CMMProtocol::StartTracking() { return FALSE; }
BOOL _CMMProtocol::EndTracking() { return FALSE; }
BOOL _CMMProtocol::IsTrackingSupported() { return FALSE; }
void _CMMProtocol::OutputSpeakerSound(int) {}
BOOL _CMMProtocol::CanHandleProbe() { return FALSE; }
BOOL _CMMProtocol::IsRigidProbe() { return FALSE; }
BOOL _CMMProtocol::GetProbeInfo(std::string& info) {
    info.clear();
    return FALSE;
}
double _CMMProtocol::GetProbeDiameter() { return 0.0; }
int _CMMProtocol::GetProbeID() { return 0; }
BOOL _CMMProtocol::OpenProbeDialogBox() { return FALSE; }
BOOL _CMMProtocol::OpenProbeSelectionDialogBox() { return FALSE; }
BOOL _CMMProtocol::SelectProbe(int) { return FALSE; }
BOOL _CMMProtocol::SetProbeAngles(double, double, double) { return FALSE; }
BOOL _CMMProtocol::HasIndexableHead() { return FALSE; }
BOOL _CMMProtocol::GetCurrentProbeAngles(double&, double&) { return FALSE; }
BOOL _CMMProtocol::GetRemoteMouseState() { return FALSE; }
BOOL _CMMProtocol::ForceRemoteMouse(BOOL) { return FALSE; }
BOOL _CMMProtocol::MoveTo(double, double, double) { return FALSE; }
BOOL _CMMProtocol::MeasurePoint(double, double, double, double, double, double) { return FALSE; }
BOOL _CMMProtocol::OnAcceptIntermediatePoint() { return FALSE; }
BOOL _CMMProtocol::RepositioningAllowed() { return FALSE; }
BOOL _CMMProtocol::SetApproachVector(double, double, double) { return TRUE; }
BOOL _CMMProtocol::OnUpdateSpecialFunction(int) { return FALSE; }
BOOL _CMMProtocol::SpecialFunction(int) { return FALSE; }
BOOL _CMMProtocol::IsTransactionStarted() { return m_transactionStarted.load() ? TRUE : FALSE; }

void _CMMProtocol::SetClient(ClientCallback client) {
    std::lock_guard<std::mutex> guard(m_clientLock);
    m_client = std::move(client);
}

void _CMMProtocol::SendMessageToClient(int type) {
    ClientMessage message{type, m_position, m_secondPoint, m_reportedPoint};
    ClientCallback client;
    {
        std::lock_guard<std::mutex> guard(m_clientLock);
        client = m_client;
    }
    // Called without our lock held, so a client may call back into the
    // protocol (or replace itself) without deadlocking.
    if (client) client(message);
}

// ---------------------------------------------------------------- worker thread

namespace {

// Thrown by ExitThread and caught by the thread entry below. Deliberately not
// a std::exception, so a worker's own catch (const std::exception&) lets it by.
struct ThreadExitSignal {
    unsigned exitCode;
};

constexpr uint32_t kJoinNoteIntervalMs = 5000;

}  // namespace

void ExitThread(unsigned exitCode) { throw ThreadExitSignal{exitCode}; }

CMMProtocolWithThread::CMMProtocolWithThread() = default;

CMMProtocolWithThread::~CMMProtocolWithThread() {
    // Safety net only: by now the derived part is gone, so a worker still
    // running here may already have touched freed members. Hosts end the
    // worker before deleting the protocol.
    if (m_thread.Running()) CMMProtocolWithThread::EndThread();
}

ThreadFunction CMMProtocolWithThread::GetThreadFunction() { return nullptr; }

BOOL CMMProtocolWithThread::StartThread() {
    ThreadFunction function = GetThreadFunction();
    if (function == nullptr || m_thread.Running()) return FALSE;
    m_exitRequested = 0;
    bool started = m_thread.Start([this, function] {
        m_workerId.store(std::this_thread::get_id());
        try {
            function(this);
        } catch (const ThreadExitSignal&) {
            // The worker's normal way out.
        } catch (const std::exception& error) {
            plat::DebugOutput(std::string("Worker thread ended by an exception: ") +
                              error.what() + "\n");
        } catch (...) {
            plat::DebugOutput("Worker thread ended by an unknown exception\n");
        }
        m_workerId.store(std::thread::id());
    });
    return started ? TRUE : FALSE;
}

BOOL CMMProtocolWithThread::EndThread() {
    m_exitRequested = 1;
    m_wakeEvent.Set();
    // The worker cannot wait for itself; it leaves on its next check.
    if (m_workerId.load() == std::this_thread::get_id()) return FALSE;
    // No time limit: a worker inside an exchange finishes that exchange
    // first. The notes tell a developer what the host is stuck on.
    uint32_t waited = 0;
    while (!m_thread.Join(kJoinNoteIntervalMs)) {
        waited += kJoinNoteIntervalMs;
        plat::DebugOutput("EndThread: still waiting for the worker thread after " +
                          std::to_string(waited / 1000) + " s\n");
    }
    m_wakeEvent.Reset();
    return TRUE;
}

void CMMProtocolWithThread::SuspendThread() { m_protocolLock.Enter(); }
void CMMProtocolWithThread::ResumeThread() { m_protocolLock.Leave(); }
BOOL CMMProtocolWithThread::ThreadExitRequested() const {
    return m_exitRequested.load() ? TRUE : FALSE;
}

void CMMProtocolWithThread::SignalPoll() { m_pollEvent.Set(); }
void CMMProtocolWithThread::SignalInterrupt() { m_interruptEvent.Set(); }
void CMMProtocolWithThread::SetStopWaiting(int value) { m_stopWaiting = value; }
