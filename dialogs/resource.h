// Resource identifiers of the plug-in's dialog templates and their controls.
// Shared by the .rc scripts and the portable templates, so plain macros.
#pragma once

#define IDD_CONFIG_GEOPAK 101
#define IDD_GEOPAK_4000 102
#define IDD_COSMOS_COMMAND 103
#define IDD_CONFIG_COSMOS 104

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Template 101: the GEOPAK settings.
#define IDC_GEOPAK_APPLICATION_DIRECTORY 1000
#define IDC_GEOPAK_EXCHANGE_DIRECTORY 1001
#define IDC_GEOPAK_WINDOW_NAME 1002
#define IDC_GEOPAK_LOCAL 1003
#define IDC_GEOPAK_USE_SEND_KEY 1004
#define IDC_GEOPAK_STARTUP_COMMAND1 1005
#define IDC_GEOPAK_STARTUP_COMMAND2 1006
#define IDC_GEOPAK_AUTOMATIC_STARTUP 1007
#define IDC_GEOPAK_INDEXABLE_HEAD 1008

// Template 102: the old Geopak 4000/6000 settings, kept but never shown.
#define IDC_G4000_DATA_PATH 1000
#define IDC_G4000_EXCHANGE_FILE 1001
#define IDC_G4000_OUTER_MATERIAL 1003

// Template 103: the command-in-progress window.
#define IDC_COMMAND_COUNTER 1010

// Template 104: the COSMOS settings.
#define IDC_COSMOS_RESTART_KEYS2 1004
#define IDC_COSMOS_MACHINE_TYPE 1005
#define IDC_COSMOS_PARTMANAGER_CLASS 1006
#define IDC_COSMOS_GEOPAK_CLASS 1007
#define IDC_COSMOS_INDEXABLE_HEAD 1008
#define IDC_COSMOS_EXIT_KEYS 1009
#define IDC_COSMOS_GEOPAK_LOCAL 1011
#define IDC_COSMOS_PATH 1012
#define IDC_COSMOS_CANCEL_KEYS 1013
#define IDC_COSMOS_RESTART_KEYS1 1014
