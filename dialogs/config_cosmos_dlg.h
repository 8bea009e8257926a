// CConfigCosmosDlg: the modal settings dialog of the COSMOS protocol
// (template 104). It edits copies of the protocol's settings; the protocol's
// Configure fills the members before the run and takes them back on OK.
#pragma once

#include "framework/dialog.h"

#include <string>

class CConfigCosmosDlg : public CDialog {
public:
    explicit CConfigCosmosDlg(HWND parent = plat::kNoWindow);
    ~CConfigCosmosDlg() override;

    // Each member has the name and type of the protocol setting it edits.
    int m_hasIndexableHead = 0;
    int m_debugLog = 0;  // no control: passes through unchanged
    int m_geopakLocal = 0;
    int m_machineType = 0;
    std::string m_cancelMacroKeys;
    std::string m_restartMacroKeys1;
    std::string m_restartMacroKeys2;
    std::string m_exitGeopakKeys;
    std::string m_geopakWindowClass;
    std::string m_partManagerWindowClass;
    std::string m_cosmosPath;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
