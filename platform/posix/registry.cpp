// The registry of the posix half. There is no system registry here: settings
// live in the portable .reg store instead.
#include "platform/platform.h"

namespace plat {

std::unique_ptr<RegistryKey> OpenSystemRegistryKey(const std::string&) { return nullptr; }

}  // namespace plat
