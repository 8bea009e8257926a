// Where cmmhost keeps a protocol's settings: a .reg file
// (--store FILE) or the system registry (--registry), under the protocol's
// key or the one --key names. The commands see one plat::RegistryKey either
// way; only saving and listing differ.
#pragma once

#include "framework/protocol.h"
#include "framework/regfile.h"

#include <memory>
#include <string>
#include <vector>

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

// What `settings` and `configure` share: their command line, the protocol
// created by display name with its settings read from the store, and the
// settings written back. Each step that fails prints its reason (the exit
// code is the caller's).
class StoreCommand {
public:
    // `words` positional words (the display name last), the store options,
    // --plugin PATH and, with takesSet, any number of --set NAME=VALUE. False
    // for anything else, a word too many or too few, or not exactly one store.
    bool Parse(int argc, char** argv, size_t words, bool takesSet);
    const std::vector<std::string>& Words() const { return m_words; }
    const std::string& DisplayName() const { return m_words.back(); }
    const std::vector<std::string>& Sets() const { return m_sets; }

    // Loads the plug-in and creates the protocol.
    bool CreateProtocol();
    // Opens the store and lets the protocol read its settings from it.
    bool OpenStore(bool forWriting);
    // Has the protocol write its settings into the store and saves it: 0, or 1 on failure.
    int WriteAndSave();

    CMMProtocolWithThread& Protocol() { return *m_protocol; }
    SettingsStore& Store() { return *m_store; }

private:
    std::vector<std::string> m_words, m_sets;
    std::string m_plugin;
    StoreChoice m_choice;
    std::unique_ptr<CMMProtocolWithThread> m_protocol;
    std::unique_ptr<SettingsStore> m_store;
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
