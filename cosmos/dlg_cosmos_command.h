// CDlgCosmosCommand: the small modeless "Cosmos Command In Progress" window
// shown, topmost, while a COSMOS command runs. Its Cancel (or Escape) and its
// close box ask the worker to abandon the command through the protocol's
// pause request. It deletes itself once its window is gone.
#pragma once

#include "framework/dialog.h"

class MitutoyoCosmosProtocol;

class CDlgCosmosCommand : public CDialog {
public:
    // Creates and shows the window at once. Allocate with new; the object
    // deletes itself in PostNcDestroy.
    CDlgCosmosCommand(MitutoyoCosmosProtocol* protocol, void* parent);
    ~CDlgCosmosCommand() override;

    void DoDataExchange(CDataExchange* pDX) override;
    void PostNcDestroy() override;
    void OnCancel() override;
    int OnCreate() override;
    void OnClose() override;

private:
    // The protocol clears m_protocol before it closes the dialog.
    friend class MitutoyoCosmosProtocol;

    // Not owned; once cleared, the dialog leaves the protocol alone.
    MitutoyoCosmosProtocol* m_protocol;
};
