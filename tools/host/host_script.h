// The line-based script language of `cmmhost run`: one command a line, words
// separated by blanks, "#" starts a comment. Parsing is separate from running
// so a script with a typo is refused before anything is connected.
#pragma once

#include <string>
#include <utility>
#include <vector>

enum class ScriptOp {
    kConnect, kDisconnect, kMove, kMeasure, kHead, kApproach,
    kTransactionStart, kTransactionStop, kWait, kWaitPoints, kConfigure, kPoll, kInterrupt,
};

struct ScriptCommand {
    ScriptOp op;
    int line;                  // 1-based line of the script
    std::string verb;          // as written, for messages ("transaction start")
    std::vector<double> numbers;
    std::vector<std::pair<std::string, std::string>> settings;  // configure NAME=VALUE
};

struct ScriptParse {
    bool ok = false;
    std::vector<ScriptCommand> commands;
    int errorLine = 0;
    std::string error;
};

ScriptParse ParseScript(const std::string& text);

// Default bound of `wait-points` when the script names none (virtual ms).
constexpr double kDefaultWaitPointsMs = 30000.0;
