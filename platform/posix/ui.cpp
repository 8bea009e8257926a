// The user side of the posix half: the installed host UI, message boxes
// (without a UI: the text on stderr and the safe default answer), the
// resource modules that carry dialog templates, and modal dialogs.
#include "platform/platform.h"
#include "posix_internal.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace plat {
namespace {

std::atomic<HostUI*>& InstalledUI() {
    static std::atomic<HostUI*> ui{nullptr};
    return ui;
}

struct Resources {
    std::mutex lock;
    ModuleHandle current = nullptr;
    // In registration order, which is the order a template is looked for in
    // when the current module lacks it.
    std::vector<std::pair<ModuleHandle, const std::vector<DialogTemplate>*>> modules;
};

Resources& TheResources() {
    static Resources resources;
    return resources;
}

const DialogTemplate* FindIn(const std::vector<DialogTemplate>* templates, int templateId) {
    if (templates == nullptr) return nullptr;
    for (const DialogTemplate& dialog : *templates) {
        if (dialog.id == templateId) return &dialog;
    }
    return nullptr;
}

int DefaultAnswer(unsigned style) {
    switch (style & 0xF) {
    case kMbYesNo: return kIdNo;
    case kMbYesNoCancel: return kIdCancel;
    default: return kIdOk;
    }
}

}  // namespace

void SetHostUI(HostUI* ui) { InstalledUI().store(ui); }
HostUI* CurrentHostUI() { return InstalledUI().load(); }

int MessageBox(const std::string& text, unsigned style) {
    if (HostUI* ui = CurrentHostUI()) return ui->MessageBox(text, style);
    std::fprintf(stderr, "%s\n", text.c_str());
    return DefaultAnswer(style);
}

void SetResourceModule(ModuleHandle module) {
    Resources& resources = TheResources();
    std::lock_guard<std::mutex> guard(resources.lock);
    resources.current = module;
}

ModuleHandle ResourceModule() {
    Resources& resources = TheResources();
    std::lock_guard<std::mutex> guard(resources.lock);
    return resources.current;
}

void RegisterTemplates(ModuleHandle module, const std::vector<DialogTemplate>* templates) {
    Resources& resources = TheResources();
    std::lock_guard<std::mutex> guard(resources.lock);
    auto& modules = resources.modules;
    std::erase_if(modules, [&](const auto& entry) { return entry.first == module; });
    if (templates != nullptr) modules.emplace_back(module, templates);
}

const DialogTemplate* FindTemplate(ModuleHandle module, int templateId) {
    Resources& resources = TheResources();
    std::lock_guard<std::mutex> guard(resources.lock);
    for (const auto& [owner, templates] : resources.modules) {
        if (owner == module) return FindIn(templates, templateId);
    }
    return nullptr;
}

namespace posix {

// The current module's template, else the first registered module's that has it.
const DialogTemplate* LookUpTemplate(int templateId) {
    if (const DialogTemplate* own = FindTemplate(ResourceModule(), templateId)) return own;
    Resources& resources = TheResources();
    std::lock_guard<std::mutex> guard(resources.lock);
    for (const auto& entry : resources.modules) {
        if (const DialogTemplate* found = FindIn(entry.second, templateId)) return found;
    }
    return nullptr;
}

}  // namespace posix

int RunModalDialog(int templateId, std::map<int, std::string>& values) {
    const DialogTemplate* dialog = posix::LookUpTemplate(templateId);
    HostUI* ui = CurrentHostUI();
    if (dialog == nullptr || ui == nullptr) return -1;
    return ui->RunModal(*dialog, values);
}

}  // namespace plat
