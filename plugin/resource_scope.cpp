// The resource-module guard held while a plug-in dialog is open.
#include "dialogs/resource_scope.h"

ResourceScope::ResourceScope() : m_saved(plat::ResourceModule()) {
    plat::SetResourceModule(PluginResourceModule());
}

ResourceScope::~ResourceScope() { plat::SetResourceModule(m_saved); }
