// libFuzzer target: the COSMOS answer parser and merge, fed hostile names,
// values, line lengths and bytes. Checks that the map stays consistent, the
// result is one of 0/1/2, and what the plug-in would write back parses to
// the same names and (within the written precision) the same values.
#include "cosmos/cosmos_exchange.h"
#include "cosmos/parameter_map.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ParameterMap map;
    MergeAnswerText(map, text);

    size_t visited = 0;
    for (const ParameterMap::Entry& entry : map) {
        ++visited;
        if (entry.first.empty() || entry.first.find('=') != std::string::npos) std::abort();
        if (!std::isfinite(entry.second)) std::abort();
    }
    if (visited != map.GetCount()) std::abort();

    ParameterMap again;
    MergeAnswerText(again, FormatParameterText(map));
    if (again.GetCount() != map.GetCount()) std::abort();
    for (const ParameterMap::Entry& entry : map) {
        double value = 0.0;
        if (!again.Lookup(entry.first, value)) std::abort();
        if (std::fabs(value - entry.second) > 0.0005 + std::fabs(entry.second) * 1e-15) std::abort();
    }

    const int result = AnswerResult(map);
    if (result < 0 || result > 2) std::abort();
    return 0;
}
