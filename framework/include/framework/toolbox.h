// Toolbox functions the protocols rely on: keystrokes in the SendKeyString
// notation, window look-up by class, waiting for a file, registry values and
// locale-independent formatting.
#pragma once

#include "framework/types.h"

#include <string>
#include <vector>

// Parses the SendKeyString notation: "%" is Alt with the next key, "^" Ctrl,
// "+" Shift; "{TAB}", "{DOWN}", "{ENTER}", "{ESC}", "{F1}".."{F12}" and the
// other names in braces name keys; "{%}" types a literal sign; "{TAB 3}"
// repeats. Anything else types itself.
struct KeyParseResult {
    bool ok = false;
    std::vector<plat::KeyStroke> keys;
    std::string error;      // what is wrong, for the user
    size_t errorOffset = 0; // where in the text
};
KeyParseResult ParseKeyString(const std::string& keys);

// Types keys into the foreground window. A malformed string is refused as a
// whole (nothing is typed), reported to the debugger output, and gives FALSE.
BOOL SendKeyString(const std::string& keys);
// One stroke (down, up) of the virtual key, with no modifier.
BOOL SendKey(uint16_t virtualKey);

// A top-level window of the class, or 0. The second argument is unused.
HWND GetWindowFromClass(const std::string& windowClass, int unused);

// Non-zero once the file exists, zero when ms elapse first. Change
// notification: no more than about a millisecond later than the file.
BOOL WaitForFile(const std::string& path, DWORD ms);

// The stored value, else the default.
std::string GetRegistryValue(HKEY key, const std::string& name, const std::string& defaultValue);
unsigned GetRegistryValue(HKEY key, const std::string& name, unsigned defaultValue);
BOOL WriteRegistryValue(HKEY key, const std::string& name, const std::string& value);
BOOL WriteRegistryValue(HKEY key, const std::string& name, int value);

namespace CRT_LOCALE_INDEPENDANT {
// sprintf with "." as decimal point in any locale. The result grows as
// needed: nothing is ever cut.
std::string sprintf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
}  // namespace CRT_LOCALE_INDEPENDANT
