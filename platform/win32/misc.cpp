// Odds and ends on Windows: debugger output, C-locale formatting through a
// locale object of the runtime library, local date and time, modules.
#include "win32_internal.h"

#include <clocale>
#include <cstdio>
#include <ctime>
#include <locale.h>
#include <mutex>

namespace plat {
namespace {

struct DebugHook {
    std::mutex lock;
    std::function<void(const std::string&)> hook;
};

DebugHook& TheHook() {
    static DebugHook hook;
    return hook;
}

_locale_t CLocale() {
    static _locale_t locale = ::_create_locale(LC_ALL, "C");
    return locale;
}

}  // namespace

void DebugOutput(const std::string& text) {
    ::OutputDebugStringA(text.c_str());
    DebugHook& hook = TheHook();
    std::function<void(const std::string&)> copy;
    {
        std::lock_guard<std::mutex> guard(hook.lock);
        copy = hook.hook;
    }
    if (copy) copy(text);
}

void SetDebugOutputHook(std::function<void(const std::string&)> hook) {
    DebugHook& debug = TheHook();
    std::lock_guard<std::mutex> guard(debug.lock);
    debug.hook = std::move(hook);
}

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

void* LoadModule(const std::string& nativePath, std::string& error) {
    HMODULE module = ::LoadLibraryA(nativePath.c_str());
    if (module == nullptr) error = "LoadLibrary failed for " + nativePath + " (error " + std::to_string(::GetLastError()) + ")";
    return reinterpret_cast<void*>(module);
}

void UnloadModule(void* module) {
    if (module != nullptr) ::FreeLibrary(static_cast<HMODULE>(module));
}

}  // namespace plat
