// Fault injection: the command-line flags that set faults (at install or with
// `cmmsim fault`), and the plan for one answer, which uses up the one-shot
// faults (error, garbage, short answer, REMOTE.MSG) under the state lock so
// that exactly one answer carries each.
#pragma once

#include "state.h"

#include <optional>
#include <string>
#include <vector>

namespace cmmsim {

// Parses the fault flag at args[i] (and its value) into faults; returns the
// number of arguments used, 0 when args[i] is no fault flag. Throws
// std::invalid_argument for a bad value.
size_t ParseFaultFlag(const std::vector<std::string>& args, size_t i, Faults& faults);
std::string FaultFlagsHelp();

enum class Side { kCosmos, kGeopak };

struct AnswerPlan {
    bool answer = true;      // false: the command is never answered
    bool remoteMsg = false;  // REMOTE.MSG instead of the answer
    int error = 0;           // forced "Error" value
    bool garbage = false;
    bool shortAnswer = false;
    uint32_t delayMs = 0;
    uint32_t lockMs = 0;
    uint32_t crashAfter = 0;
    // Whether the answer may carry a measured point (one the plug-in takes).
    bool CarriesPoint() const { return answer && !remoteMsg && error == 0 && !shortAnswer; }
};

AnswerPlan TakeAnswerPlan(Faults& faults, Side side, int code);

// The answer to a position poll, taken in one state update: the plan (one-shot
// faults used up) and, when the answer carries a point, the next queued point
// (none with --poll-position: the position is answered). Returns false, with
// the state untouched, when a point is needed and none is queued. Counts the
// delivery as CountDelivery does.
bool TakePollAnswer(SimState& state, Side side, int code, AnswerPlan& plan, std::optional<MeasuredPoint>& point);

// Counts what the plan delivers ("cosmos.answers", "geopak.unanswered", ...)
// in the same state update that made it, so a client that sees the answer
// file also sees the count.
void CountDelivery(SimState& state, Side side, const AnswerPlan& plan);

}  // namespace cmmsim
