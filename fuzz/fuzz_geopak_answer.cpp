// Fuzzes the GEOPAK answer as the plug-in takes it: the input is written as
// GEO_OUT.DAT in a private exchange folder and read by the protocol's own
// reader through the file. Any text either yields a whole answer with finite
// values and cosines within [-1, 1], or is rejected.
#include "fuzz_drive.h"
#include "geopak/geopak_command.h"
#include "platform/platform.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

const std::string kAnswer = "C:\\GEO_OUT.DAT";

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzDrive drive("fuzz-geopak-answer");
    std::ofstream(drive.folder / "GEO_OUT.DAT", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    plat::File file;
    if (!file.Open(kAnswer, plat::kFileRead | plat::kFileText | plat::kShareDenyWrite)) std::abort();
    const std::optional<GeopakAnswer> answer = ReadGeopakAnswer(file);
    file.Close();
    if (!answer) return 0;
    for (double v : {answer->x, answer->y, answer->z})
        if (!std::isfinite(v)) std::abort();
    for (double c : {answer->cx, answer->cy, answer->cz})
        if (!(c >= -1.0 && c <= 1.0)) std::abort();
    return 0;
}
