// The process-wide list of announced protocols: ProtocolRegister records
// add themselves while a plug-in loads and take themselves out when it
// unloads; the host lists them in order and creates protocols by name.
#include "framework/protocol.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct Entry {
    const ProtocolRegister* owner;
    RegisteredProtocol protocol;
};

struct Registry {
    std::mutex lock;
    std::vector<Entry> entries;
};

// Created on first use and never destroyed: plug-in records may be torn down
// after this library's own statics at process exit.
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

}  // namespace

ProtocolRegister::ProtocolRegister(const char* displayName, CRuntimeClass* runtimeClass) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    registry.entries.push_back({this, {displayName ? displayName : "", runtimeClass}});
}

ProtocolRegister::~ProtocolRegister() {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    auto& entries = registry.entries;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [this](const Entry& e) { return e.owner == this; }),
                  entries.end());
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
