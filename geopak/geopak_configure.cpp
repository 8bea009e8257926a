// The settings of the GEOPAK protocol: their table (registry order, kinds,
// defaults, the dialog's controls), ReadSettings and WriteSettings, and
// Configure, which disconnects first (whatever the user then does), runs the
// settings dialog over copies of the settings and takes all of them back
// unchanged on OK. Nothing is validated: a folder is stored exactly as typed.
#include "dialogs/config_dlg.h"
#include "dialogs/resource.h"
#include "dialogs/resource_scope.h"
#include "geopak/geopak_protocol.h"

const MitutoyoProtocol::Settings::Rows& MitutoyoProtocol::SettingRows() {
    using P = MitutoyoProtocol;
    using D = CConfigDlg;
    static const Settings::Rows rows{
        Settings::Edit("GeoPak Application Directory", &P::m_applicationDirectory, "C:\\GEOPAK\\",
                       IDC_GEOPAK_APPLICATION_DIRECTORY, &D::m_applicationDirectory),
        Settings::Edit("GeoPak Exchange Directory", &P::m_exchangeDirectory, "C:\\DATA\\",
                       IDC_GEOPAK_EXCHANGE_DIRECTORY, &D::m_exchangeDirectory),
        Settings::Edit("GeoPak Window name", &P::m_windowName, "GEOPAK - GEOPAK", IDC_GEOPAK_WINDOW_NAME,
                       &D::m_windowName),
        Settings::Check("GeoPak Local", &P::m_geopakLocal, "1", IDC_GEOPAK_LOCAL, &D::m_geopakLocal),
        Settings::Check("Use Send KEY", &P::m_useSendKey, "1", IDC_GEOPAK_USE_SEND_KEY, &D::m_useSendKey),
        // Opaque texts for GEOPAK's macro, written byte for byte.
        Settings::Edit("Startup Command 1", &P::m_startupCommand1, "CMD05(C:\\GEOPAK\\MELDAX\\)",
                       IDC_GEOPAK_STARTUP_COMMAND1, &D::m_startupCommand1),
        Settings::Edit("Startup Command 2", &P::m_startupCommand2,
                       "CMD06(0000MELDAX-MAIN         S0/0000000R00001P00000)", IDC_GEOPAK_STARTUP_COMMAND2,
                       &D::m_startupCommand2),
        Settings::Check("Automatic Startup", &P::m_automaticStartup, "1", IDC_GEOPAK_AUTOMATIC_STARTUP,
                        &D::m_automaticStartup),
        Settings::Check("Has PH9/PH10 Head", &P::m_hasIndexableHead, "0", IDC_GEOPAK_INDEXABLE_HEAD,
                        &D::m_hasIndexableHead),
        // The trace is switched on by hand in the registry only, so never written.
        Settings::ReadOnly("DEBUG", &P::m_debugLog, "0"),
    };
    return rows;
}

std::vector<SettingInfo> MitutoyoProtocol::DescribeSettings() { return Settings::Describe(SettingRows()); }

BOOL MitutoyoProtocol::ReadSettings(HKEY key) {
    Settings::Read(SettingRows(), key, *this);
    return TRUE;
}

BOOL MitutoyoProtocol::WriteSettings(HKEY key) {
    Settings::Write(SettingRows(), key, *this);
    return TRUE;
}

BOOL MitutoyoProtocol::Configure() {
    if (IsConnected()) Disconnect();

    ResourceScope scope;
    CConfigDlg dialog;
    Settings::ToDialog(SettingRows(), *this, dialog);

    if (dialog.DoModal() != IDOK) return FALSE;

    Settings::FromDialog(SettingRows(), dialog, *this);
    return TRUE;
}
