// Comparing names the way Windows does for registry values, key paths and
// key names: ASCII letters match whatever their case; every other byte must
// be the same.
#pragma once

#include <cctype>
#include <string_view>

inline bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}
