// Modal dialogs on the terminal: not available yet in this build.
#include "terminal_ui.h"

int TerminalUI::RunModal(const plat::DialogTemplate&, std::map<int, std::string>&) { return -1; }
