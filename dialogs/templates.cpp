// Portable description of the plug-in's dialog templates: the same controls,
// ids, texts, positions and sizes as dialogs/Mitutoyo.rc, in template order
// (which is also the tab order). The posix presenter shows these; a test
// keeps them and the resource script in step.
#include "dialogs/templates.h"

#include "dialogs/resource.h"

namespace {

using plat::ControlKind;
using plat::ControlTemplate;
using plat::DialogTemplate;

constexpr int kOk = plat::kIdOk;
constexpr int kCancel = plat::kIdCancel;
constexpr int kNoId = IDC_STATIC;
const char* const kFont = "MS Shell Dlg";
constexpr int kPointSize = 8;

DialogTemplate GeopakSettings() {
    return {IDD_CONFIG_GEOPAK, "Mitutoyo Protocol Configuration Box", 294, 164, kFont, kPointSize,
            {
                {kOk, ControlKind::kDefPushButton, "OK", 237, 7, 50, 14},
                {kCancel, ControlKind::kPushButton, "Cancel", 237, 24, 50, 14},
                {IDC_GEOPAK_APPLICATION_DIRECTORY, ControlKind::kEdit, "", 133, 71, 142, 15},
                {kNoId, ControlKind::kStatic, "GEOPAK Application Directory", 7, 74, 106, 12},
                {IDC_GEOPAK_EXCHANGE_DIRECTORY, ControlKind::kEdit, "", 133, 87, 142, 15},
                {kNoId, ControlKind::kStatic, "GEOPAK Exchange Directory", 7, 89, 106, 12},
                {kNoId, ControlKind::kStatic, "GEOPAK Window Name", 7, 104, 106, 12},
                {IDC_GEOPAK_WINDOW_NAME, ControlKind::kEdit, "", 133, 103, 142, 15},
                {IDC_GEOPAK_LOCAL, ControlKind::kCheckBox, "Use GEOPAK on the same PC", 7, 26, 217, 10},
                {IDC_GEOPAK_USE_SEND_KEY, ControlKind::kCheckBox, "Send KEY to GEOPAK", 7, 52, 130, 10},
                {kNoId, ControlKind::kStatic, "Startup Command 1", 7, 119, 106, 12},
                {IDC_GEOPAK_STARTUP_COMMAND1, ControlKind::kEdit, "", 133, 119, 142, 15},
                {kNoId, ControlKind::kStatic, "Startup Command 2", 7, 134, 106, 12},
                {IDC_GEOPAK_STARTUP_COMMAND2, ControlKind::kEdit, "", 133, 135, 142, 15},
                {IDC_GEOPAK_AUTOMATIC_STARTUP, ControlKind::kCheckBox,
                 "Automatic macro startup ( rq. GEOPAK 5.3 +)", 7, 39, 217, 10},
                {IDC_GEOPAK_INDEXABLE_HEAD, ControlKind::kCheckBox, "Has PH10/PH9 Head", 7, 13, 121, 10},
            }};
}

DialogTemplate Geopak4000Settings() {
    return {IDD_GEOPAK_4000, "MITUTOYO US ( Geopak 4000/6000 for windows version 1.2  )", 246, 86, kFont,
            kPointSize,
            {
                {kOk, ControlKind::kDefPushButton, "OK", 6, 66, 50, 14},
                {kCancel, ControlKind::kPushButton, "Cancel", 185, 65, 50, 14},
                {kNoId, ControlKind::kStatic, "Data Path", 7, 14, 33, 8},
                {kNoId, ControlKind::kStatic, "Exchange File", 7, 33, 46, 8},
                {IDC_G4000_DATA_PATH, ControlKind::kEdit, "", 60, 10, 179, 12},
                {IDC_G4000_EXCHANGE_FILE, ControlKind::kEdit, "", 60, 27, 179, 14},
                {IDC_G4000_OUTER_MATERIAL, ControlKind::kCheckBox, "IJK Vector is outer material", 7, 46, 170, 10},
            }};
}

DialogTemplate CommandInProgress() {
    return {IDD_COSMOS_COMMAND, "Cosmos Command In Progress", 151, 28, kFont, kPointSize,
            {
                {kCancel, ControlKind::kPushButton, "Cancel", 7, 7, 113, 14},
                {IDC_COMMAND_COUNTER, ControlKind::kStatic, "Static", 125, 7, 19, 14},
            }};
}

DialogTemplate CosmosSettings() {
    return {IDD_CONFIG_COSMOS, "MITUTOYO - COSMOS-GEOPAKWIN 1.3R Config", 334, 202, kFont, kPointSize,
            {
                {kOk, ControlKind::kDefPushButton, "OK", 277, 7, 50, 14},
                {kCancel, ControlKind::kPushButton, "Cancel", 277, 24, 50, 14},
                {IDC_COSMOS_GEOPAK_LOCAL, ControlKind::kCheckBox, "COSMOS is running on the same computer.", 7,
                 47, 217, 10},
                {IDC_COSMOS_INDEXABLE_HEAD, ControlKind::kCheckBox, "the Mitutoyo CMM has  a PH10/PH9 Head", 7,
                 36, 216, 10},
                {IDC_COSMOS_PATH, ControlKind::kEdit, "", 185, 75, 142, 15},
                {kNoId, ControlKind::kStatic, "GEOPAK Application Directory", 7, 79, 106, 12},
                {IDC_COSMOS_CANCEL_KEYS, ControlKind::kEdit, "", 185, 91, 142, 15},
                {kNoId, ControlKind::kStatic, "KeyStroke to cancel a GEOPAK WIN MACRO", 7, 96, 176, 10},
                {IDC_COSMOS_RESTART_KEYS1, ControlKind::kEdit, "", 185, 107, 142, 15},
                {kNoId, ControlKind::kStatic, "KeyStroke to restart the ZOR MACRO", 7, 111, 167, 12},
                {IDC_COSMOS_RESTART_KEYS2, ControlKind::kEdit, "", 185, 123, 142, 15},
                {kNoId, ControlKind::kStatic, "KeyStroke to fill the Startup Macro Dialog Box", 7, 128, 163, 10},
                {IDC_COSMOS_MACHINE_TYPE, ControlKind::kCheckBox, "the Mitutoyo CMM is  a CNC CMM", 7, 58, 217,
                 10},
                {IDC_COSMOS_PARTMANAGER_CLASS, ControlKind::kEdit, "", 185, 152, 142, 15},
                {kNoId, ControlKind::kStatic, "PartManager Window Class name", 7, 158, 163, 10},
                {kNoId, ControlKind::kStatic, "GEOPak Win Window Class name", 7, 176, 163, 10},
                {IDC_COSMOS_GEOPAK_CLASS, ControlKind::kEdit, "", 185, 168, 142, 15},
                {kNoId, ControlKind::kStatic,
                 "This protocol is to be used with GEOPAK-WIN V1.3R only ...\nPlease be *extremely * carefull "
                 "when changing this setting, since this may prevent the protocol to work properly",
                 7, 7, 232, 26},
                {IDC_COSMOS_EXIT_KEYS, ControlKind::kEdit, "", 185, 138, 142, 15},
                {kNoId, ControlKind::kStatic, "KeyStroke to EXIT and Close GeoPAK ", 7, 143, 163, 10},
            }};
}

}  // namespace

const std::vector<plat::DialogTemplate>& PluginDialogTemplates() {
    static const std::vector<plat::DialogTemplate> templates{GeopakSettings(), Geopak4000Settings(),
                                                             CommandInProgress(), CosmosSettings()};
    return templates;
}
