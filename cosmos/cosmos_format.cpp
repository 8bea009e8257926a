// Pure formatting and parsing of the COSMOS exchange files: parameter lines
// out, answer lines in, and the result an answer gives.
#include "cosmos/cosmos_exchange.h"
#include "framework/toolbox.h"

#include <cmath>
#include <cstdlib>
#include <optional>

namespace {

// strtod reads what "%lf" reads: leading blanks skipped, the longest valid
// prefix taken, in the current locale. Nothing when there is no number or it
// is not finite.
std::optional<double> ReadFiniteNumber(std::string_view text) {
    const std::string copy(text);  // strtod needs a terminated copy
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

std::string FormatParameterLine(const std::string& name, double value) {
    // The name is appended as it stands rather than through "%s", so a name
    // that came in from an answer with a NUL in it still goes out whole.
    return name + CRT_LOCALE_INDEPENDANT::sprintf("=%12.3lf\n", value);
}

std::string FormatParameterText(const ParameterMap& map) {
    std::string text;
    for (const ParameterMap::Entry& entry : map) text += FormatParameterLine(entry.first, entry.second);
    return text;
}

bool MergeAnswerLine(ParameterMap& map, std::string_view line) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) return false;
    map[line.substr(0, equals)] = ReadFiniteNumber(line.substr(equals + 1)).value_or(0.0);
    return true;
}

bool IsUnreadableActual(std::string_view line) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    // The six values a reported point is built from.
    const std::string_view name = line.substr(0, equals);
    if (name.size() != 7 || name.substr(0, 6) != "Actual" || std::string_view("XYZABC").find(name[6]) == std::string_view::npos)
        return false;
    return !ReadFiniteNumber(line.substr(equals + 1));
}

int AnswerResult(ParameterMap& map) {
    const double error = map["Error"];
    if (error == 1.0) return cosmos_result::kError1;
    if (error == 2.0) return cosmos_result::kError2;
    return cosmos_result::kOk;
}
