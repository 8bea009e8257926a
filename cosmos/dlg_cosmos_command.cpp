// The command-in-progress dialog: creation from template 103, topmost on
// creation, Cancel and Close turned into the protocol's pause request, and
// self-deletion when the window is destroyed.
#include "cosmos/dlg_cosmos_command.h"
#include "cosmos/cosmos_protocol.h"
#include "dialogs/resource.h"
#include "dialogs/resource_scope.h"

CDlgCosmosCommand::CDlgCosmosCommand(MitutoyoCosmosProtocol* protocol, void* /*parent*/)
    : CDialog(IDD_COSMOS_COMMAND), m_protocol(protocol) {
    {
        // The template lives in the plug-in's resources.
        ResourceScope scope;
        Create(IDD_COSMOS_COMMAND);
    }
    ShowWindow(plat::kSwShow);
}

CDlgCosmosCommand::~CDlgCosmosCommand() = default;

void CDlgCosmosCommand::DoDataExchange(CDataExchange*) {}

int CDlgCosmosCommand::OnCreate() {
    if (CDialog::OnCreate() == -1) return -1;
    SetTopmost();
    return 0;
}

void CDlgCosmosCommand::OnCancel() {
    if (m_protocol != nullptr) m_protocol->m_pauseRequestEvent.Set();
    CDialog::OnCancel();
}

void CDlgCosmosCommand::OnClose() {
    if (m_protocol != nullptr) m_protocol->m_pauseRequestEvent.Set();
    CDialog::OnCancel();
    CDialog::OnClose();
}

void CDlgCosmosCommand::PostNcDestroy() {
    if (m_protocol != nullptr) m_protocol->m_commandDialog = nullptr;
    CDialog::PostNcDestroy();
    delete this;
}
