// The user side of the posix half: message boxes (without a host UI: the
// text on stderr and the safe default answer) and modal dialogs, both
// presented by the installed host UI.
#include "platform/platform.h"
#include "posix_internal.h"
#include "../common/common_internal.h"

#include <cstdio>

namespace plat {
namespace {

int DefaultAnswer(unsigned style) {
    switch (style & 0xF) {
    case kMbYesNo: return kIdNo;
    case kMbYesNoCancel: return kIdCancel;
    default: return kIdOk;
    }
}

}  // namespace

int MessageBox(const std::string& text, unsigned style) {
    if (HostUI* ui = CurrentHostUI()) return ui->MessageBox(text, style);
    std::fprintf(stderr, "%s\n", text.c_str());
    return DefaultAnswer(style);
}

int RunModalDialog(int templateId, std::map<int, std::string>& values) {
    const DialogTemplate* dialog = common::LookUpTemplate(templateId);
    HostUI* ui = CurrentHostUI();
    if (dialog == nullptr || ui == nullptr) return -1;
    return ui->RunModal(*dialog, values);
}

}  // namespace plat
