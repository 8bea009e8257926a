// The plug-in module: its load-time constants, its resource handle and the
// guard that makes it the current resource module while a dialog is open.
#pragma once

#include "platform/platform.h"

// atan(1.0), set while the module loads, one per protocol unit.
double CosmosQuarterPi();
double GeopakQuarterPi();

// The module's own resources (its dialog templates).
plat::ModuleHandle PluginResourceModule();

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
