// The system registry on Windows: a key under HKEY_CURRENT_USER, opened
// (created when missing) for reading and writing string and DWORD values.
#include "win32_internal.h"

namespace plat {
namespace {

class Win32RegistryKey : public RegistryKey {
public:
    explicit Win32RegistryKey(HKEY key) : m_key(key) {}
    ~Win32RegistryKey() override { ::RegCloseKey(m_key); }
    Win32RegistryKey(const Win32RegistryKey&) = delete;
    Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

    bool GetString(const std::string& name, std::string& value) const override {
        DWORD type = 0, size = 0;
        if (::RegQueryValueExA(m_key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
        std::string bytes(size, '\0');
        if (::RegQueryValueExA(m_key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size) !=
            ERROR_SUCCESS)
            return false;
        bytes.resize(size);
        // Stored strings normally end in NUL; one that does not is taken whole.
        size_t end = bytes.find('\0');
        value = bytes.substr(0, end);
        return true;
    }

    bool GetDword(const std::string& name, uint32_t& value) const override {
        DWORD type = 0, data = 0, size = sizeof data;
        if (::RegQueryValueExA(m_key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof data)
            return false;
        value = data;
        return true;
    }

    bool SetString(const std::string& name, const std::string& value) override {
        return ::RegSetValueExA(m_key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    }

    bool SetDword(const std::string& name, uint32_t value) override {
        DWORD data = value;
        return ::RegSetValueExA(m_key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                sizeof data) == ERROR_SUCCESS;
    }

private:
    HKEY m_key;
};

}  // namespace

std::unique_ptr<RegistryKey> OpenSystemRegistryKey(const std::string& path) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<Win32RegistryKey>(key);
}

}  // namespace plat
