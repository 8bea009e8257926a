// MitutoyoCosmosProtocol: drives a CMM through COSMOS (PartManager, Remote
// Manager and the host's macro in GEOPAK-WIN) by exchanging named-value
// parameter files in the COSMOS exchange folder.
//
// Two threads use an object: the host's user-interface thread, which makes
// every call, and the worker thread, which runs the exchanges of handed
// commands and the position polls of an open transaction. Beyond the
// event hand-over, m_parametersLock keeps them apart over the caller-side
// map (the worker's restart path writes and sends it); the host points are
// reported under the framework's PointReport, never under a lock of ours.
#pragma once

#include "cosmos/cosmos_exchange.h"
#include "cosmos/parameter_map.h"
#include "framework/protocol.h"
#include "framework/setting_fields.h"

#include <atomic>
#include <mutex>
#include <string>

class CConfigCosmosDlg;
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
    ThreadFunction GetThreadFunction() override;

    // What the host may know of the settings (framework/settings.h).
    static std::vector<SettingInfo> DescribeSettings();

    // One exchange on the calling thread: the map is written, the answer is
    // awaited and merged into it; returns a cosmos_result code.
    int RunCommandExchange(ParameterMap& map);
    // Hands the accumulated parameters to the worker as one command, with
    // the command dialog up, and takes the answer back into them; returns
    // the command's cosmos_result code. The measuring operations use it.
    int RunCosmosCommand();

private:
    // Its Cancel and close box ask for the pause; it forgets itself here
    // when its window goes.
    friend class CDlgCosmosCommand;
    // The settings table: registry order, defaults, the dialog's copies.
    using Settings = SettingTable<MitutoyoCosmosProtocol, CConfigCosmosDlg>;
    static const Settings::Rows& SettingRows();

    struct ActualPoint {
        CMMPoint position;
        CMMPoint direction;  // cosines of ActualA, ActualB, ActualC
    };
    static void CosmosWorkerThread(CMMProtocolWithThread* protocol);
    BOOL LaunchPartManager();
    BOOL RemoteStartPartProgram();
    void LogDebugLine(const std::string& message);
    void CancelGeopakMacro();
    int ActivateGeopakWindow();
    // Reads the answer's point (inserting missing names, as every lookup
    // does) and reports it; the report needs no lock of ours.
    static ActualPoint ReadActualPoint(ParameterMap& map);
    void ReportPoint(const ActualPoint& point);
    // Host-thread operations called from a notification while a command
    // waits refuse at once: the command's maps and dialog are in use.
    bool CommandInProgress() const { return m_commandInProgress; }
    BOOL ConnectSteps();
    bool WaitForGeopakToClose();
    bool CheckInstallation();
    void PauseWorker();
    void RestartMacro(ParameterMap& interrupted);
    void WorkerCycle();
    void PollPosition();
    void ShowCommandDialog();
    void WaitForCommandDone();
    void CloseCommandDialog();
    std::string VelmorPath(const char* name) const { return m_cosmosPath + "VELMOR\\" + name; }

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
    int m_lastCommandResult;
    plat::Event m_pauseRequestEvent{false};
    plat::Event m_pauseAckEvent{false};
    std::atomic<HWND> m_geopakWindow;  // the restart path reads it on the worker
    ParameterMap m_parameters;
    ParameterMap m_workerParameters;
    CDlgCosmosCommand* m_commandDialog;
    int m_remoteStartTimeout;

    // Held by the host thread while it fills or reads m_parameters (never
    // across a wait for the worker, never while the host is notified), and
    // by the restart path while it writes and re-sends it. Recursive:
    // Connect's own exchange may restart.
    std::recursive_mutex m_parametersLock;
    std::atomic<bool> m_commandInProgress{false};
};

double DegreesToRadians(double degrees);  // COSMOS unit: degrees / 45 * atan(1)
// atan(1.0), set while the module loads, right after the COSMOS registration record.
double CosmosQuarterPi();
