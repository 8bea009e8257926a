// Registry and loadable modules for the posix half. There is no system
// registry here: settings live in the portable .reg store instead.
#include "platform/platform.h"

#include <dlfcn.h>

namespace plat {

std::unique_ptr<RegistryKey> OpenSystemRegistryKey(const std::string&) { return nullptr; }

void* LoadModule(const std::string& nativePath, std::string& error) {
    error.clear();
    void* module = ::dlopen(nativePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* reason = ::dlerror();
        error = reason != nullptr ? reason : "cannot load " + nativePath;
    }
    return module;
}

void UnloadModule(void* module) {
    if (module != nullptr) ::dlclose(module);
}

}  // namespace plat
