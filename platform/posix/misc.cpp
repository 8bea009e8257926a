// Diagnostics and small runtime services of the posix half: debugger output
// (on request, to stderr), "C"-locale formatting whatever the process locale,
// local date and time, the process id.
#include "platform/platform.h"
#include "../common/common_internal.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <locale.h>
#include <unistd.h>

namespace plat {
namespace {

locale_t CLocale() {
    static locale_t locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// Switches the calling thread to the "C" locale for its lifetime.
class CLocaleScope {
public:
    CLocaleScope() : previous_(CLocale() != nullptr ? ::uselocale(CLocale()) : nullptr) {}
    ~CLocaleScope() {
        if (previous_ != nullptr) ::uselocale(previous_);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_;
};

}  // namespace

void common::SystemDebugOutput(const std::string& text) {
    if (std::getenv("CMM_DEBUG_OUTPUT") == nullptr) return;
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

std::string FormatC(const char* format, va_list args) {
    if (format == nullptr) return {};
    CLocaleScope scope;
    std::string result(256, '\0');
    for (;;) {
        va_list attempt;
        va_copy(attempt, args);
        int needed = std::vsnprintf(result.data(), result.size(), format, attempt);
        va_end(attempt);
        if (needed < 0) return {};
        if (static_cast<size_t>(needed) < result.size()) {
            result.resize(static_cast<size_t>(needed));
            return result;
        }
        result.assign(static_cast<size_t>(needed) + 1, '\0');
    }
}

std::string LocalDateTime(const char* strftimeFormat, size_t bufferSize) {
    if (strftimeFormat == nullptr || bufferSize == 0) return {};
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) return {};
    std::string buffer(bufferSize, '\0');
    size_t length = std::strftime(buffer.data(), bufferSize, strftimeFormat, &local);
    buffer.resize(length);
    return buffer;
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

}  // namespace plat
