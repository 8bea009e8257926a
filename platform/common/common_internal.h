// What both halves of the platform seam share: portable pieces that would
// otherwise be written twice (key names, the resource registry, the desktop
// folder setting, the virtual clock, debugger output, text files). Private
// to platform/.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <functional>
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

}  // namespace plat::common
