// CConfigDlg: the modal settings dialog of the GEOPAK protocol (template
// 101). It edits copies of the protocol's settings; the protocol's Configure
// fills the members before the run and takes them back on OK.
#pragma once

#include "framework/dialog.h"

#include <string>

class CConfigDlg : public CDialog {
public:
    explicit CConfigDlg(HWND parent = plat::kNoWindow);
    ~CConfigDlg() override;

    // Each member has the name and type of the protocol setting it edits.
    std::string m_applicationDirectory;
    std::string m_exchangeDirectory;
    std::string m_windowName;
    std::string m_startupCommand1;
    std::string m_startupCommand2;
    int m_geopakLocal = 0;
    int m_useSendKey = 0;
    int m_automaticStartup = 0;
    int m_hasIndexableHead = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
