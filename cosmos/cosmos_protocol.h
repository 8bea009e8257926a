// MitutoyoCosmosProtocol: drives a CMM through COSMOS (PartManager, Remote
// Manager and the host's macro in GEOPAK-WIN) by exchanging named-value
// parameter files in the COSMOS exchange folder.
#pragma once

#include "cosmos/parameter_map.h"
#include "framework/protocol.h"

#include <string>

class CDlgCosmosCommand;

class MitutoyoCosmosProtocol : public CMMProtocolWithThread {
    DECLARE_DYNCREATE_PROTOCOL(MitutoyoCosmosProtocol)
public:
    MitutoyoCosmosProtocol();
    ~MitutoyoCosmosProtocol() override;

    // Overridden virtual operations, in the host's order.
    void OnStartTransaction() override;
    void OnStopTransaction() override;
    HWND LocateApplicationWindow() override;
    BOOL ReadSettings(HKEY key) override;
    BOOL WriteSettings(HKEY key) override;
    BOOL Connect() override;
    BOOL Disconnect() override;
    std::string GetControllerName() override;
    BOOL Configure() override;
    BOOL SetProbeAngles(double headA, double headB, double probeDiameter) override;
    BOOL HasIndexableHead() override;
    BOOL MoveTo(double x, double y, double z) override;
    BOOL MeasurePoint(double x, double y, double z, double i, double j, double k) override;
    BOOL SetApproachVector(double i, double j, double k) override;
    ThreadFunction GetThreadFunction() override;
    BOOL EndThread() override;
    BOOL StartThread() override;

    // Members, in declaration order.
    int m_hasIndexableHead;
    int m_debugLog;
    int m_geopakLocal;
    int m_machineType;
    std::string m_cosmosPath;
    std::string m_cancelMacroKeys;
    std::string m_restartMacroKeys1;
    std::string m_restartMacroKeys2;
    std::string m_exitGeopakKeys;
    std::string m_geopakWindowClass;
    std::string m_partManagerWindowClass;
    plat::Event m_commandRequestEvent{true};
    plat::Event m_commandDoneEvent{false};
    int m_pendingCommandKind;
    int m_lastCommandResult;
    plat::Event m_pauseRequestEvent{false};
    plat::Event m_pauseAckEvent{false};
    HWND m_geopakWindow;
    ParameterMap m_parameters;
    ParameterMap m_workerParameters;
    CDlgCosmosCommand* m_commandDialog;
    int m_remoteStartTimeout;
};

double DegreesToRadians(double degrees);  // COSMOS unit: degrees / 45 * atan(1)
