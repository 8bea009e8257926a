// The toolbox functions the protocols call: keystrokes, window look-up,
// waiting for files, registry values, locale-independent formatting and the
// message box. Each is a thin layer over the platform seam.
#include "framework/toolbox.h"

#include <cstdarg>

BOOL SendKeyString(const std::string& keys) {
    KeyParseResult parsed = ParseKeyString(keys);
    if (!parsed.ok) {
        plat::DebugOutput("SendKeyString: refused \"" + keys + "\": " + parsed.error +
                          " at offset " + std::to_string(parsed.errorOffset) + "\n");
        return FALSE;
    }
    return plat::SendKeyStrokes(parsed.keys) ? TRUE : FALSE;
}

BOOL SendKey(uint16_t virtualKey) {
    // The key itself, whatever the keyboard layout makes of it: no Shift,
    // Ctrl or Alt is added (on an AZERTY keyboard the character "2" needs
    // Shift, the key 0x32 does not).
    plat::KeyStroke key;
    key.vk = virtualKey;
    return plat::SendKeyStrokes({key}) ? TRUE : FALSE;
}

HWND GetWindowFromClass(const std::string& windowClass, int) {
    return plat::FindWindowByClass(windowClass);
}

BOOL WaitForFile(const std::string& path, DWORD ms) {
    return plat::WaitForPath(path, ms) ? TRUE : FALSE;
}

std::string GetRegistryValue(HKEY key, const std::string& name, const std::string& defaultValue) {
    std::string value;
    if (key != nullptr && key->GetString(name, value)) return value;
    return defaultValue;
}

unsigned GetRegistryValue(HKEY key, const std::string& name, unsigned defaultValue) {
    uint32_t value = 0;
    if (key != nullptr && key->GetDword(name, value)) return value;
    return defaultValue;
}

BOOL WriteRegistryValue(HKEY key, const std::string& name, const std::string& value) {
    return key != nullptr && key->SetString(name, value) ? TRUE : FALSE;
}

BOOL WriteRegistryValue(HKEY key, const std::string& name, int value) {
    return key != nullptr && key->SetDword(name, static_cast<uint32_t>(value)) ? TRUE : FALSE;
}

namespace CRT_LOCALE_INDEPENDANT {
std::string sprintf(const char* format, ...) {
    if (format == nullptr) return std::string();
    va_list args;
    va_start(args, format);
    std::string text = plat::FormatC(format, args);
    va_end(args);
    return text;
}
}  // namespace CRT_LOCALE_INDEPENDANT

int AfxMessageBox(const std::string& text, unsigned style) { return plat::MessageBox(text, style); }
