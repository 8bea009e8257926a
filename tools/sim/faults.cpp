// Fault flags and answer plans (see faults.h).
#include "faults.h"

#include "machine.h"

#include <algorithm>
#include <stdexcept>

namespace cmmsim {
namespace {

long ParseInteger(const std::string& flag, const std::vector<std::string>& args, size_t i,
                  long lowest, long highest) {
    if (i + 1 >= args.size()) throw std::invalid_argument(flag + " needs a value");
    const std::string& text = args[i + 1];
    size_t used = 0;
    long value = 0;
    try {
        value = std::stol(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value < lowest || value > highest)
        throw std::invalid_argument(flag + ": bad value '" + text + "'");
    return value;
}

uint32_t ParseMs(const std::string& flag, const std::vector<std::string>& args, size_t i) {
    return static_cast<uint32_t>(ParseInteger(flag, args, i, 0, 3600000));
}

}  // namespace

size_t ParseFaultFlag(const std::vector<std::string>& args, size_t i, Faults& f) {
    const std::string& flag = args[i];
    if (flag == "--answer-delay") return f.answerDelayMs = ParseMs(flag, args, i), 2;
    if (flag == "--lock-answer") return f.lockAnswerMs = ParseMs(flag, args, i), 2;
    if (flag == "--slow-handshake") return f.slowHandshakeMs = ParseMs(flag, args, i), 2;
    if (flag == "--crash-after")
        return f.crashAfter = static_cast<uint32_t>(ParseInteger(flag, args, i, 1, 1000000000)), 2;
    if (flag == "--never-answer-cmd") {
        f.neverAnswer.push_back(static_cast<int>(ParseInteger(flag, args, i, -1, 1000000)));
        return 2;
    }
    if (flag == "--error") return f.error = static_cast<int>(ParseInteger(flag, args, i, 1, 2)), 2;
    if (flag == "--garbage") return f.garbage = true, 1;
    if (flag == "--short-answer") return f.shortAnswer = true, 1;
    if (flag == "--remote-msg") return f.remoteMsg = true, 1;
    if (flag == "--silent-remote") return f.silentRemote = true, 1;
    return 0;
}

std::string FaultFlagsHelp() {
    return "  --answer-delay MS      every answer comes MS later\n"
           "  --never-answer-cmd N   commands with Cmd/code N get no answer (repeatable)\n"
           "  --error 1|2            the next COSMOS answer carries Error=1|2\n"
           "  --garbage              the next answer holds garbage lines\n"
           "  --short-answer         the next GEOPAK answer has fewer than 7 lines\n"
           "  --remote-msg           REMOTE.MSG instead of the next COSMOS answer\n"
           "  --lock-answer MS       answers stay exclusively locked MS after they appear\n"
           "  --silent-remote        the remote-start service never answers\n"
           "  --slow-handshake MS    GEOPAK answers its startup commands MS later\n"
           "  --crash-after N        a macro process exits after N commands\n";
}

AnswerPlan TakeAnswerPlan(Faults& f, Side side, int code) {
    AnswerPlan plan;
    plan.delayMs = f.answerDelayMs;
    plan.lockMs = f.lockAnswerMs;
    plan.crashAfter = f.crashAfter;
    if (std::find(f.neverAnswer.begin(), f.neverAnswer.end(), code) != f.neverAnswer.end()) {
        plan.answer = false;
        return plan;
    }
    if (side == Side::kCosmos) {
        if (f.remoteMsg) {
            f.remoteMsg = false;
            plan.remoteMsg = true;
            return plan;
        }
        std::swap(plan.error, f.error);
    } else if (f.shortAnswer) {
        f.shortAnswer = false;
        plan.shortAnswer = true;
        return plan;
    }
    std::swap(plan.garbage, f.garbage);
    return plan;
}

void CountDelivery(SimState& state, Side side, const AnswerPlan& plan) {
    std::string what = side == Side::kCosmos ? "cosmos." : "geopak.";
    what += !plan.answer ? "unanswered" : plan.remoteMsg ? "remote_msg" : "answers";
    ++state.counts[what];
}

bool TakePollAnswer(SimState& state, Side side, int code, AnswerPlan& plan, std::optional<MeasuredPoint>& point) {
    Faults faults = state.faults;
    plan = TakeAnswerPlan(faults, side, code);
    // GEOPAK's garbage has no numbers at all, so it cannot carry a point.
    const bool carries = plan.CarriesPoint() && !(side == Side::kGeopak && plan.garbage);
    point.reset();
    if (carries && !state.config.pollPosition && !(point = TakeNextPoint(state))) return false;
    state.faults = faults;
    CountDelivery(state, side, plan);
    return true;
}

}  // namespace cmmsim
