// Portable description of the plug-in's dialog templates.
#include "dialogs/templates.h"

const std::vector<plat::DialogTemplate>& PluginDialogTemplates() {
    static const std::vector<plat::DialogTemplate> templates;
    return templates;
}
