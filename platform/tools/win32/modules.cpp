// Loadable modules on Windows: a host loads its plug-ins with LoadLibrary.
#include "win32_internal.h"
#include "platform/tools.h"

namespace plat {

void* LoadModule(const std::string& nativePath, std::string& error) {
    HMODULE module = ::LoadLibraryA(nativePath.c_str());
    if (module == nullptr) error = "LoadLibrary failed for " + nativePath + " (error " + std::to_string(::GetLastError()) + ")";
    return reinterpret_cast<void*>(module);
}

void UnloadModule(void* module) {
    if (module != nullptr) ::FreeLibrary(static_cast<HMODULE>(module));
}

}  // namespace plat
