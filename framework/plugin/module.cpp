// The plug-in module: the registration records that announce the protocols
// and describe their settings when the module loads, the quarter-pi
// constants of the protocol units, the module entry (what DllMain does,
// callable on every OS) and the resource-module guard used while a plug-in
// dialog is open.
#include "framework/plugin/module.h"

#include "cosmos/cosmos_protocol.h"
#include "dialogs/templates.h"
#include "framework/protocol.h"
#include "framework/settings.h"
#include "geopak/geopak_protocol.h"

#include <atomic>
#include <cmath>

// Construction order is declaration order within this file: COSMOS is
// announced first, and each quarter-pi is set after its protocol's record.
static ProtocolRegister CosmosRegister("Mitutoyo - COSMOS1.3", MitutoyoCosmosProtocol::GetThisClass());
static SettingsRegister CosmosSettings("Mitutoyo - COSMOS1.3", MitutoyoCosmosProtocol::DescribeSettings());
static double CosmosQuarterPiValue = std::atan(1.0);
static ProtocolRegister GeopakRegister("Mitutoyo - GEOPAK3v5.3", MitutoyoProtocol::GetThisClass());
static SettingsRegister GeopakSettings("Mitutoyo - GEOPAK3v5.3", MitutoyoProtocol::DescribeSettings());
static double GeopakQuarterPiValue = std::atan(1.0);

namespace {
// Set by the entry on attach; until then the module is known by the address
// of this variable, which is unique to each loaded copy of the module.
std::atomic<plat::ModuleHandle> ModuleInstance{nullptr};
}  // namespace

double CosmosQuarterPi() { return CosmosQuarterPiValue; }
double GeopakQuarterPi() { return GeopakQuarterPiValue; }

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

ResourceScope::ResourceScope() : m_saved(plat::ResourceModule()) {
    plat::SetResourceModule(PluginResourceModule());
}

ResourceScope::~ResourceScope() { plat::SetResourceModule(m_saved); }
