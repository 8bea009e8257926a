// CConfigDlg: binds the GEOPAK settings to the controls of template 101.
#include "dialogs/config_dlg.h"

#include "dialogs/resource.h"

// The parent is accepted for the familiar call shape only; the platform's
// default owner for modal dialogs applies.
CConfigDlg::CConfigDlg(HWND /*parent*/) : CDialog(IDD_CONFIG_GEOPAK) {}

CConfigDlg::~CConfigDlg() = default;

void CConfigDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_GEOPAK_APPLICATION_DIRECTORY, m_applicationDirectory);
    DDX_Text(pDX, IDC_GEOPAK_EXCHANGE_DIRECTORY, m_exchangeDirectory);
    DDX_Text(pDX, IDC_GEOPAK_WINDOW_NAME, m_windowName);
    DDX_Text(pDX, IDC_GEOPAK_STARTUP_COMMAND1, m_startupCommand1);
    DDX_Text(pDX, IDC_GEOPAK_STARTUP_COMMAND2, m_startupCommand2);
    DDX_Check(pDX, IDC_GEOPAK_LOCAL, m_geopakLocal);
    DDX_Check(pDX, IDC_GEOPAK_USE_SEND_KEY, m_useSendKey);
    DDX_Check(pDX, IDC_GEOPAK_AUTOMATIC_STARTUP, m_automaticStartup);
    DDX_Check(pDX, IDC_GEOPAK_INDEXABLE_HEAD, m_hasIndexableHead);
}
