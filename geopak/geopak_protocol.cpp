// The GEOPAK protocol object: its run-time class, its defaults, its registry
// settings and the small host operations that need no more than a line.
// Connection and exchange live in geopak_exchange.cpp, measuring and the
// worker thread in geopak_measure.cpp and geopak_worker.cpp.
#include "geopak/geopak_protocol.h"

#include "framework/toolbox.h"

#include <cmath>
#include <new>

IMPLEMENT_DYNCREATE_PROTOCOL(MitutoyoProtocol, CMMProtocolWithThread)

MitutoyoProtocol::MitutoyoProtocol()
    : m_debugLog(0),
      m_applicationDirectory("C:\\GEOPAK\\"),
      m_exchangeDirectory("C:\\DATA\\"),
      m_windowName("GEOPAK - GEOPAK"),
      m_startupCommand1("CMD05(C:\\GEOPAK\\MELDAX\\)"),
      m_startupCommand2("CMD06(0000MELDAX-MAIN         S0/0000000R00001P00000)"),
      m_geopakLocal(1),
      m_automaticStartup(1),
      m_approachVector{},
      m_approachVectorPending(0),
      m_useSendKey(1),
      m_hasIndexableHead(0) {}

MitutoyoProtocol::~MitutoyoProtocol() {
    // An object that was not deleted (a member, an automatic one) may still
    // have its worker: it must be gone before the strings it reads.
    EndThread();
}

namespace {

void ReadFlag(HKEY key, const char* name, int& member) {
    member = static_cast<int>(GetRegistryValue(key, name, static_cast<unsigned>(member)));
}

}  // namespace

BOOL MitutoyoProtocol::ReadSettings(HKEY key) {
    // The current value is the default: a missing value leaves the member be.
    m_applicationDirectory = GetRegistryValue(key, "GeoPak Application Directory", m_applicationDirectory);
    m_exchangeDirectory = GetRegistryValue(key, "GeoPak Exchange Directory", m_exchangeDirectory);
    m_windowName = GetRegistryValue(key, "GeoPak Window name", m_windowName);
    ReadFlag(key, "GeoPak Local", m_geopakLocal);
    ReadFlag(key, "Use Send KEY", m_useSendKey);
    m_startupCommand1 = GetRegistryValue(key, "Startup Command 1", m_startupCommand1);
    m_startupCommand2 = GetRegistryValue(key, "Startup Command 2", m_startupCommand2);
    ReadFlag(key, "Automatic Startup", m_automaticStartup);
    ReadFlag(key, "Has PH9/PH10 Head", m_hasIndexableHead);
    ReadFlag(key, "DEBUG", m_debugLog);
    return TRUE;
}

BOOL MitutoyoProtocol::WriteSettings(HKEY key) {
    // "DEBUG" is switched on by hand only, so it is never written here.
    WriteRegistryValue(key, "GeoPak Application Directory", m_applicationDirectory);
    WriteRegistryValue(key, "GeoPak Exchange Directory", m_exchangeDirectory);
    WriteRegistryValue(key, "GeoPak Window name", m_windowName);
    WriteRegistryValue(key, "GeoPak Local", m_geopakLocal);
    WriteRegistryValue(key, "Use Send KEY", m_useSendKey);
    WriteRegistryValue(key, "Startup Command 1", m_startupCommand1);
    WriteRegistryValue(key, "Startup Command 2", m_startupCommand2);
    WriteRegistryValue(key, "Automatic Startup", m_automaticStartup);
    WriteRegistryValue(key, "Has PH9/PH10 Head", m_hasIndexableHead);
    return TRUE;
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
