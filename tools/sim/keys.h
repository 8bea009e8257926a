// Recognises configured key sequences (SendKeyString notation) in the stream
// of keystrokes that reach a simulated window, as the vendor programs react
// to menu shortcuts and dialog keys.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace cmmsim {

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
