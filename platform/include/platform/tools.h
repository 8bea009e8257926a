// What only the tools, tests and benchmarks need from the operating system,
// beside the seam the plug-in uses (platform.h): child processes, the
// environment, the console, launchers for the simulated vendor programs, the
// one-host-per-installation claim and loading plug-in modules. Its library,
// cmm_platform_tools, stands on the seam's; the toolbox and the plug-in never
// link it.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// ---------------------------------------------------------------- modules
// How a host loads its plug-ins: dlopen / LoadLibrary of a native path;
// nullptr with error set on failure.
void* LoadModule(const std::string& nativePath, std::string& error);
void UnloadModule(void* module);

// ---------------------------------------------------------------- child processes
// For the tools, tests and benchmarks that drive whole programs (cmmhost demo,
// end-to-end tests). Milliseconds here are real time: a watchdog must not
// stretch with the time scale.

// Sets (empty value: removes) a variable of this process's environment, which
// every program started afterwards inherits.
bool SetEnvironmentValue(const std::string& name, const std::string& value);

// A program run with its standard input fed from a string and its output
// collected while it runs. The child gets a process group of its own, so Kill
// also ends whatever it started and did not detach.
class ChildProcess {
public:
    ChildProcess();
    ~ChildProcess();  // kills a child that still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    bool Start(const std::string& nativeProgram, const std::vector<std::string>& args,
               const std::string& input = std::string());
    bool Wait(uint32_t realMs);  // true once the child has ended
    bool Running() const;
    void Interrupt();            // Ctrl-C
    void Kill();
    int ExitCode() const;        // -1 while running, or when ended by a signal
    std::string Output() const;  // standard output so far
    std::string Errors() const;  // standard error so far
    unsigned long Pid() const;
    struct Impl;

private:
    Impl* impl_;
};

// Bytes of memory resident for this process; 0 where unknown.
size_t ResidentMemoryBytes();

// Whether standard input is an interactive terminal (console), so a tool
// may ask the user rather than read a script or a pipe.
bool StandardInputIsTerminal();

// Calls handler whenever the user presses Ctrl-C or Ctrl-Break at the
// console (posix: SIGINT). It runs in a signal handler or on a thread the
// console starts, so it may only touch lock-free atomics. nullptr restores
// the default (the process ends). Win32 also turns Ctrl-C processing back on
// for a process started in a new process group, where it begins switched off.
void OnInterrupt(void (*handler)());
// Calls handler when the process is asked to end from outside (posix: SIGTERM
// or SIGHUP; Windows: the console closing, log-off or shutdown), under the
// same rules as OnInterrupt's handler. nullptr restores the default.
void OnTerminate(void (*handler)());
// Whether standard error is a terminal (console), where a status line may be
// redrawn in place.
bool StandardErrorIsTerminal();

// Single keys from the console, for a tool's live status line (its stand-in
// for a modeless dialog). While on, the terminal hands over each key as it is
// typed, without echo (a Windows console does so anyway); Ctrl-C still
// interrupts. TakeConsoleEscape drains what was typed and is true when a lone
// Escape was among it (the sequence of an arrow or function key is not one).
// Where standard input is not a terminal nothing changes and nothing is taken.
void ConsoleKeys(bool on);
bool TakeConsoleEscape();

// Makes a write to a closed pipe (a tool's output piped into `head`) fail
// like any other write instead of ending the process, so a tool still runs
// its clean-up. Nothing to do where pipes raise no signal.
void IgnoreBrokenPipes();

// ---------------------------------------------------------------- launchers
// For the vendor-side simulator (cmmsim) and its shutdown.
// Installs an executable at dosPath that starts nativeTarget with the leading
// arguments followed by whatever the launcher itself is given (posix: a small
// sh script that execs the target). Folders are created as needed.
bool InstallLauncher(const std::string& dosPath, const std::string& nativeTarget,
                     const std::vector<std::string>& leadingArgs);
// Claims the installation this process drives (posix: the virtual desktop
// with its drive map; Windows: the user's session) until the process ends, so
// two hosts never drive one set of vendor programs. False when another
// process holds it: holderPid names it (0 when it cannot be told).
bool ClaimInstallation(unsigned long& holderPid);
// Native absolute path of the running program; empty when unknown.
std::string CurrentExecutablePath();
// Whether a process with this id runs, and ending it forcibly (no clean-up).
bool IsProcessRunning(unsigned long pid);
bool EndProcess(unsigned long pid);

}  // namespace plat
