// libFuzzer target: the I++ DME 1.4 line parser and the engine behind it.
// Any line parses or is refused with a known error number and an offset
// inside it; fed to an engine, every line gets its answer and the engine's
// own lines stay well formed (tag, space, kind).
#include "ipp_engine.h"
#include "ipp_errors.h"
#include "ipp_line.h"
#include "tests/ipp/fake_machine.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void CheckResponse(const std::string& line) {
    if (line.size() < 7 || line[5] != ' ') std::abort();
    if (!ipp::IsTag(line.substr(0, 5)) && !ipp::IsETag(line.substr(0, 5)) && line.compare(0, 5, "E0000") != 0)
        std::abort();
    const char kind = line[6];
    if (kind != '&' && kind != '%' && kind != '#' && kind != '!') std::abort();
    for (char c : line)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ipp::LineParse p = ipp::ParseLine(text);
    if (!p.ok && (!ipp::FindError(p.error) || p.offset > text.size())) std::abort();
    if (p.ok && (p.command.tag != text.substr(0, 5) || p.command.method.empty())) std::abort();

    // A session, then the input split at line ends as a connection would.
    FakeMachine machine;  // answers at once, never holds a probe
    ipp::Engine engine(machine, ipp::ToolTable(), [] { return 0.0; });
    engine.Attach(CheckResponse);
    engine.Receive("00001 StartSession()");
    engine.Receive("00002 Home()");
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\n') continue;
        engine.Receive(text.substr(start, i - start));
        start = i + 1;
        while (engine.ExecuteOne(0)) continue;
    }
    engine.OnPosition({1, 2, 3});
    return 0;
}
