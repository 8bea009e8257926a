// The COSMOS protocol object: construction with its defaults, the persisted
// settings, and the small operations that only report or store a value.
#include "cosmos/cosmos_protocol.h"
#include "framework/toolbox.h"

IMPLEMENT_DYNCREATE_PROTOCOL(MitutoyoCosmosProtocol, CMMProtocolWithThread)

double DegreesToRadians(double degrees) { return degrees / 45.0 * CosmosQuarterPi(); }

MitutoyoCosmosProtocol::MitutoyoCosmosProtocol()
    : m_hasIndexableHead(1),
      m_debugLog(0),
      m_geopakLocal(1),
      m_machineType(1),
      m_cosmosPath("C:\\COSMOS\\"),
      m_cancelMacroKeys("%RI{TAB}{TAB}{TAB}{DOWN}{DOWN}{TAB}{TAB}{ENTER}"),
      m_restartMacroKeys1("%R{DOWN}{ENTER}"),
      m_restartMacroKeys2("1{ENTER}{ENTER}"),
      m_exitGeopakKeys("%I{DOWN}{DOWN}{ENTER}"),
      m_geopakWindowClass("xmeas_res4500drawtask9012"),
      m_partManagerWindowClass("xpartmngr4500drawtask9012"),
      m_pendingCommandKind(0),
      m_lastCommandResult(0),
      m_geopakWindow(plat::kNoWindow),
      m_commandDialog(nullptr),
      m_remoteStartTimeout(12000) {
    m_commandRequestEvent.Reset();
}

MitutoyoCosmosProtocol::~MitutoyoCosmosProtocol() {
    // The worker is not ended here: deleting the object ends it before any
    // destructor runs (the framework's operator delete).
    m_workerParameters.RemoveAll();
    m_parameters.RemoveAll();
}

HWND MitutoyoCosmosProtocol::LocateApplicationWindow() {
    const HWND window = GetWindowFromClass(m_geopakWindowClass, 0);
    m_geopakWindow = window;
    return window;
}

namespace {

void ReadString(HKEY key, const char* name, std::string& member) {
    member = GetRegistryValue(key, name, member);
}

void ReadInt(HKEY key, const char* name, int& member) {
    member = static_cast<int>(GetRegistryValue(key, name, static_cast<unsigned>(member)));
}

}  // namespace

BOOL MitutoyoCosmosProtocol::ReadSettings(HKEY key) {
    ReadString(key, "CosmosPath", m_cosmosPath);
    ReadString(key, "CancelGEOPAKMacroString", m_cancelMacroKeys);
    ReadString(key, "RestartGEOPAKMacroString1", m_restartMacroKeys1);
    ReadString(key, "RestartGEOPAKMacroString2", m_restartMacroKeys2);
    ReadString(key, "GeoPakWinClassName", m_geopakWindowClass);
    ReadString(key, "PartManagerClassName", m_partManagerWindowClass);
    ReadInt(key, "GeoPak Local", m_geopakLocal);
    ReadInt(key, "Has PH9/PH10 Head", m_hasIndexableHead);
    ReadInt(key, "DEBUG", m_debugLog);
    ReadInt(key, "MachineType", m_machineType);
    ReadInt(key, "REMOTESTARTTIMEOUT", m_remoteStartTimeout);
    ReadString(key, "ExitGEOPAKKeyStroke", m_exitGeopakKeys);
    return TRUE;
}

BOOL MitutoyoCosmosProtocol::WriteSettings(HKEY key) {
    WriteRegistryValue(key, "CosmosPath", m_cosmosPath);
    WriteRegistryValue(key, "CancelGEOPAKMacroString", m_cancelMacroKeys);
    WriteRegistryValue(key, "RestartGEOPAKMacroString1", m_restartMacroKeys1);
    WriteRegistryValue(key, "RestartGEOPAKMacroString2", m_restartMacroKeys2);
    WriteRegistryValue(key, "GeoPakWinClassName", m_geopakWindowClass);
    WriteRegistryValue(key, "PartManagerClassName", m_partManagerWindowClass);
    WriteRegistryValue(key, "GeoPak Local", m_geopakLocal);
    WriteRegistryValue(key, "Has PH9/PH10 Head", m_hasIndexableHead);
    WriteRegistryValue(key, "DEBUG", m_debugLog);
    WriteRegistryValue(key, "MachineType", m_machineType);
    WriteRegistryValue(key, "REMOTESTARTTIMEOUT", m_remoteStartTimeout);
    return WriteRegistryValue(key, "ExitGEOPAKKeyStroke", m_exitGeopakKeys);
}

std::string MitutoyoCosmosProtocol::GetControllerName() { return "COSMOS"; }

BOOL MitutoyoCosmosProtocol::HasIndexableHead() { return m_hasIndexableHead; }

BOOL MitutoyoCosmosProtocol::SetApproachVector(double, double, double) { return 1; }

ThreadFunction MitutoyoCosmosProtocol::GetThreadFunction() { return &CosmosWorkerThread; }

BOOL MitutoyoCosmosProtocol::EndThread() { return CMMProtocolWithThread::EndThread(); }

BOOL MitutoyoCosmosProtocol::StartThread() { return CMMProtocolWithThread::StartThread(); }
