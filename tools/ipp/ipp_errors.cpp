// The error table (see ipp_errors.h) and number formatting.
#include "ipp_errors.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ipp {

namespace {

constexpr ErrorInfo kErrors[] = {
    {0, 0, "Buffer full"},
    {1, 2, "Illegal tag"},
    {2, 2, "No space at pos. 6"},
    {3, 2, "Reserved"},
    {4, 2, "Reserved"},
    {5, 2, "Reserved"},
    {6, 2, "Transaction aborted (Use ClearAllErrors To Continue)"},
    {7, 3, "Illegal character"},
    {8, 3, "Protocol error"},
    {500, 3, "Emergency stop"},
    {501, 3, "Unsupported command"},
    {502, 3, "Incorrect arguments"},
    {503, 9, "Controller communications failure"},
    {504, 1, "Argument out of range"},
    {505, 3, "Argument not recognized"},
    {506, 3, "Argument not supported"},
    {507, 3, "Illegal command"},
    {508, 3, "Bad context"},
    {509, 3, "Bad argument"},
    {510, 3, "Bad property"},
    {511, 3, "Error processing method"},
    {512, 1, "No daemons are active"},
    {513, 2, "Daemon does not exist"},
    {514, 2, "Use ClearAllErrors to continue"},
    {515, 2, "Daemon already exists"},
    {1000, 3, "Machine in error state"},
    {1001, 2, "Illegal touch"},
    {1002, 9, "Axis does not exist"},
    {1003, 2, "No touch"},
    {1004, 9, "Number of angles not supported on current device"},
    {1005, 3, "Error during home"},
    {1006, 2, "Surface not found"},
    {1007, 3, "Theta out of range"},
    {1008, 3, "Target position out of machine volume"},
    {1009, 3, "Air pressure out of range"},
    {1010, 2, "Vector has no norm"},
    {1011, 2, "Unable to move"},
    {1012, 2, "Bad lock combinations"},
    {1500, 3, "Failed to re-seat head"},
    {1501, 3, "Probe not armed"},
    {1502, 3, "Tool not found"},
    {1503, 3, "Tool not defined"},
    {2000, 3, "Tool not calibrated"},
    {2001, 2, "Head error excessive force"},
    {2002, 3, "Type of probe does not allow this operation"},
    {2500, 3, "Machine limit encountered [Move Out Of Limits]"},
    {2501, 3, "Axis not active"},
    {2502, 3, "Axis position error"},
    {2503, 9, "Scale read head failure"},
    {2504, 3, "Collision"},
    {2505, 2, "Specified angle out of range"},
    {2506, 2, "Part not aligned"},
};

}  // namespace

const ErrorInfo* FindError(int number) {
    for (const ErrorInfo& e : kErrors) {
        if (e.number == number) return &e;
    }
    return nullptr;
}

int SeverityOf(int number) {
    const ErrorInfo* e = FindError(number);
    return e ? e->severity : 3;
}

std::string ErrorLine(const std::string& tag, int number, const std::string& method, int severity) {
    const ErrorInfo* e = FindError(number);
    if (!e) e = FindError(511);
    char head[64];
    std::snprintf(head, sizeof head, "%s ! Error(%d, %04d, ", tag.c_str(), severity < 0 ? e->severity : severity,
                  e->number);
    return head + (method.empty() ? std::string("Unknown") : method) + ", \"" + e->text + "\")";
}

std::string FormatNumber(double value) {
    if (!std::isfinite(value)) value = 0;
    // Six decimals where they fit in sixteen digits.
    int whole = 1;
    for (double a = std::fabs(value); a >= 10 && whole < 16; a /= 10) ++whole;
    int decimals = std::max(0, std::min(6, 16 - whole));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string s = buf;
    for (char& c : s) {
        if (c == ',') c = '.';  // a comma-decimal locale
    }
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    return s;
}

}  // namespace ipp
