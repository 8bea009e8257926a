// The two settings stores of cmmhost: a .reg file loaded whole and saved
// atomically, and a key of the system registry written value by value.
#include "settings_store.h"

#include "plugin_loader.h"

#include <cctype>

namespace {

class FileStore : public SettingsStore {
public:
    FileStore(std::string file, const std::string& keyPath) : m_file(std::move(file)), m_key(keyPath) {}
    void Load() { m_key.Load(m_file); }
    plat::RegistryKey& Key() override { return m_key; }
    RegFileKey Listing() const override { return m_key; }
    void Save() override { m_key.Save(m_file); }
    std::string Name() const override { return m_file; }

private:
    std::string m_file;
    RegFileKey m_key;
};

class RegistryStore : public SettingsStore {
public:
    RegistryStore(std::unique_ptr<plat::RegistryKey> key, std::string fullPath)
        : m_key(std::move(key)), m_fullPath(std::move(fullPath)) {}
    plat::RegistryKey& Key() override { return *m_key; }
    RegFileKey Listing() const override { return RegFileKey(m_fullPath); }
    void Save() override {}
    std::string Name() const override { return m_fullPath; }

private:
    std::unique_ptr<plat::RegistryKey> m_key;
    std::string m_fullPath;
};

const char kUserRoot[] = "HKEY_CURRENT_USER\\";

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// The key below HKEY_CURRENT_USER, the one root a user may write without
// rights granted; false for a path under any other root.
bool UserSubkey(const std::string& path, std::string& subkey) {
    for (const std::string& root : {std::string(kUserRoot), std::string("HKCU\\")}) {
        if (StartsWithNoCase(path, root)) {
            subkey = path.substr(root.size());
            return !subkey.empty();
        }
    }
    subkey = path;
    return !StartsWithNoCase(path, "HKEY_") && !StartsWithNoCase(path, "HKLM\\") && !path.empty();
}

std::unique_ptr<SettingsStore> OpenRegistry(const std::string& keyPath, std::string& error) {
    std::string subkey;
    if (!UserSubkey(keyPath, subkey)) {
        error = "the registry store lives under HKEY_CURRENT_USER, not in " + keyPath;
        return nullptr;
    }
    std::unique_ptr<plat::RegistryKey> key = plat::OpenSystemRegistryKey(subkey);
    if (key) return std::make_unique<RegistryStore>(std::move(key), kUserRoot + subkey);
    // Opening the user root itself fails only where there is no registry at all.
    error = plat::OpenSystemRegistryKey("") ? "cannot open or create " + (kUserRoot + subkey) + " in the registry"
                                            : std::string("this system has no registry (use --store FILE)");
    return nullptr;
}

}  // namespace

bool TakeStoreOption(int argc, char** argv, int& i, StoreChoice& choice) {
    const std::string arg = argv[i];
    if (arg == "--registry") {
        choice.registry = true;
        return true;
    }
    if (i + 1 >= argc) return false;
    if (arg == "--store") choice.file = argv[++i];
    else if (arg == "--key") choice.key = argv[++i];
    else return false;
    return true;
}

bool StoreChosen(const StoreChoice& choice) { return choice.registry != !choice.file.empty(); }

std::unique_ptr<SettingsStore> SettingsStore::Open(const StoreChoice& choice, const std::string& displayName,
                                                   std::string& error, bool forWriting) {
    const std::string keyPath = choice.key.empty() ? DefaultKeyPath(displayName) : choice.key;
    if (choice.registry) return OpenRegistry(keyPath, error);
    auto store = std::make_unique<FileStore>(choice.file, keyPath);
    try {
        store->Load();
        if (forWriting) RegFileKey::CheckWritable(choice.file);
    } catch (const RegFileError& e) {
        error = e.what();
        return nullptr;
    }
    return store;
}
