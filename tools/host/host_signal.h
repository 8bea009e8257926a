// Ctrl-C (and Ctrl-Break) for cmmhost: the interrupt handler only raises an
// atomic flag. The terminal UI's idle pump turns it into Cancel on the command
// dialog when one is showing; otherwise the script runner sees it between
// steps and stops.
#pragma once

void InstallCtrlCHandler();
bool CtrlCPending();
bool TakeCtrlC();  // true when a Ctrl-C was pending; clears it
