// The GEOPAK protocol object: its run-time class, its construction (the
// settings and their defaults are in geopak_configure.cpp) and the small host
// operations that need no more than a line.
// Connection and exchange live in geopak_exchange.cpp, measuring and the
// worker thread in geopak_measure.cpp and geopak_worker.cpp.
#include "geopak/geopak_protocol.h"

#include "framework/toolbox.h"

#include <cmath>
#include <new>

IMPLEMENT_DYNCREATE_PROTOCOL(MitutoyoProtocol, CMMProtocolWithThread)

MitutoyoProtocol::MitutoyoProtocol()
    : m_approachVector{}, m_approachVectorPending(0) {
    Settings::ApplyDefaults(SettingRows(), *this);
}

MitutoyoProtocol::~MitutoyoProtocol() {
    // An object that was not deleted (a member, an automatic one) may still
    // have its worker: it must be gone before the strings it reads.
    EndThread();
}


std::string MitutoyoProtocol::GetControllerName() { return "Mitutoyo "; }

BOOL MitutoyoProtocol::StartTracking() { return TRUE; }
BOOL MitutoyoProtocol::EndTracking() { return TRUE; }
BOOL MitutoyoProtocol::IsTrackingSupported() { return TRUE; }

BOOL MitutoyoProtocol::HasIndexableHead() { return m_hasIndexableHead; }

BOOL MitutoyoProtocol::SetApproachVector(double i, double j, double k) {
    // A vector that could only put non-finite numbers into a command is dropped.
    if (!std::isfinite(i) || !std::isfinite(j) || !std::isfinite(k)) return FALSE;
    std::lock_guard<std::mutex> guard(m_approachLock);
    m_approachVector = CMMPoint{i, j, k};
    m_approachVectorPending = 1;
    return FALSE;
}

ThreadFunction MitutoyoProtocol::GetThreadFunction() { return &MitutoyoProtocol::GeopakWorkerThread; }
