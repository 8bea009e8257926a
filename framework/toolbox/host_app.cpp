// The host application hooks and the message-loop pass that protocols run
// while they wait on the host's thread.
#include "framework/host_app.h"

#include <atomic>

namespace {

std::atomic<CHostApplication*> g_application{nullptr};

}  // namespace

BOOL CHostApplication::PreTranslateMessage(const plat::WindowMessage&) { return FALSE; }
BOOL CHostApplication::OnIdle(long) { return FALSE; }

void SetHostApplication(CHostApplication* application) { g_application = application; }
CHostApplication* AfxGetApp() { return g_application.load(); }

bool PumpWaitingMessages() {
    CHostApplication* application = AfxGetApp();
    plat::PreTranslate offer;
    if (application != nullptr)
        offer = [application](const plat::WindowMessage& m) { return application->PreTranslateMessage(m) != FALSE; };
    const bool quit = !plat::PumpMessages(offer);
    // The host's own loop must see the quit too: this pass only looked at it.
    if (quit) plat::PostQuitMessage(0);
    if (application != nullptr) {
        application->OnIdle(0);
        application->OnIdle(1);
    }
    return !quit;
}
