// Parser of the cmmhost script language. Numbers are read with from_chars so
// a script means the same in every locale; a bad line names its line number.
#include "host_script.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace {

struct Grammar {
    const char* verb;
    ScriptOp op;
    size_t minNumbers, maxNumbers;
};

const Grammar kGrammar[] = {
    {"connect", ScriptOp::kConnect, 0, 0},
    {"disconnect", ScriptOp::kDisconnect, 0, 0},
    {"move", ScriptOp::kMove, 3, 3},
    {"measure", ScriptOp::kMeasure, 6, 6},
    {"head", ScriptOp::kHead, 3, 3},
    {"approach", ScriptOp::kApproach, 3, 3},
    {"wait", ScriptOp::kWait, 1, 1},
    {"wait-points", ScriptOp::kWaitPoints, 1, 2},
    {"poll", ScriptOp::kPoll, 0, 0},
    {"interrupt", ScriptOp::kInterrupt, 0, 0},
};

bool ParseNumber(const std::string& word, double& value) {
    const char* begin = word.data();
    const char* end = begin + word.size();
    if (begin != end && *begin == '+') ++begin;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line.substr(0, line.find('#')));
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// Fills the command from the words after the verb; returns an error text.
std::string ParseArguments(const std::vector<std::string>& words, size_t first, ScriptCommand& command) {
    if (command.op == ScriptOp::kConfigure) {
        if (words.size() == first) return "configure needs NAME=VALUE";
        for (size_t i = first; i < words.size(); ++i) {
            size_t eq = words[i].find('=');
            if (eq == std::string::npos || eq == 0) return "expected NAME=VALUE, got '" + words[i] + "'";
            command.settings.emplace_back(words[i].substr(0, eq), words[i].substr(eq + 1));
        }
        return {};
    }
    for (size_t i = first; i < words.size(); ++i) {
        double v = 0.0;
        if (!ParseNumber(words[i], v)) return "not a number: '" + words[i] + "'";
        command.numbers.push_back(v);
    }
    return {};
}

// Value names and values may hold blanks ("GeoPak Window name=GEOPAK - X"):
// a new setting starts only at a word with "=" once the current one has its
// "=". Runs of blanks become one.
std::vector<std::string> ConfigureWords(const std::string& line) {
    std::vector<std::string> raw = Words(line), merged;
    for (size_t i = 1; i < raw.size(); ++i) {
        bool startsNew = merged.empty() ||
                         (raw[i].find('=') != std::string::npos && merged.back().find('=') != std::string::npos);
        if (startsNew) merged.push_back(raw[i]);
        else merged.back() += " " + raw[i];
    }
    merged.insert(merged.begin(), raw.front());
    return merged;
}

}  // namespace

ScriptParse ParseScript(const std::string& text) {
    ScriptParse result;
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> words = Words(line);
        if (words.empty()) continue;
        ScriptCommand command{ScriptOp::kConnect, number, words[0], {}, {}};
        std::string error;
        size_t first = 1, minN = 0, maxN = 0;
        bool known = false;
        if (words[0] == "transaction" && words.size() >= 2 && (words[1] == "start" || words[1] == "stop")) {
            command.op = words[1] == "start" ? ScriptOp::kTransactionStart : ScriptOp::kTransactionStop;
            command.verb += " " + words[1];
            first = 2;
            known = true;
        } else if (words[0] == "configure") {
            command.op = ScriptOp::kConfigure;
            words = ConfigureWords(line);
            known = true;
            minN = maxN = 0;
        } else {
            for (const Grammar& g : kGrammar) {
                if (words[0] != g.verb) continue;
                command.op = g.op;
                minN = g.minNumbers;
                maxN = g.maxNumbers;
                known = true;
            }
        }
        if (!known) error = "unknown command '" + words[0] + "'";
        if (error.empty()) error = ParseArguments(words, first, command);
        if (error.empty() && command.op != ScriptOp::kConfigure &&
            (command.numbers.size() < minN || command.numbers.size() > maxN)) {
            error = command.verb + " takes " + std::to_string(minN) +
                    (minN == maxN ? "" : " to " + std::to_string(maxN)) + " numbers";
        }
        if (error.empty() && command.op == ScriptOp::kWait && command.numbers[0] < 0) error = "negative wait";
        if (!error.empty()) {
            result.errorLine = number;
            result.error = error;
            return result;
        }
        result.commands.push_back(std::move(command));
    }
    result.ok = true;
    return result;
}
