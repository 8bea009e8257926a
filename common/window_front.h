// Putting a Mitutoyo program's window in front before keys go to it, the way
// both protocols do it: restored if minimised, shown normally, made active,
// given the focus and brought to the foreground, in that order.
#pragma once

#include "platform/platform.h"

inline void BringWindowToFront(plat::WindowHandle window) {
    plat::ShowWindow(window, plat::kSwRestore);
    plat::ShowWindow(window, plat::kSwShowNormal);
    plat::SetActiveWindow(window);
    plat::SetFocus(window);
    plat::SetForegroundWindow(window);
}
