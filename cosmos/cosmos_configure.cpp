// The settings of the COSMOS protocol: their table (registry order, kinds,
// defaults, the dialog's controls), ReadSettings and WriteSettings, and
// Configure, which runs the settings dialog over copies of the settings and
// takes them back on OK, with the COSMOS folder mended to end in exactly one
// backslash. The worker keeps running while the dialog is
// open and is paused between its cycles only while the settings change
// under it (a poll left unanswered gives up, so OK never waits on COSMOS).
#include "cosmos/cosmos_protocol.h"
#include "dialogs/config_cosmos_dlg.h"
#include "dialogs/resource.h"
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

const MitutoyoCosmosProtocol::Settings::Rows& MitutoyoCosmosProtocol::SettingRows() {
    using P = MitutoyoCosmosProtocol;
    using D = CConfigCosmosDlg;
    // Values are stored as read: the folder's backslash and the machine
    // type's 0/1 are Configure's and Connect's to mend, not this table's.
    static const Settings::Rows rows{
        Settings::Edit("CosmosPath", &P::m_cosmosPath, "C:\\COSMOS\\", IDC_COSMOS_PATH, &D::m_cosmosPath),
        Settings::Edit("CancelGEOPAKMacroString", &P::m_cancelMacroKeys,
                       "%RI{TAB}{TAB}{TAB}{DOWN}{DOWN}{TAB}{TAB}{ENTER}", IDC_COSMOS_CANCEL_KEYS,
                       &D::m_cancelMacroKeys),
        Settings::Edit("RestartGEOPAKMacroString1", &P::m_restartMacroKeys1, "%R{DOWN}{ENTER}",
                       IDC_COSMOS_RESTART_KEYS1, &D::m_restartMacroKeys1),
        Settings::Edit("RestartGEOPAKMacroString2", &P::m_restartMacroKeys2, "1{ENTER}{ENTER}",
                       IDC_COSMOS_RESTART_KEYS2, &D::m_restartMacroKeys2),
        Settings::Edit("GeoPakWinClassName", &P::m_geopakWindowClass, "xmeas_res4500drawtask9012",
                       IDC_COSMOS_GEOPAK_CLASS, &D::m_geopakWindowClass),
        Settings::Edit("PartManagerClassName", &P::m_partManagerWindowClass, "xpartmngr4500drawtask9012",
                       IDC_COSMOS_PARTMANAGER_CLASS, &D::m_partManagerWindowClass),
        Settings::Check("GeoPak Local", &P::m_geopakLocal, "1", IDC_COSMOS_GEOPAK_LOCAL, &D::m_geopakLocal),
        Settings::Check("Has PH9/PH10 Head", &P::m_hasIndexableHead, "1", IDC_COSMOS_INDEXABLE_HEAD,
                        &D::m_hasIndexableHead),
        Settings::Integer("DEBUG", &P::m_debugLog, "0", &D::m_debugLog),  // through the dialog unchanged
        Settings::Check("MachineType", &P::m_machineType, "1", IDC_COSMOS_MACHINE_TYPE, &D::m_machineType),
        Settings::Integer("REMOTESTARTTIMEOUT", &P::m_remoteStartTimeout, "12000"),  // milliseconds
        Settings::Edit("ExitGEOPAKKeyStroke", &P::m_exitGeopakKeys, "%I{DOWN}{DOWN}{ENTER}", IDC_COSMOS_EXIT_KEYS,
                       &D::m_exitGeopakKeys),
    };
    return rows;
}

std::vector<SettingInfo> MitutoyoCosmosProtocol::DescribeSettings() { return Settings::Describe(SettingRows()); }

BOOL MitutoyoCosmosProtocol::ReadSettings(HKEY key) {
    Settings::Read(SettingRows(), key, *this);
    return TRUE;
}

BOOL MitutoyoCosmosProtocol::WriteSettings(HKEY key) { return Settings::Write(SettingRows(), key, *this); }

BOOL MitutoyoCosmosProtocol::Configure() {
    // From a notification during a command: the command's settings stay.
    if (CommandInProgress()) return FALSE;
    ResourceScope scope;
    CConfigCosmosDlg dialog;
    Settings::ToDialog(SettingRows(), *this, dialog);

    if (dialog.DoModal() != IDOK) return FALSE;

    WorkerSuspension suspended(*this);
    Settings::FromDialog(SettingRows(), dialog, *this);
    m_machineType = m_machineType != 0 ? 1 : 0;
    // File names are glued to the folder, so it must end in a backslash; a
    // forward slash does not count.
    if (m_cosmosPath.empty() || m_cosmosPath.back() != '\\') m_cosmosPath += '\\';
    return TRUE;
}
