// Waiting for files, the same on both halves: conditions looked at in turns,
// and the turns of the files a caller waits for. Each half watches folders
// its own way (common_internal.h).
#include "common_internal.h"

#include <algorithm>
#include <array>

namespace plat::common {

Turns::Turns(size_t count, std::function<bool(size_t)> look, Clock::time_point firstEnd, Clock::duration slice)
    : m_count(std::min(count, kMostTurns)), m_look(std::move(look)), m_firstEnd(firstEnd), m_slice(slice) {}

Turns::Clock::time_point Turns::End(size_t turn) const {
    if (m_firstEnd == Clock::time_point::max()) return m_firstEnd;
    return m_firstEnd + m_slice * static_cast<Clock::rep>(turn);
}

bool Turns::LookFromHere() {
    m_seen = 0;
    for (size_t turn = m_turn; turn < m_count; ++turn) {
        if (m_look(turn)) m_seen |= 1u << turn;
    }
    return m_turn < m_count && Seen(m_turn);
}

int Turns::Advance(Clock::time_point now) {
    while (m_turn < m_count && now >= End(m_turn)) {
        if (++m_turn == m_count) return -1;
        // Whatever the last look did not see has not come since: the watch
        // would have said so.
        if (Seen(m_turn)) {
            if (m_look(m_turn)) return Current();
            m_seen &= ~(1u << m_turn);
        }
    }
    return m_turn < m_count ? kNotYet : -1;
}

Turns::Clock::time_point Turns::NextLook() const {
    for (size_t turn = m_turn + 1; turn < m_count; ++turn) {
        if (Seen(turn)) return End(turn - 1);
    }
    return End(m_count == 0 ? 0 : m_count - 1);
}

std::chrono::steady_clock::duration RealDuration(uint32_t ms) {
    const double realMs = static_cast<double>(ms) / TimeScale();
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double, std::milli>(realMs));
}

}  // namespace plat::common

namespace plat {

bool WaitForPath(const std::string& dosPath, uint32_t ms) {
    const common::NativeFile file = common::NativeFileOf(dosPath);
    const auto end = ms == kInfinite ? common::Turns::Clock::time_point::max()
                                     : common::Turns::Clock::now() + common::RealDuration(ms);
    common::Turns turn(1, [&](size_t) { return common::NativeFileExists(file.path); }, end, {});
    return common::WaitForFilesInTurns(file.folder, turn) == 0;
}

int WaitForPathsInTurn(std::span<const std::string> dosPaths, uint32_t sliceMs) {
    std::array<std::string, common::Turns::kMostTurns> natives;
    std::string folder;
    bool together = !dosPaths.empty() && dosPaths.size() <= natives.size() && sliceMs != kInfinite;
    for (size_t i = 0; together && i < dosPaths.size(); ++i) {
        common::NativeFile file = common::NativeFileOf(dosPaths[i]);
        if (i == 0) folder = file.folder;
        together = file.folder == folder;
        natives[i] = std::move(file.path);
    }
    if (!together) {
        // One watch covers one folder: paths elsewhere wait one after another.
        for (size_t i = 0; i < dosPaths.size(); ++i) {
            if (WaitForPath(dosPaths[i], sliceMs)) return static_cast<int>(i);
        }
        return -1;
    }
    const auto slice = common::RealDuration(sliceMs);
    common::Turns turns(
        dosPaths.size(), [&](size_t i) { return common::NativeFileExists(natives[i]); },
        common::Turns::Clock::now() + slice, slice);
    return common::WaitForFilesInTurns(folder, turns);
}

}  // namespace plat
