// Formatting of "GEO_IN.DAT" and parsing of "GEO_OUT.DAT". Numbers go out
// with "." as decimal point in any locale; numbers come in parsed the same
// way, bounded and without ever leaving a value undefined.
#include "geopak/geopak_command.h"

#include "framework/toolbox.h"

#include <charconv>
#include <cmath>

std::string FormatCodeLine(const GeopakCommand& command) {
    return CRT_LOCALE_INDEPENDANT::sprintf("%d\n", static_cast<int>(command.code));
}

std::string FormatTriple(double a, double b, double c) {
    return CRT_LOCALE_INDEPENDANT::sprintf("%12.6lf\n%12.6lf\n%12.6lf\n", a, b, c);
}

namespace {

bool IsScanfSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// cos of an angle in degrees; the module computes atan(1) once at load time.
double DirectionCosine(double degrees) { return std::cos(degrees / 45.0 * GeopakQuarterPi()); }

}  // namespace

bool ParseAnswerNumber(std::string_view text, double& value) {
    if (text.size() > kAnswerLineLimit) text = text.substr(0, kAnswerLineLimit);
    size_t pos = 0;
    while (pos < text.size() && IsScanfSpace(text[pos])) ++pos;
    // from_chars takes no "+" sign; "%lf" does (but not "+-").
    if (pos < text.size() && text[pos] == '+') {
        ++pos;
        if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) return false;
    }
    const char* first = text.data() + pos;
    const char* last = text.data() + text.size();
    double parsed = 0.0;
    const auto result = std::from_chars(first, last, parsed, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr == first) return false;
    value = parsed;
    return true;
}

std::optional<GeopakAnswer> ParseGeopakAnswer(const std::vector<std::string>& lines) {
    if (lines.size() < kAnswerLines) return std::nullopt;
    for (size_t n = 0; n < kAnswerLines; ++n)
        if (lines[n].size() >= kAnswerLineLimit) return std::nullopt;
    double v[6];
    for (size_t n = 0; n < 6; ++n) {
        if (!ParseAnswerNumber(lines[n + 1], v[n]) || !std::isfinite(v[n])) return std::nullopt;
    }
    GeopakAnswer answer{v[0], v[1], v[2], DirectionCosine(v[3]), DirectionCosine(v[4]),
                        DirectionCosine(v[5])};
    // Kept so that no NaN ever leaves here, whatever the math library does.
    if (!std::isfinite(answer.cx) || !std::isfinite(answer.cy) || !std::isfinite(answer.cz))
        return std::nullopt;
    return answer;
}

std::optional<GeopakAnswer> ReadGeopakAnswer(plat::File& file) {
    std::vector<std::string> lines;
    std::string line;
    while (lines.size() < kAnswerLines && file.ReadLine(line, kAnswerLineLimit)) {
        if (line.size() >= kAnswerLineLimit) return std::nullopt;
        lines.push_back(line);
    }
    return ParseGeopakAnswer(lines);
}

void ApplyAnswer(GeopakCommand& command, const GeopakAnswer& answer) {
    command.d1 = answer.x;
    command.d2 = answer.y;
    command.d3 = answer.z;
    command.d4 = answer.cx;
    command.d5 = answer.cy;
    command.d6 = answer.cz;
}
