// A protocol's settings set and read back the way a host does it: through a
// registry key the protocol reads (ReadSettings) or fills (WriteSettings).
#pragma once

#include "framework/protocol.h"
#include "framework/regfile.h"

#include <cstdint>
#include <string>
#include <type_traits>

namespace testsupport {

template <class T>
void SetSetting(_CMMProtocol& protocol, const std::string& name, const T& value) {
    RegFileKey key("HKEY_CURRENT_USER\\Software\\test");
    if constexpr (std::is_arithmetic_v<T>) key.SetDword(name, static_cast<uint32_t>(value));
    else key.SetString(name, value);
    protocol.ReadSettings(&key);
}

inline RegFileKey StoredSettings(_CMMProtocol& protocol) {
    RegFileKey key("HKEY_CURRENT_USER\\Software\\test");
    protocol.WriteSettings(&key);
    return key;
}

inline std::string StringSetting(_CMMProtocol& protocol, const std::string& name) {
    std::string value;
    StoredSettings(protocol).GetString(name, value);
    return value;
}

inline int DwordSetting(_CMMProtocol& protocol, const std::string& name) {
    uint32_t value = 0;
    StoredSettings(protocol).GetDword(name, value);
    return static_cast<int>(value);
}

}  // namespace testsupport
