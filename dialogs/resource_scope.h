// The plug-in's own resources while one of its dialogs is open. Declared
// here, beside the templates, because the dialogs and the protocols that open
// them need it; defined by the plug-in module, which alone knows the handle
// it was loaded under.
#pragma once

#include "platform/platform.h"

// The module's own resources (its dialog templates): the instance handle
// the entry was given, or a handle unique to this copy of the module before.
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
