// The process-wide list of settings descriptions, kept like the list of
// protocols: records add theirs while a plug-in loads and take them out
// when it unloads.
#include "framework/settings.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

namespace {

struct Entry {
    const SettingsRegister* owner;
    std::string displayName;
    std::vector<SettingInfo> settings;
};

struct Registry {
    std::mutex lock;
    std::vector<Entry> entries;
};

// Never destroyed: plug-in records may be torn down after this library's statics.
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

bool SameNameNoCase(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    return std::equal(a.begin(), a.end(), b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

SettingsRegister::SettingsRegister(const char* displayName, std::vector<SettingInfo> settings) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    registry.entries.push_back({this, displayName ? displayName : "", std::move(settings)});
}

SettingsRegister::~SettingsRegister() {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    std::erase_if(registry.entries, [this](const Entry& e) { return e.owner == this; });
}

std::vector<SettingInfo> RegisteredSettings(const std::string& displayName) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    for (const Entry& e : registry.entries)
        if (e.displayName == displayName) return e.settings;
    return {};
}

const SettingInfo* FindSetting(const std::vector<SettingInfo>& settings, const std::string& valueName) {
    for (const SettingInfo& row : settings)
        if (SameNameNoCase(valueName, row.valueName)) return &row;
    return nullptr;
}
