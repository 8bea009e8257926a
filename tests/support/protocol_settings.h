// A protocol's settings set and read back the way a host does it: through a
// registry key the protocol reads (ReadSettings) or fills (WriteSettings).
#pragma once

#include "framework/protocol.h"
#include "framework/regfile.h"

#include <cstdint>
#include <string>

namespace testsupport {

inline void SetSetting(_CMMProtocol& protocol, const std::string& name, uint32_t value) {
    RegFileKey key("HKEY_CURRENT_USER\\Software\\test");
    key.SetDword(name, value);
    protocol.ReadSettings(&key);
}

inline void SetSetting(_CMMProtocol& protocol, const std::string& name, const std::string& value) {
    RegFileKey key("HKEY_CURRENT_USER\\Software\\test");
    key.SetString(name, value);
    protocol.ReadSettings(&key);
}

inline std::string StringSetting(_CMMProtocol& protocol, const std::string& name) {
    RegFileKey key("HKEY_CURRENT_USER\\Software\\test");
    protocol.WriteSettings(&key);
    std::string value;
    key.GetString(name, value);
    return value;
}

inline int DwordSetting(_CMMProtocol& protocol, const std::string& name) {
    RegFileKey key("HKEY_CURRENT_USER\\Software\\test");
    protocol.WriteSettings(&key);
    uint32_t value = 0;
    key.GetDword(name, value);
    return static_cast<int>(value);
}

}  // namespace testsupport
