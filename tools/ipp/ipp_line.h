// I++ DME 1.4 command lines: the tag, the method and its arguments, read
// exactly as the line grammar allows (optional spaces only around "," and
// "(" and before ")", strings without escapes, numbers with at most 16
// digits and a short exponent, dotted property names, bare E-tags and
// enumeration names). Nothing here knows what a method means.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ipp {

constexpr std::size_t kMaxLineLength = 65536;

struct Arg {
    enum class Kind { kNumber, kString, kProperty, kETag, kName };
    Kind kind = Kind::kNumber;
    std::string text;             // name (property, enum, E-tag) or string contents
    double number = 0;            // kNumber
    std::vector<double> values;   // kProperty: the numbers between its parentheses
};

struct Command {
    std::string tag;  // "00012" or "E0012"
    bool event = false;  // an E-tag: the fast queue
    std::string method;
    std::vector<Arg> args;
};

struct LineParse {
    bool ok = false;
    Command command;
    // When !ok: the I++ error number (1 illegal tag, 2 no space at column 6,
    // 7 illegal character, 8 malformed line, 509 bad argument), whether the
    // line's own tag could be read (else the reply goes under E0000), and
    // where the fault lies; command.method is kept when it was read.
    int error = 0;
    bool tagKnown = false;
    std::size_t offset = 0;
};

// line: without its CR LF.
LineParse ParseLine(const std::string& line);

bool IsTag(const std::string& text);   // 00001..99999
bool IsETag(const std::string& text);  // E0001..E9999

}  // namespace ipp
