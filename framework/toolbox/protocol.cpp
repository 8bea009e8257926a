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
    std::unique_ptr<plat::ThreadMailbox> replaced;  // dropped outside the lock
    std::lock_guard<std::mutex> guard(m_clientLock);
    m_client = std::move(client);
    // The host's thread is the one that sets the client; a client set from
    // another thread moves delivery there.
    if (m_client && (!m_mailbox || !m_mailbox->OwnedByCallingThread())) {
        replaced = std::move(m_mailbox);
        m_mailbox = std::make_unique<plat::ThreadMailbox>();
    }
}

void _CMMProtocol::SendMessageToClient(int type) {
    // Snapshot and queue under the points lock: two threads' reports keep
    // their pairs together and their order, and nothing here waits.
    PointReport report(*this);
    ClientMessage message{type, m_position, m_secondPoint, m_reportedPoint};
    std::lock_guard<std::mutex> guard(m_clientLock);
    if (!m_client || !m_mailbox) return;
    if (!m_mailbox->Post([this, message] { Deliver(message); }))
        plat::DebugOutput("SendMessageToClient: the host's message queue refused TYPE " + std::to_string(type) +
                          "; the point is lost\n");
}

void _CMMProtocol::Deliver(const ClientMessage& message) {
    ClientCallback client;
    {
        std::lock_guard<std::mutex> guard(m_clientLock);
        client = m_client;
    }
    // No lock of ours is held: the client may call back into the protocol
    // or replace itself.
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
    // Only for objects that were not deleted through operator delete below
    // (members, automatic objects): their owner ends the worker first.
    if (m_thread.Running()) CMMProtocolWithThread::EndThread();
}

void CMMProtocolWithThread::operator delete(CMMProtocolWithThread* protocol, std::destroying_delete_t) {
    // Runs before any destructor: the worker still finds every member whole
    // while it leaves.
    protocol->CMMProtocolWithThread::EndThread();
    void* whole = dynamic_cast<void*>(protocol);
    protocol->~CMMProtocolWithThread();
    ::operator delete(whole);
}

ThreadFunction CMMProtocolWithThread::GetThreadFunction() { return nullptr; }

BOOL CMMProtocolWithThread::StartThread() {
    ThreadFunction function = GetThreadFunction();
    if (function == nullptr || m_thread.Running()) return FALSE;
    {
        std::lock_guard<std::mutex> guard(m_stateLock);
        m_exitRequested = 0;
        m_workerActive = true;
        UpdateGiveUp();
    }
    bool started = m_thread.Start([this, function] {
        // The process keeps the finest timer while a worker runs: every wait
        // of a protocol is a 10 ms slice or a whole number of them.
        const plat::FineTimer fineTimer;
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
        std::lock_guard<std::mutex> guard(m_stateLock);
        m_workerId.store(std::thread::id());
        m_workerActive = false;
        UpdateGiveUp();
        m_stateChanged.notify_all();
    });
    if (!started) {
        std::lock_guard<std::mutex> guard(m_stateLock);
        m_workerActive = false;
    }
    return started ? TRUE : FALSE;
}

BOOL CMMProtocolWithThread::EndThread() {
    {
        std::lock_guard<std::mutex> guard(m_stateLock);
        m_exitRequested = 1;
        UpdateGiveUp();
        m_stateChanged.notify_all();
    }
    m_wakeEvent.Set();
    // The worker cannot wait for itself; it leaves on its next check.
    if (OnWorkerThread()) return FALSE;
    // No time limit: a worker finishes what it does not wait for (a file
    // written, a message box answered) first. The notes tell a developer
    // what the host is stuck on.
    uint32_t waited = 0;
    while (!m_thread.Join(kJoinNoteIntervalMs)) {
        waited += kJoinNoteIntervalMs;
        plat::DebugOutput("EndThread: still waiting for the worker thread after " +
                          std::to_string(waited / 1000) + " s\n");
    }
    m_wakeEvent.Reset();
    return TRUE;
}

bool CMMProtocolWithThread::OnWorkerThread() const { return m_workerId.load() == std::this_thread::get_id(); }

bool CMMProtocolWithThread::WorkerRunning() const {
    std::lock_guard<std::mutex> guard(m_stateLock);
    return m_workerActive;
}

void CMMProtocolWithThread::UpdateGiveUp() {
    // An exit request concerns a running worker only: once it has gone, an
    // exchange the host runs itself (COSMOS Connect) waits as usual.
    const bool givingUp = (m_exitRequested.load() != 0 && m_workerActive) || m_suspendCount > 0 || m_abandonCount > 0;
    m_givingUp = givingUp;
    if (givingUp)
        m_giveUpEvent.Set();
    else
        m_giveUpEvent.Reset();
}

void CMMProtocolWithThread::SuspendThread() {
    std::unique_lock<std::mutex> guard(m_stateLock);
    ++m_suspendCount;
    UpdateGiveUp();
    if (OnWorkerThread()) return;
    m_wakeEvent.Set();
    m_stateChanged.wait(guard, [this] {
        return m_workerPaused || !m_workerActive || m_exitRequested.load() != 0;
    });
}

void CMMProtocolWithThread::ResumeThread() {
    std::lock_guard<std::mutex> guard(m_stateLock);
    if (m_suspendCount > 0) --m_suspendCount;
    UpdateGiveUp();
    m_stateChanged.notify_all();
}

void CMMProtocolWithThread::AtCycleBoundary() {
    std::unique_lock<std::mutex> guard(m_stateLock);
    if (m_suspendCount == 0 || m_exitRequested.load() != 0) return;
    m_workerPaused = true;
    m_stateChanged.notify_all();
    m_stateChanged.wait(guard, [this] { return m_suspendCount == 0 || m_exitRequested.load() != 0; });
    m_workerPaused = false;
}

bool CMMProtocolWithThread::GiveUpRequested() const { return m_givingUp.load(); }

void CMMProtocolWithThread::AbandonWaits() {
    std::lock_guard<std::mutex> guard(m_stateLock);
    ++m_abandonCount;
    UpdateGiveUp();
}

void CMMProtocolWithThread::EndAbandonWaits() {
    std::lock_guard<std::mutex> guard(m_stateLock);
    if (m_abandonCount > 0) --m_abandonCount;
    UpdateGiveUp();
}

BOOL CMMProtocolWithThread::ThreadExitRequested() const {
    return m_exitRequested.load() ? TRUE : FALSE;
}

void CMMProtocolWithThread::SignalPoll() { m_pollEvent.Set(); }
void CMMProtocolWithThread::SignalInterrupt() { m_interruptEvent.Set(); }
void CMMProtocolWithThread::SetStopWaiting(int value) { m_stopWaiting = value; }
