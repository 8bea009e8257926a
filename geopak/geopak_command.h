// The GEOPAK command record and its two file formats: the command file the
// plug-in writes for the macro ("GEO_IN.DAT") and the answer file the macro
// writes back ("GEO_OUT.DAT"). Formatting is pure; the answer is read from the
// open file exactly as the protocol reads it, so tests and the fuzzer go
// through the same reader.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct GeopakCommand {
    explicit GeopakCommand(int32_t commandCode, double p1 = 0.0, double p2 = 0.0, double p3 = 0.0,
                           double p4 = 0.0, double p5 = 0.0, double p6 = 0.0)
        : code(commandCode), d1(p1), d2(p2), d3(p3), d4(p4), d5(p5), d6(p6) {}

    int32_t code;
    double d1, d2, d3;  // payload out; measured X, Y, Z in
    double d4, d5, d6;  // payload out; direction cosines in
};

// Command codes written into "GEO_IN.DAT".
namespace geopak_code {
constexpr int32_t kSetHead = 2;
constexpr int32_t kPoll = 5;
constexpr int32_t kPollWithApproach = 6;
constexpr int32_t kMeasure = 8;
constexpr int32_t kMove = 9;
constexpr int32_t kResume = 11;
constexpr int32_t kInterrupt = 12;
constexpr int32_t kQuit = 13;
}  // namespace geopak_code

// The three pieces of "GEO_IN.DAT", in the order they are written; "\n" ends
// each line (text mode turns it into CR LF on disk). Never cut, whatever the
// width of a value.
std::string FormatCodeLine(const GeopakCommand& command);
std::string FormatTriple(double a, double b, double c);

// What an accepted answer carries: the measured point and the direction
// cosines of the probing direction.
struct GeopakAnswer {
    double x, y, z;
    double cx, cy, cz;
};

// An answer line this long or longer makes the whole answer unreadable.
constexpr size_t kAnswerLineLimit = 4096;
constexpr size_t kAnswerLines = 7;

// Reads a number the way "%lf" does (leading blanks skipped, anything after
// the number ignored), always with "." as decimal point. False when the text
// holds no number or one out of range.
bool ParseAnswerNumber(std::string_view text, double& value);

// The answer held by the lines (without line ends). Rejected (nullopt) when
// there are fewer than seven lines, a line is overlong, a line from the second
// on holds no number, or a value or cosine is not finite: an answer is taken
// whole or not at all.
std::optional<GeopakAnswer> ParseGeopakAnswer(const std::vector<std::string>& lines);
// Reads the first seven lines of an open answer file and parses them. A line
// that reaches the length limit makes the whole answer unreadable: cutting it
// could shift the lines after it.
std::optional<GeopakAnswer> ReadGeopakAnswer(plat::File& file);

// Puts an accepted answer into the record: X, Y, Z into d1..d3, the cosines
// into d4..d6.
void ApplyAnswer(GeopakCommand& command, const GeopakAnswer& answer);

// atan(1.0), set while the module loads, right after the GEOPAK registration
// record; the answer's angles become direction cosines with it.
double GeopakQuarterPi();
