// The process-wide lists of announced protocols and of their settings
// descriptions: ProtocolRegister and SettingsRegister records add themselves
// while a plug-in loads and take themselves out when it unloads; the host
// lists protocols in order, creates them by name and reads their settings.
#include "framework/protocol.h"
#include "framework/settings.h"
#include "framework/text.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct Entry {
    const ProtocolRegister* owner;
    RegisteredProtocol protocol;
};

struct SettingsEntry {
    const SettingsRegister* owner;
    std::string displayName;
    std::vector<SettingInfo> settings;
};

struct Registry {
    std::mutex lock;
    std::vector<Entry> entries;
    std::vector<SettingsEntry> settings;
};

// Created on first use and never destroyed: plug-in records may be torn down
// after this library's own statics at process exit.
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

template <class Record>
void Add(std::vector<Record> Registry::*list, Record record) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    (registry.*list).push_back(std::move(record));
}

template <class Record>
void Remove(std::vector<Record> Registry::*list, const void* owner) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    std::erase_if(registry.*list, [owner](const Record& r) { return r.owner == owner; });
}

}  // namespace

ProtocolRegister::ProtocolRegister(const char* displayName, CRuntimeClass* runtimeClass) {
    Add(&Registry::entries, Entry{this, {displayName ? displayName : "", runtimeClass}});
}

ProtocolRegister::~ProtocolRegister() { Remove(&Registry::entries, this); }

SettingsRegister::SettingsRegister(const char* displayName, std::vector<SettingInfo> settings) {
    Add(&Registry::settings, SettingsEntry{this, displayName ? displayName : "", std::move(settings)});
}

SettingsRegister::~SettingsRegister() { Remove(&Registry::settings, this); }

std::vector<SettingInfo> RegisteredSettings(const std::string& displayName) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    for (const SettingsEntry& e : registry.settings)
        if (e.displayName == displayName) return e.settings;
    return {};
}

const SettingInfo* FindSetting(const std::vector<SettingInfo>& settings, const std::string& valueName) {
    for (const SettingInfo& row : settings)
        if (EqualNoCase(valueName, row.valueName)) return &row;
    return nullptr;
}

std::vector<RegisteredProtocol> RegisteredProtocols() {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    std::vector<RegisteredProtocol> result;
    result.reserve(registry.entries.size());
    for (const Entry& e : registry.entries) result.push_back(e.protocol);
    return result;
}

CMMProtocolWithThread* CreateProtocol(const std::string& displayName) {
    // Looked up outside the lock: a constructor may itself list protocols.
    CRuntimeClass* runtimeClass = nullptr;
    for (const RegisteredProtocol& p : RegisteredProtocols()) {
        if (p.displayName == displayName) {
            runtimeClass = p.runtimeClass;
            break;
        }
    }
    if (runtimeClass == nullptr ||
        !runtimeClass->IsDerivedFrom(CMMProtocolWithThread::GetThisClass())) {
        return nullptr;
    }
    CObject* object = runtimeClass->CreateObject();
    auto* protocol = dynamic_cast<CMMProtocolWithThread*>(object);
    if (protocol == nullptr) delete object;
    return protocol;
}
