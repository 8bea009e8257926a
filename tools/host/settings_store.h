// Where cmmhost keeps a protocol's settings: a .reg file
// (--store FILE) or the system registry (--registry), under the protocol's
// key or the one --key names. The commands see one plat::RegistryKey either
// way; only saving and listing differ.
#pragma once

#include "framework/regfile.h"

#include <memory>
#include <string>

struct StoreChoice {
    std::string file;       // --store FILE
    bool registry = false;  // --registry
    std::string key;        // --key PATH; empty: the protocol's default key
};

// Takes --store FILE, --registry or --key PATH at argv[i], moving i past a
// value. False when argv[i] is none of them (or lacks its value).
bool TakeStoreOption(int argc, char** argv, int& i, StoreChoice& choice);
// Exactly one of --store and --registry was given.
bool StoreChosen(const StoreChoice& choice);

class SettingsStore {
public:
    // Loads the .reg file or opens (creates) the registry key; nullptr with a
    // message for the user when neither can be had. forWriting: a file that
    // could not be saved (read-only) is refused now, before anything is asked.
    static std::unique_ptr<SettingsStore> Open(const StoreChoice& choice, const std::string& displayName,
                                               std::string& error, bool forWriting = false);
    virtual ~SettingsStore() = default;

    virtual plat::RegistryKey& Key() = 0;
    // What a listing starts from before the protocol writes its own values:
    // the file's whole key, or nothing for the registry, which the seam does
    // not enumerate.
    virtual RegFileKey Listing() const = 0;
    // Makes the writes lasting: the file is saved atomically (RegFileError on
    // failure); registry writes are lasting already.
    virtual void Save() = 0;
    // The file, or the registry key's full name, for messages.
    virtual std::string Name() const = 0;
};

// Settings changed for one run only: reads see the changes first, then the
// store; writes stay here. A script's configure lines must not outlive the
// run in the registry any more than in a .reg file, which run never saves.
class ScratchKey : public plat::RegistryKey {
public:
    explicit ScratchKey(const plat::RegistryKey& base) : m_base(base), m_changes("scratch") {}
    bool GetString(const std::string& name, std::string& value) const override {
        return m_changes.GetString(name, value) || m_base.GetString(name, value);
    }
    bool GetDword(const std::string& name, uint32_t& value) const override {
        return m_changes.GetDword(name, value) || m_base.GetDword(name, value);
    }
    bool SetString(const std::string& name, const std::string& value) override {
        return m_changes.SetString(name, value);
    }
    bool SetDword(const std::string& name, uint32_t value) override { return m_changes.SetDword(name, value); }

private:
    const plat::RegistryKey& m_base;
    RegFileKey m_changes;
};
