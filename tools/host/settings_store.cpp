// The two settings stores of cmmhost: a .reg file loaded whole and saved
// atomically, and a key of the system registry written value by value.
#include "settings_store.h"

#include "plugin_loader.h"

#include <cctype>
#include <cstdio>

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

bool StoreCommand::Parse(int argc, char** argv, size_t words, bool takesSet) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool more = i + 1 < argc;
        if (TakeStoreOption(argc, argv, i, m_choice)) continue;
        if (arg == "--plugin" && more) m_plugin = argv[++i];
        else if (arg == "--set" && more && takesSet) m_sets.push_back(argv[++i]);
        else if (arg.rfind("--", 0) == 0 || m_words.size() == words) return false;
        else m_words.push_back(arg);
    }
    return m_words.size() == words && StoreChosen(m_choice);
}

namespace {

bool Failed(const std::string& what) {
    std::fprintf(stderr, "cmmhost: %s\n", what.c_str());
    return false;
}

}  // namespace

bool StoreCommand::CreateProtocol() {
    std::string error;
    if (!LoadPlugin(m_plugin, error)) return Failed(error);
    m_protocol.reset(::CreateProtocol(DisplayName()));
    return m_protocol ? true : Failed("no protocol named \"" + DisplayName() + "\" (see cmmhost protocols)");
}

bool StoreCommand::OpenStore(bool forWriting) {
    std::string error;
    m_store = SettingsStore::Open(m_choice, DisplayName(), error, forWriting);
    if (!m_store) return Failed(error);
    m_protocol->ReadSettings(&m_store->Key());
    return true;
}

int StoreCommand::WriteAndSave() {
    m_protocol->WriteSettings(&m_store->Key());
    try {
        m_store->Save();
    } catch (const RegFileError& e) {
        Failed(e.what());
        return 1;
    }
    std::printf("wrote the settings to %s\n", m_store->Name().c_str());
    return 0;
}
