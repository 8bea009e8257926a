// The host application as the plug-in sees it: the stand-in for the MFC
// application object. A host installs one (SetHostApplication); a protocol
// that waits on the host's thread keeps the host's messages flowing through
// PumpWaitingMessages, which hands each message to the application's
// PreTranslateMessage first and lets it do its idle work afterwards, as the
// host's own message loop would.
#pragma once

#include "framework/types.h"

class CHostApplication {
public:
    virtual ~CHostApplication() = default;
    // TRUE: the message is the application's (an accelerator, a message of
    // its own) and is not dispatched.
    virtual BOOL PreTranslateMessage(const plat::WindowMessage& message);
    // Idle processing; count is 0, then 1, for one idle period. TRUE asks
    // for more idle time.
    virtual BOOL OnIdle(long count);
};

// The application of this process (nullptr: none; messages are dispatched
// unseen and there is no idle work). Set it from the host's thread before
// the first protocol call; clear it before the object goes.
void SetHostApplication(CHostApplication* application);
CHostApplication* AfxGetApp();

// One pass of a wait's message loop on the host's thread: every pending
// message goes to the application's PreTranslateMessage and, when it does
// not take it, is dispatched; then OnIdle(0) and OnIdle(1). A quit message
// ends the pass and is posted again (PostQuitMessage(0)) for the host's own
// loop to see. Returns false when a quit was seen.
bool PumpWaitingMessages();
