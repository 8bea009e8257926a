// What both halves of the platform seam share: portable pieces that would
// otherwise be written twice (key names, the resource registry, the desktop
// folder setting, the virtual clock, debugger output, text files). Private
// to platform/.
#pragma once

#include "platform/platform.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace plat::common {

// Where the desktop folder is until SetDesktopFolder names one; each half
// has its own.
std::string DefaultDesktopFolder();

// Where the tick count starts when the process does; each half has its own
// (posix: 0, win32: GetTickCount64, as GetTickCount would show).
double FirstTickMs();

// The system's own channel for a debugger line (posix: stderr when
// CMM_DEBUG_OUTPUT is set; win32: OutputDebugStringA). Each half has its own.
void SystemDebugOutput(const std::string& text);

// DOS paths: a letter that may name a drive; and the components of path from
// index `from` on, "\" and "/" both separators, folded onto components: "."
// is dropped and ".." takes one away, never climbing above the first.
bool IsDriveLetter(char c);
void FoldPath(std::vector<std::string>& components, const std::string& path, size_t from);

// A virtual key that the key notation names in braces ("{ENTER}", "{F8}").
bool IsNamedKey(uint16_t vk);

// The template from the current resource module, else from the first
// registered module that has it.
const DialogTemplate* LookUpTemplate(int templateId);

// "\n" written as CR LF, as the C runtime's text mode writes it; a CR LF
// already in the text gets a CR of its own as well.
std::string WithCrLf(const std::string& text);

// The read side of a File: lines from a byte source through a buffer, the
// line end left out (LF; in text mode also CR LF), a line longer than
// maxLength in pieces of maxLength characters.
class LineReader {
public:
    // Reads up to size bytes into data; 0 at end of file or on failure.
    using Source = std::function<size_t(char* data, size_t size)>;
    void Reset(bool text);  // a new file: nothing buffered
    // false at end of file.
    bool ReadLine(std::string& line, size_t maxLength, const Source& source);

private:
    // Keeps at least `wanted` unread bytes buffered while the file has them.
    size_t Available(size_t wanted, const Source& source);
    bool SkipLineEnd(const Source& source);

    bool text_ = false;
    std::string buffer_;
    size_t position_ = 0;  // next unread byte of buffer_
    bool atEnd_ = false;
};

// Conditions looked at in turns, as waits for one after another would look
// at them: condition i counts only within turn i, and one that already holds
// when its turn begins is found then. A half's change-notification wait keeps
// what its last look saw of the turns still to come and trusts it while its
// watch stands, so turns in which nothing changes pass without a wake-up: an
// unanswered COSMOS command looks for two files in two 10 ms turns every
// pass, and the wake-up between them was a fifth of its CPU on a 2-core VM.
class Turns {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kNotYet = -2;
    static constexpr size_t kMostTurns = 32;

    // Turn i ends at firstEnd + slice * i; Clock::time_point::max() for a
    // single turn that never ends. look(i) tells whether condition i holds.
    Turns(size_t count, std::function<bool(size_t)> look, Clock::time_point firstEnd, Clock::duration slice);

    // Looks at the current turn's condition and at those of the turns still
    // to come; true when the current one holds.
    bool LookFromHere();
    // Moves on to the turn that holds `now`, looking again at the start of
    // each turn whose condition the last look saw: that turn's index when it
    // still holds, -1 once the last turn has ended, kNotYet otherwise.
    int Advance(Clock::time_point now);
    // When the next look is due if nothing changes: the end of the turn
    // before the next one whose condition was seen, else the end of the last.
    Clock::time_point NextLook() const;
    int Current() const { return static_cast<int>(m_turn); }

private:
    Clock::time_point End(size_t turn) const;
    bool Seen(size_t turn) const { return (m_seen >> turn & 1u) != 0; }

    size_t m_count;
    std::function<bool(size_t)> m_look;
    Clock::time_point m_firstEnd;
    Clock::duration m_slice;
    size_t m_turn = 0;
    uint32_t m_seen = 0;  // bit i: condition i held at the last look
};

// The real time that ms virtual milliseconds (not kInfinite) take.
std::chrono::steady_clock::duration RealDuration(uint32_t ms);

// What the waits for files (file_waits.cpp) need of each half: a DOS path's
// native name and its folder, whether a native path exists, and the wait on
// the folder's change notifications, which looks at the turns' conditions
// until one holds within its turn (its index; -1 once the last has ended).
struct NativeFile {
    std::string path;
    std::string folder;
};
NativeFile NativeFileOf(const std::string& dosPath);
bool NativeFileExists(const std::string& nativePath);
int WaitForFilesInTurns(const std::string& nativeFolder, Turns& turns);

}  // namespace plat::common
