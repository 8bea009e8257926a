// The plug-in's load and unload hooks on posix, standing in for DllMain: a
// static object of the last object file linked into the module, so its
// constructor runs after every registration record has been built and its
// destructor before any of them is torn down.
#include "dialogs/resource_scope.h"
#include "plugin/module_entry.h"

namespace {

struct ModuleEntry {
    ModuleEntry() { PluginDllMain(PluginResourceModule(), kProcessAttach, nullptr); }
    ~ModuleEntry() { PluginDllMain(PluginResourceModule(), kProcessDetach, nullptr); }
};

ModuleEntry TheEntry;

}  // namespace
