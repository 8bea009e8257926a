// libFuzzer target: the key-string parser. Any text parses or is refused
// with an offset inside it; an accepted string stays within the key budget
// and every key's canonical text is well formed.
#include "framework/toolbox.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    KeyParseResult result = ParseKeyString(text);
    if (!result.ok) {
        if (result.error.empty() || result.errorOffset > text.size() || !result.keys.empty()) std::abort();
        return 0;
    }
    if (result.keys.size() > 65536) std::abort();
    for (const plat::KeyStroke& key : result.keys)
        if (plat::KeyStrokeText(key).empty()) std::abort();
    return 0;
}
