// Loadable modules on posix: a host loads its plug-ins with dlopen.
#include "platform/tools.h"

#include <dlfcn.h>

namespace plat {

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
