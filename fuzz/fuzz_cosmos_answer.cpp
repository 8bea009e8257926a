// libFuzzer target: the COSMOS answer as the plug-in takes it, a GEO_ZOR.DAT
// in a private exchange folder read by the answer wait, with hostile names,
// values, line ends, lengths and bytes. Checks that the result is one of
// 0/1/2/3, the file is consumed and its backup written, the map stays
// consistent, and what the plug-in would write back reads again to the same
// names and (within the written precision) the same values.
//
// A byte 0x7F repeats the byte before it 8191 more times (while the text is
// shorter than the reader's 64 KiB piece), so lines around that size are
// reachable from short inputs. (Not 0xFF: the fuzzer inserts runs of that
// byte so often that most inputs would grow to 64 KiB and run slowly.)
#include "cosmos/cosmos_exchange.h"
#include "cosmos/parameter_map.h"
#include "fuzz_drive.h"
#include "platform/platform.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

const std::string kAnswer = "C:\\GEO_ZOR.DAT";
const std::string kMessage = "C:\\REMOTE.MSG";

std::string Expand(const uint8_t* data, size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0x7F && !text.empty() && text.size() < kMaxAnswerLine) text.append(8191, text.back());
        else text += static_cast<char>(data[i]);
    }
    return text;
}


int TakeAnswer(ParameterMap& map, const std::string& bytes) {
    std::ofstream(plat::NativePath(kAnswer), std::ios::binary | std::ios::trunc) << bytes;
    const int result = AwaitCosmosAnswer(map, kAnswer, kMessage, nullptr, 0, 0);
    if (plat::PathExists(kAnswer) || !plat::PathExists(kAnswer + ".bck")) std::abort();
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzDrive drive("fuzz-cosmos-answer");
    ParameterMap map;
    const int result = TakeAnswer(map, Expand(data, size));
    // 0/1/2 from "Error", or 3 when a value a point is built from is not a number.
    if (result < 0 || result > cosmos_result::kNotANumber) std::abort();

    size_t visited = 0;
    for (const ParameterMap::Entry& entry : map) {
        ++visited;
        if (entry.first.empty() || entry.first.find('=') != std::string::npos) std::abort();
        if (entry.first.find('\n') != std::string::npos || !std::isfinite(entry.second)) std::abort();
    }
    if (visited != map.GetCount()) std::abort();

    // Written back, every line the reader can take again comes back.
    ParameterMap again;
    TakeAnswer(again, FormatParameterText(map));
    size_t readable = 0;
    for (const ParameterMap::Entry& entry : map) {
        if (FormatParameterLine(entry.first, entry.second).size() > kMaxAnswerLine) continue;
        ++readable;
        double value = 0.0;
        if (!again.Lookup(entry.first, value)) std::abort();
        if (std::fabs(value - entry.second) > 0.0005 + std::fabs(entry.second) * 1e-15) std::abort();
    }
    if (again.GetCount() != readable) std::abort();
    return 0;
}
