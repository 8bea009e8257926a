// What both halves of the platform seam share: portable pieces that would
// otherwise be written twice (key names, the resource registry, the desktop
// folder setting). Private to platform/.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <string>

namespace plat::common {

// Where the desktop folder is until SetDesktopFolder names one; each half
// has its own.
std::string DefaultDesktopFolder();

// A virtual key that the key notation names in braces ("{ENTER}", "{F8}").
bool IsNamedKey(uint16_t vk);

// The template from the current resource module, else from the first
// registered module that has it.
const DialogTemplate* LookUpTemplate(int templateId);

}  // namespace plat::common
