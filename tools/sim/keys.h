// Recognises configured key sequences (SendKeyString notation) in the stream
// of keystrokes that reach a simulated window, as the vendor programs react
// to menu shortcuts and dialog keys.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace cmmsim {

// The keystroke-log lines ("%R", "{TAB}", "+^A", "{{}") that a key string in
// SendKeyString notation types, or nothing when the string is malformed.
std::optional<std::vector<std::string>> ReadKeyString(const std::string& keyString);

class KeySequences {
public:
    // false when the notation cannot be parsed; an empty sequence never matches.
    bool Add(int id, const std::string& keyString);
    // Feeds keystrokes (KeyStrokeText lines); returns the ids of the
    // sequences completed, in order. Keys of a completed sequence are used up.
    std::vector<int> Feed(const std::vector<std::string>& strokes);

private:
    struct Sequence {
        int id;
        std::vector<std::string> strokes;
    };
    bool EndsWith(const Sequence& sequence) const;
    std::vector<Sequence> m_sequences;
    std::deque<std::string> m_recent;
};

}  // namespace cmmsim
