// Configure of the GEOPAK protocol: disconnects first (whatever the user then
// does), runs the settings dialog over copies of the settings and takes all
// of them back unchanged on OK. Nothing is validated: a folder is stored
// exactly as typed.
#include "dialogs/config_dlg.h"
#include "dialogs/resource_scope.h"
#include "geopak/geopak_protocol.h"

BOOL MitutoyoProtocol::Configure() {
    if (IsConnected()) Disconnect();

    ResourceScope scope;
    CConfigDlg dialog;
    dialog.m_applicationDirectory = m_applicationDirectory;
    dialog.m_exchangeDirectory = m_exchangeDirectory;
    dialog.m_windowName = m_windowName;
    dialog.m_startupCommand1 = m_startupCommand1;
    dialog.m_startupCommand2 = m_startupCommand2;
    dialog.m_geopakLocal = m_geopakLocal;
    dialog.m_useSendKey = m_useSendKey;
    dialog.m_automaticStartup = m_automaticStartup;
    dialog.m_hasIndexableHead = m_hasIndexableHead;

    if (dialog.DoModal() != IDOK) return FALSE;

    m_applicationDirectory = dialog.m_applicationDirectory;
    m_exchangeDirectory = dialog.m_exchangeDirectory;
    m_windowName = dialog.m_windowName;
    m_startupCommand1 = dialog.m_startupCommand1;
    m_startupCommand2 = dialog.m_startupCommand2;
    m_geopakLocal = dialog.m_geopakLocal;
    m_useSendKey = dialog.m_useSendKey;
    m_automaticStartup = dialog.m_automaticStartup;
    m_hasIndexableHead = dialog.m_hasIndexableHead;
    return TRUE;
}
