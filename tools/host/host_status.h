// cmmhost's one status line on standard error, and every other line printed
// around it. Whoever prints (JSON lines on stdout, messages on stderr, the
// command dialog's counter, the waiting note) goes through here, so a status
// line is always cleared before anything else appears on the terminal.
#pragma once

#include <cstdio>
#include <string>

namespace hoststatus {

// Writes text (line ends included) to out, the status line cleared first.
void Print(std::FILE* out, const std::string& text);

// The command dialog's line: drawn in place, ended (kept, the cursor moved past
// it) when the dialog goes.
void ShowDialog(const std::string& text);
void EndDialog();

// What the host is waiting on ("line 4: transaction stop"), from now on;
// empty when it waits on nothing. While it lasts, WaitingNote tells how long.
void SetActivity(const std::string& what);
// Called about once a second by the guard: on a terminal redraws "waiting N s
// for ..." in place (unless the dialog's line shows); elsewhere writes one
// line after 5 s and again every minute. Returns the activity and its age.
std::string WaitingNote();

}  // namespace hoststatus
