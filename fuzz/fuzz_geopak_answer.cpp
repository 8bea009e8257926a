// Fuzzes the reader of the GEOPAK answer file: any text either yields a whole
// answer with finite values and cosines within [-1, 1], or is rejected.
#include "geopak/geopak_command.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<GeopakAnswer> answer = ParseGeopakAnswerText(text);
    if (!answer) return 0;
    const double values[] = {answer->x, answer->y, answer->z};
    for (double v : values)
        if (!std::isfinite(v)) std::abort();
    const double cosines[] = {answer->cx, answer->cy, answer->cz};
    for (double c : cosines)
        if (!(c >= -1.0 && c <= 1.0)) std::abort();
    return 0;
}
