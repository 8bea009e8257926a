// The dialog layer: CDialog's modal run with data exchange, and the modeless
// side (create, show, texts, close, destroy) routed through the platform.
// It follows MFC's lifecycle: members go into the controls before a modal run
// and come back only on OK; a modeless dialog's Cancel hides it, its close
// request destroys it, and PostNcDestroy is the last call the object gets.
#include "framework/dialog.h"

#include <cstdlib>

void DDX_Text(CDataExchange* pDX, int controlId, std::string& value) {
    if (!pDX->m_bSaveAndValidate) {
        pDX->m_values[controlId] = value;
        return;
    }
    auto it = pDX->m_values.find(controlId);
    if (it != pDX->m_values.end()) value = it->second;
}

void DDX_Check(CDataExchange* pDX, int controlId, int& value) {
    if (!pDX->m_bSaveAndValidate) {
        // A two-state box shows any non-zero value as ticked.
        pDX->m_values[controlId] = value != 0 ? "1" : "0";
        return;
    }
    auto it = pDX->m_values.find(controlId);
    if (it != pDX->m_values.end()) value = std::atoi(it->second.c_str()) != 0 ? 1 : 0;
}

CDialog::CDialog(int templateId) : m_templateId(templateId) {}

CDialog::~CDialog() {
    // A window that outlives its object is destroyed here; the derived part is
    // already gone, so only the base PostNcDestroy can run.
    DestroyWindow();
}

int CDialog::DoModal() {
    std::map<int, std::string> values;
    CDataExchange toControls(false, values);
    DoDataExchange(&toControls);
    const int result = plat::RunModalDialog(m_templateId, values);
    if (result == IDOK) {
        CDataExchange fromControls(true, values);
        DoDataExchange(&fromControls);
    }
    return result;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::Create(int templateId) {
    if (m_handle != 0) return FALSE;
    m_templateId = templateId;
    m_handle = plat::CreateModelessDialog(templateId, this);
    if (m_handle == 0) return FALSE;
    if (OnCreate() == -1) {
        // Creation failed: the window goes, but the object never became a
        // window's owner, so it is not told of the destruction either.
        const plat::DialogHandle handle = m_handle;
        m_handle = 0;
        m_creationFailed = true;
        plat::DestroyDialog(handle);  // synchronous, like DestroyWindow
        m_creationFailed = false;
        return FALSE;
    }
    return TRUE;
}

int CDialog::OnCreate() { return 0; }

void CDialog::OnCancel() {
    if (m_handle != 0) plat::ShowDialog(m_handle, false);
}

void CDialog::OnClose() { DestroyWindow(); }

void CDialog::PostNcDestroy() {}

void CDialog::ShowWindow(int showCommand) {
    if (m_handle != 0) plat::ShowDialog(m_handle, showCommand != plat::kSwHide);
}

void CDialog::SetTopmost() {
    if (m_handle != 0) plat::SetDialogTopmost(m_handle);
}

void CDialog::SetWindowText(const std::string& text) {
    if (m_handle != 0) plat::SetDialogTitle(m_handle, text);
}

std::string CDialog::GetWindowText() const {
    return m_handle != 0 ? plat::GetDialogTitle(m_handle) : std::string();
}

bool CDialog::HasDlgItem(int controlId) const {
    return m_handle != 0 && plat::HasDialogItem(m_handle, controlId);
}

void CDialog::SetDlgItemText(int controlId, const std::string& text) {
    if (m_handle != 0) plat::SetDialogItemText(m_handle, controlId, text);
}

void CDialog::PostCloseMessage() {
    if (m_handle != 0) plat::PostDialogClose(m_handle);
}

void CDialog::DestroyWindow() {
    if (m_handle == 0) return;
    plat::DestroyDialog(m_handle);  // OnDestroyed clears the handle
}

void CDialog::OnCommand(int controlId) {
    if (controlId == IDCANCEL) OnCancel();
}

void CDialog::OnCloseRequest() { OnClose(); }

void CDialog::OnDestroyed() {
    if (m_creationFailed) return;
    m_handle = 0;
    PostNcDestroy();  // may delete this: nothing may follow
}
