// A protocol's settings set and read back the way a host does it: through a
// registry key the protocol reads (ReadSettings) or fills (WriteSettings).
#pragma once

#include "framework/protocol.h"
#include "framework/regfile.h"
#include "framework/toolbox.h"

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

// A value as WriteSettings stores it; fallback where it stores none.
template <class T>
T StoredSetting(_CMMProtocol& protocol, const std::string& name, const T& fallback) {
    RegFileKey key = StoredSettings(protocol);
    return GetRegistryValue(&key, name, fallback);
}

}  // namespace testsupport
