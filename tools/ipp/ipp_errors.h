// The I++ DME 1.4 error table and the form of response lines. An error's
// text is always the table's; only its severity may differ per occasion.
#pragma once

#include <string>

namespace ipp {

struct ErrorInfo {
    int number;
    int severity;
    const char* text;
};

// nullptr for a number not in the table.
const ErrorInfo* FindError(int number);

// "TTTTT ! Error(F1, NNNN, Method, "Text")"; severity < 0: the table's.
std::string ErrorLine(const std::string& tag, int number, const std::string& method, int severity = -1);
int SeverityOf(int number);

// Plain fixed-point, no exponent, at most 16 digits, trailing zeros dropped
// ("99.93", "120", "-0.5"); locale-independent.
std::string FormatNumber(double value);

}  // namespace ipp
