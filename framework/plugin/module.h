// The plug-in module: its load-time constants, its resource handle and the
// guard that makes it the current resource module while a dialog is open.
#pragma once

#include "framework/types.h"
#include "platform/platform.h"

// atan(1.0), set while the module loads, one per protocol unit.
double CosmosQuarterPi();
double GeopakQuarterPi();

// The module's own resources (its dialog templates): the instance handle
// the entry was given, or a handle unique to this copy of the module before.
plat::ModuleHandle PluginResourceModule();

// What DllMain does, on every OS; the OS entry glue calls it once the
// registration records exist. Attach writes "Mitutoyo.DLL Initializing!\n" to
// the debugger output and registers the dialog templates under the module;
// detach writes "Mitutoyo DLL Terminating!\n" and withdraws them. TRUE for
// every reason. Tests that link the plug-in's code directly call it themselves.
constexpr DWORD kProcessDetach = 0;
constexpr DWORD kProcessAttach = 1;
BOOL PluginDllMain(plat::ModuleHandle instance, DWORD reason, void* reserved);

// Saves the current resource module and makes the plug-in's current; puts
// the saved one back on every way out.
class ResourceScope {
public:
    ResourceScope();
    ~ResourceScope();
    ResourceScope(const ResourceScope&) = delete;
    ResourceScope& operator=(const ResourceScope&) = delete;

private:
    plat::ModuleHandle m_saved;
};
