// The modeless command dialog on the terminal: not shown yet in this build.
#include "terminal_ui.h"

void TerminalUI::ModelessShown(plat::DialogHandle, const plat::DialogTemplate&, bool) {}
void TerminalUI::ModelessText(plat::DialogHandle, int, const std::string&) {}
void TerminalUI::ModelessDestroyed(plat::DialogHandle) {}
void TerminalUI::Idle() {}
