// Our stand-in for the MFC dialog class and its data exchange. A dialog has a
// template id; DoDataExchange binds members to controls (DDX_Text, DDX_Check);
// DoModal runs it modally through the platform (posix: the host UI presents
// the portable template; win32: the real dialog from the .rc template).
// Modeless dialogs (Create) receive Cancel / Close through the message pump.
#pragma once

#include "framework/types.h"

#include <map>
#include <string>

class CDataExchange {
public:
    CDataExchange(bool saveAndValidate, std::map<int, std::string>& values)
        : m_bSaveAndValidate(saveAndValidate), m_values(values) {}
    bool m_bSaveAndValidate;  // true: controls -> members
    std::map<int, std::string>& m_values;
};

void DDX_Text(CDataExchange* pDX, int controlId, std::string& value);
void DDX_Check(CDataExchange* pDX, int controlId, int& value);  // 1 ticked, 0 not

class CDialog : public plat::DialogSink {
public:
    explicit CDialog(int templateId = 0);
    ~CDialog() override;

    // Modal use.
    virtual int DoModal();  // IDOK, IDCANCEL, or -1 when it cannot be shown
    virtual void DoDataExchange(CDataExchange* pDX);

    // Modeless use.
    BOOL Create(int templateId);
    virtual int OnCreate();        // 0 to go on, -1 to fail creation
    virtual void OnCancel();       // modeless: hides the window
    virtual void OnClose();        // default: DestroyWindow
    virtual void PostNcDestroy();  // after the window is gone
    void ShowWindow(int showCommand);
    void SetTopmost();
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    bool HasDlgItem(int controlId) const;
    void SetDlgItemText(int controlId, const std::string& text);
    void PostCloseMessage();  // PostMessage(WM_CLOSE)
    void DestroyWindow();
    plat::DialogHandle Handle() const { return m_handle; }
    int TemplateId() const { return m_templateId; }

    // plat::DialogSink
    void OnCommand(int controlId) override;
    void OnCloseRequest() override;
    void OnDestroyed() override;

protected:
    int m_templateId;
    plat::DialogHandle m_handle = 0;

private:
    bool m_creationFailed = false;  // OnCreate refused: no PostNcDestroy
};
