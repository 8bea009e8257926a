// The portable description of the plug-in's dialog templates (101 to 104),
// which the posix presenter shows and the tests compare with the .rc scripts.
#pragma once

#include "platform/platform.h"

#include <vector>

const std::vector<plat::DialogTemplate>& PluginDialogTemplates();
