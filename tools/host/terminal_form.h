// Helpers of the terminal form that cmmhost configure shares: the label of a
// control as the user reads it, and check-box answers typed as words.
#pragma once

#include "platform/tools.h"

#include <string>

// The text that names a control: a check box's own text; for an edit, the
// static text beside it (left of it, overlapping it the most in height).
std::string FormLabel(const plat::DialogTemplate& dialog, const plat::ControlTemplate& control);

// "yes"/"no" and their kin ("y", "1", "true", "on" ...) as a check state
// "1" or "0"; false when the word is neither.
bool ParseCheckAnswer(const std::string& word, std::string& state);
