// The module entry: remembers the handle the module was loaded under and
// hands the dialog templates to the platform under it.
#include "plugin/module_entry.h"

#include "dialogs/resource_scope.h"
#include "dialogs/templates.h"

#include <atomic>

namespace {
// Set by the entry on attach; until then the module is known by the address
// of this variable, which is unique to each loaded copy of the module.
std::atomic<plat::ModuleHandle> ModuleInstance{nullptr};
}  // namespace

plat::ModuleHandle PluginResourceModule() {
    plat::ModuleHandle instance = ModuleInstance.load();
    return instance != nullptr ? instance : &ModuleInstance;
}

BOOL PluginDllMain(plat::ModuleHandle instance, DWORD reason, void* reserved) {
    (void)reserved;
    if (reason == kProcessAttach) {
        plat::DebugOutput("Mitutoyo.DLL Initializing!\n");
        if (instance != nullptr) ModuleInstance = instance;
        plat::RegisterTemplates(PluginResourceModule(), &PluginDialogTemplates());
    } else if (reason == kProcessDetach) {
        plat::DebugOutput("Mitutoyo DLL Terminating!\n");
        plat::RegisterTemplates(PluginResourceModule(), nullptr);
    }
    return TRUE;
}
