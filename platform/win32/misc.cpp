// Odds and ends on Windows: debugger output, C-locale formatting through a
// locale object of the runtime library, local date and time, module paths.
#include "win32_internal.h"
#include "../common/common_internal.h"

#include <clocale>
#include <cstdio>
#include <ctime>
#include <locale.h>

namespace plat {
namespace {

_locale_t CLocale() {
    static _locale_t locale = ::_create_locale(LC_ALL, "C");
    return locale;
}

}  // namespace

void common::SystemDebugOutput(const std::string& text) { ::OutputDebugStringA(text.c_str()); }

std::string FormatC(const char* format, va_list args) {
    if (format == nullptr) return std::string();
    va_list counting;
    va_copy(counting, args);
    int length = ::_vscprintf_l(format, CLocale(), counting);
    va_end(counting);
    if (length < 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    ::_vsnprintf_l(text.data(), text.size(), format, CLocale(), args);
    text.resize(static_cast<size_t>(length));
    return text;
}

std::string LocalDateTime(const char* strftimeFormat, size_t bufferSize) {
    if (strftimeFormat == nullptr || bufferSize == 0) return std::string();
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_s(&local, &now) != 0) return std::string();
    std::string text(bufferSize, '\0');
    size_t length = std::strftime(text.data(), bufferSize, strftimeFormat, &local);
    text.resize(length);
    return text;
}

unsigned long CurrentProcessId() { return ::GetCurrentProcessId(); }

namespace win32 {

std::string ModulePath(HMODULE module) {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace win32

}  // namespace plat
