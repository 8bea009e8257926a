// Key sequence recognition: the recent keystrokes are kept, and after each
// one the longest sequence that they end with wins.
#include "keys.h"

#include "framework/toolbox.h"

namespace cmmsim {

bool KeySequences::Add(int id, const std::string& keyString) {
    KeyParseResult parsed = ParseKeyString(keyString);
    if (!parsed.ok) return false;
    Sequence sequence{id, {}};
    for (const plat::KeyStroke& key : parsed.keys) sequence.strokes.push_back(plat::KeyStrokeText(key));
    if (!sequence.strokes.empty()) m_sequences.push_back(sequence);
    return true;
}

bool KeySequences::EndsWith(const Sequence& sequence) const {
    const std::vector<std::string>& s = sequence.strokes;
    if (s.size() > m_recent.size()) return false;
    size_t offset = m_recent.size() - s.size();
    for (size_t i = 0; i < s.size(); ++i) {
        if (m_recent[offset + i] != s[i]) return false;
    }
    return true;
}

std::vector<int> KeySequences::Feed(const std::vector<std::string>& strokes) {
    std::vector<int> matched;
    for (const std::string& stroke : strokes) {
        m_recent.push_back(stroke);
        if (m_recent.size() > 256) m_recent.pop_front();
        const Sequence* best = nullptr;
        for (const Sequence& sequence : m_sequences) {
            if (EndsWith(sequence) && (best == nullptr || sequence.strokes.size() > best->strokes.size()))
                best = &sequence;
        }
        if (best != nullptr) {
            matched.push_back(best->id);
            m_recent.clear();
        }
    }
    return matched;
}

}  // namespace cmmsim
