// What the files of the win32 half share: <windows.h> with the macros that
// would rename the seam's own functions taken away, real-time conversion of
// virtual milliseconds, and a few helpers for handles and paths.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>
// Win32 maps these names to their ...A twins; the seam has functions of the same names.
#undef MessageBox
#undef ShellExecute

#include "platform/platform.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace plat::win32 {

// Virtual milliseconds turned into real ones for a Win32 wait (INFINITE stays).
DWORD RealMs(uint32_t virtualMs);

// Real milliseconds from now until `until`, rounded up so that a wait ends
// at it or after; INFINITE for time_point::max().
DWORD MsUntil(std::chrono::steady_clock::time_point until);

// A real-time deadline for loops that wait in several steps.
class Deadline {
public:
    explicit Deadline(uint32_t virtualMs);
    DWORD Left() const;  // real ms still to wait; INFINITE for no deadline
    bool Passed() const { return Left() == 0; }

private:
    bool m_infinite;
    std::chrono::steady_clock::time_point m_end;
};

inline HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
inline WindowHandle FromHwnd(HWND window) { return reinterpret_cast<WindowHandle>(window); }

// The Win32 error of the last call as a seam file error.
FileError FileErrorOf(DWORD error);

// Creates a native folder and its parents (never through the drive map).
bool MakeNativeDirectory(const std::string& native);

// Folder part of a native path ("C:\a\b.txt" -> "C:\a"); "." for none.
std::string ParentFolder(const std::string& nativePath);

// The file a loaded module (nullptr: the program) was loaded from.
std::string ModulePath(HMODULE module);

// Whether the window is one of ours, on the window thread that pumps them.
bool IsOwnWindowThread(HWND window);
// Handles a key message for one of our own windows; true when it was one.
bool TranslateOwnKeyMessage(HWND window, UINT message, WPARAM wParam);
// A new (or destroyed) window of ours starts with no keystrokes.
void ForgetKeyStrokes(HWND window);

}  // namespace plat::win32
