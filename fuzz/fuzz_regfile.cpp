// libFuzzer target: the .reg reader. Any text either loads or throws
// RegFileError; what loads must write back text that loads to the same
// values (the writer never produces a file its own reader refuses).
#include "framework/regfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    RegFileKey key("HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\Mitutoyo - COSMOS1.3");
    try {
        key.FromText(text, "fuzz.reg");
    } catch (const RegFileError&) {
        return 0;
    }
    RegFileKey again("HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\Mitutoyo - COSMOS1.3");
    try {
        again.FromText(key.ToText(), "rewritten.reg");
    } catch (const RegFileError&) {
        std::abort();
    }
    if (again.ToText() != key.ToText() || again.Values().size() != key.Values().size()) std::abort();
    return 0;
}
