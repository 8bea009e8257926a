// The host UI the protocols' message boxes and dialogs go to, and the
// registry of resource modules with their dialog templates, shared by both
// halves: which module's templates a dialog gets must not depend on the OS.
#include "common_internal.h"

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

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

}  // namespace

void SetHostUI(HostUI* ui) { InstalledUI().store(ui); }
HostUI* CurrentHostUI() { return InstalledUI().load(); }

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
    std::erase_if(resources.modules, [&](const auto& entry) { return entry.first == module; });
    if (templates != nullptr) resources.modules.emplace_back(module, templates);
}

const DialogTemplate* FindTemplate(ModuleHandle module, int templateId) {
    Resources& resources = TheResources();
    std::lock_guard<std::mutex> guard(resources.lock);
    for (const auto& [owner, templates] : resources.modules) {
        if (owner == module) return FindIn(templates, templateId);
    }
    return nullptr;
}

const DialogTemplate* common::LookUpTemplate(int templateId) {
    if (const DialogTemplate* own = FindTemplate(ResourceModule(), templateId)) return own;
    Resources& resources = TheResources();
    std::lock_guard<std::mutex> guard(resources.lock);
    for (const auto& entry : resources.modules) {
        if (const DialogTemplate* found = FindIn(entry.second, templateId)) return found;
    }
    return nullptr;
}

}  // namespace plat
