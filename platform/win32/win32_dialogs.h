// Shared by the modal and modeless dialog code of the win32 half.
#pragma once

#include "win32_internal.h"
#include "../common/common_internal.h"

namespace plat::win32 {

// The module whose resources hold the template, or nullptr.
HINSTANCE ResourceInstance(int templateId);

// Data exchange: texts into edit and static controls, "1"/"0" into check
// boxes, and back out of the edit controls and check boxes.
void PutValues(HWND dialog, const std::map<int, std::string>& values);
void TakeValues(HWND dialog, std::map<int, std::string>& values);
std::string ItemText(HWND dialog, int controlId);

}  // namespace plat::win32
