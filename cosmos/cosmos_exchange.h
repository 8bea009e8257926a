// The COSMOS exchange files: the parameter file the plug-in writes for the
// host's macro in GEOPAK-WIN ("ZOR_GEO.DAT") and the answer the macro writes
// back ("GEO_ZOR.DAT"), plus the free file functions of one exchange.
//
// Formatting and parsing are pure functions; the functions below them do the
// file handling around them.
#pragma once

#include "cosmos/parameter_map.h"
#include "framework/types.h"

#include <cstddef>
#include <string>
#include <string_view>

// Answer lines are read in pieces of at most this many characters. A line
// that reaches it is no entry: it and the rest of it are copied to the backup
// and otherwise skipped, so hostile text never costs more than this.
constexpr size_t kMaxAnswerLine = 65536;

// Result codes of an exchange.
namespace cosmos_result {
constexpr int kOk = 0;
constexpr int kError1 = 1;
constexpr int kError2 = 2;
// A value a point is built from (ActualX…ActualC) is not a finite number:
// the answer counts as a failed command and no point is built from it.
constexpr int kNotANumber = 3;
constexpr int kWriteFailed = 10;
constexpr int kWindowLost = 12;
constexpr int kNotConnected = 13;
constexpr int kMessageFile = 100;
constexpr int kTimeout = 101;
constexpr int kFirstEvent = 200;  // + index of the signalled event
constexpr int kInterrupted = 200;
constexpr int kCommandHandedOver = 201;
constexpr int kPaused = 202;
// The worker was asked to exit or pause, or the host quit during the
// command: the wait was given up (nothing written, or the answer left).
constexpr int kGivenUp = 203;
}  // namespace cosmos_result

// One parameter line, "%s=%12.3lf\n" with "." as decimal point. Neither the
// name nor a wide value is ever cut, however long the line gets.
std::string FormatParameterLine(const std::string& name, double value);
// The whole parameter file in the map's order (before text-mode CR LF).
std::string FormatParameterText(const ParameterMap& map);

// Stores one answer line into the map when it is an entry: "=" at a position
// greater than 0; the name is everything before the first "=", blanks kept.
// The value is the number at the start of the rest after leading blanks, read
// as "%lf" reads it in the current locale; text without a number, and numbers
// that are not finite (overflow, "inf", "nan"), give 0.0. Returns whether the
// line was an entry.
bool MergeAnswerLine(ParameterMap& map, std::string_view line);
// Whether line is an entry of a point's values (ActualX, ActualY, ActualZ,
// ActualA, ActualB, ActualC) whose value is not a finite number.
bool IsUnreadableActual(std::string_view line);
// The result an answer gives: "Error" (inserted with 0.0 when missing) of 1.0
// gives 1, of 2.0 gives 2, anything else 0.
int AnswerResult(ParameterMap& map);

// Waits for an event (200 + its index), the message file (100, deleted) or
// the answer file (merged into map, copied to answerPath + ".bck" and
// deleted; 0, 1, 2 or 3), in that order each pass; 101 once timeoutMs (0: no
// limit) has passed.
int AwaitCosmosAnswer(ParameterMap& map, const std::string& answerPath, const std::string& messagePath,
                      plat::Event* const* events, DWORD eventCount, DWORD timeoutMs);
BOOL WriteParameterFileWithBackup(const ParameterMap& map, const std::string& path);
BOOL WriteParameterFile(const ParameterMap& map, const std::string& path);
// TRUE when the file is absent afterwards.
BOOL DeleteFileIfPresent(const std::string& path);
// Stores every entry of source into target in source's order; entries only
// in target stay.
void CopyParameters(ParameterMap& target, const ParameterMap& source);
