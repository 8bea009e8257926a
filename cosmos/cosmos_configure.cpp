// Configure of the COSMOS protocol: runs the settings dialog over copies of
// the settings and takes them back on OK, with the COSMOS folder mended to
// end in exactly one backslash. The worker keeps running while the dialog is
// open and is paused between its cycles only while the settings change
// under it (a poll left unanswered gives up, so OK never waits on COSMOS).
#include "cosmos/cosmos_protocol.h"
#include "dialogs/config_cosmos_dlg.h"
#include "dialogs/resource_scope.h"

namespace {

// Keeps the worker between its cycles for as long as it lives.
class WorkerSuspension {
public:
    explicit WorkerSuspension(CMMProtocolWithThread& protocol) : m_protocol(protocol) {
        m_protocol.SuspendThread();
    }
    ~WorkerSuspension() { m_protocol.ResumeThread(); }
    WorkerSuspension(const WorkerSuspension&) = delete;
    WorkerSuspension& operator=(const WorkerSuspension&) = delete;

private:
    CMMProtocolWithThread& m_protocol;
};

}  // namespace

BOOL MitutoyoCosmosProtocol::Configure() {
    // From a notification during a command: the command's settings stay.
    if (CommandInProgress()) return FALSE;
    ResourceScope scope;
    CConfigCosmosDlg dialog;
    dialog.m_hasIndexableHead = m_hasIndexableHead;
    dialog.m_debugLog = m_debugLog;
    dialog.m_geopakLocal = m_geopakLocal;
    dialog.m_machineType = m_machineType;
    dialog.m_cancelMacroKeys = m_cancelMacroKeys;
    dialog.m_restartMacroKeys1 = m_restartMacroKeys1;
    dialog.m_restartMacroKeys2 = m_restartMacroKeys2;
    dialog.m_exitGeopakKeys = m_exitGeopakKeys;
    dialog.m_geopakWindowClass = m_geopakWindowClass;
    dialog.m_partManagerWindowClass = m_partManagerWindowClass;
    dialog.m_cosmosPath = m_cosmosPath;

    if (dialog.DoModal() != IDOK) return FALSE;

    WorkerSuspension suspended(*this);
    m_hasIndexableHead = dialog.m_hasIndexableHead;
    m_debugLog = dialog.m_debugLog;
    m_geopakLocal = dialog.m_geopakLocal;
    m_machineType = dialog.m_machineType != 0 ? 1 : 0;
    m_cancelMacroKeys = dialog.m_cancelMacroKeys;
    m_restartMacroKeys1 = dialog.m_restartMacroKeys1;
    m_restartMacroKeys2 = dialog.m_restartMacroKeys2;
    m_exitGeopakKeys = dialog.m_exitGeopakKeys;
    m_geopakWindowClass = dialog.m_geopakWindowClass;
    m_partManagerWindowClass = dialog.m_partManagerWindowClass;
    m_cosmosPath = dialog.m_cosmosPath;
    // File names are glued to the folder, so it must end in a backslash; a
    // forward slash does not count.
    if (m_cosmosPath.empty() || m_cosmosPath.back() != '\\') m_cosmosPath += '\\';
    return TRUE;
}
