// CConfigCosmosDlg: binds the COSMOS settings to the controls of template 104.
#include "dialogs/config_cosmos_dlg.h"

#include "dialogs/resource.h"

// The dialog has no owner of its own: the platform's default for modal
// dialogs applies, so the parent is accepted for the familiar call shape only.
CConfigCosmosDlg::CConfigCosmosDlg(HWND /*parent*/) : CDialog(IDD_CONFIG_COSMOS) {}

CConfigCosmosDlg::~CConfigCosmosDlg() = default;

void CConfigCosmosDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_COSMOS_PATH, m_cosmosPath);
    DDX_Text(pDX, IDC_COSMOS_CANCEL_KEYS, m_cancelMacroKeys);
    DDX_Text(pDX, IDC_COSMOS_RESTART_KEYS1, m_restartMacroKeys1);
    DDX_Text(pDX, IDC_COSMOS_RESTART_KEYS2, m_restartMacroKeys2);
    DDX_Text(pDX, IDC_COSMOS_EXIT_KEYS, m_exitGeopakKeys);
    DDX_Text(pDX, IDC_COSMOS_PARTMANAGER_CLASS, m_partManagerWindowClass);
    DDX_Text(pDX, IDC_COSMOS_GEOPAK_CLASS, m_geopakWindowClass);
    DDX_Check(pDX, IDC_COSMOS_GEOPAK_LOCAL, m_geopakLocal);
    DDX_Check(pDX, IDC_COSMOS_MACHINE_TYPE, m_machineType);
    DDX_Check(pDX, IDC_COSMOS_INDEXABLE_HEAD, m_hasIndexableHead);
}
