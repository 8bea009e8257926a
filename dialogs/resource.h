// Resource identifiers of the plug-in's dialog templates. Shared by the .rc
// scripts and the portable templates, so plain macros.
#pragma once

#define IDD_CONFIG_GEOPAK 101
#define IDD_GEOPAK_4000 102
#define IDD_COSMOS_COMMAND 103
#define IDD_CONFIG_COSMOS 104

#define IDC_COMMAND_COUNTER 1010
