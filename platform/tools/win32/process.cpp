// Child processes on Windows for the tools and tests that drive whole
// programs: CreateProcess with pipes, in a job object so Kill also ends what
// the child started, output collected by reader threads; Ctrl-C sent through
// the child's console. Also the environment setter and the resident-memory
// figure.
#include "command_line.h"
#include "win32_internal.h"
#include "platform/tools.h"

#include <psapi.h>

#include <cstdlib>
#include <mutex>
#include <thread>

namespace plat {
namespace {


void CloseIfOpen(HANDLE& handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
    handle = nullptr;
}

// A pipe whose `keep` end stays with us (not inherited).
bool MakePipe(HANDLE& read, HANDLE& write, bool keepRead) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!::CreatePipe(&read, &write, &inherit, 0)) return false;
    ::SetHandleInformation(keepRead ? read : write, HANDLE_FLAG_INHERIT, 0);
    return true;
}

// Whether this process sits on a console that could carry a control event to
// a child. A program started with its output on pipes and no terminal (a test
// under Wine run by ctest) has none; neither has one that lent its console
// back after an Interrupt below.
bool HasConsole() {
    DWORD ids[1];
    return ::GetConsoleProcessList(ids, 1) > 0;
}

// Serialises child creation with the moment an Interrupt borrows a child's
// console: a child started meanwhile would inherit the borrowed one.
std::mutex& ConsoleLock() {
    static std::mutex lock;
    return lock;
}

// Ctrl-Break is the event a console can address to one process group; Wine 8
// does not implement it (its console answers "not implemented") but delivers
// Ctrl-C to the group asked for, which our programs treat alike.
bool SendControlToGroup(DWORD group) {
    return ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, group) ||
           ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, group);
}

// Keeps the standard handles across a console attach and detach, which may
// replace them with handles of the borrowed console.
class StandardHandles {
public:
    StandardHandles() {
        for (int i = 0; i < 3; ++i) m_handles[i] = ::GetStdHandle(kIds[i]);
    }
    ~StandardHandles() {
        for (int i = 0; i < 3; ++i) ::SetStdHandle(kIds[i], m_handles[i]);
    }
    StandardHandles(const StandardHandles&) = delete;
    StandardHandles& operator=(const StandardHandles&) = delete;

private:
    static constexpr DWORD kIds[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE m_handles[3];
};

// Attaches to the console of pid for as long as it takes to send the event.
bool InterruptThroughItsConsole(DWORD pid) {
    StandardHandles keep;
    ::FreeConsole();
    if (!::AttachConsole(pid)) return false;
    bool sent = SendControlToGroup(pid);
    ::FreeConsole();
    return sent;
}

}  // namespace

bool SetEnvironmentValue(const std::string& name, const std::string& value) {
    // Both the Win32 block (inherited by children) and the runtime's copy (getenv).
    bool ok = ::SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str()) != FALSE;
    return ::_putenv_s(name.c_str(), value.c_str()) == 0 && ok;
}

size_t ResidentMemoryBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.WorkingSetSize;
}

struct ChildProcess::Impl {
    HANDLE process = nullptr;
    HANDLE job = nullptr;
    DWORD pid = 0;
    bool ownConsole = false;  // the child has a console of its own, not ours
    mutable std::mutex lock;
    std::string out, err;
    std::thread readers[2];
    std::thread writer;

    void Read(HANDLE pipe, std::string ChildProcess::Impl::*target) {
        char buffer[4096];
        DWORD got = 0;
        while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            std::lock_guard<std::mutex> guard(lock);
            (this->*target).append(buffer, got);
        }
        ::CloseHandle(pipe);
    }

    void JoinIo() {
        for (std::thread& reader : readers) {
            if (reader.joinable()) reader.join();
        }
        if (writer.joinable()) writer.join();
    }

    bool Ended() const { return process == nullptr || ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }
};

ChildProcess::ChildProcess() : impl_(new Impl) {}

ChildProcess::~ChildProcess() {
    Kill();
    impl_->JoinIo();
    CloseIfOpen(impl_->process);
    CloseIfOpen(impl_->job);
    delete impl_;
}

bool ChildProcess::Start(const std::string& nativeProgram, const std::vector<std::string>& args,
                         const std::string& input) {
    if (impl_->process != nullptr) return false;
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr, errRead = nullptr,
           errWrite = nullptr;
    if (!MakePipe(inRead, inWrite, false) || !MakePipe(outRead, outWrite, true) || !MakePipe(errRead, errWrite, true)) {
        for (HANDLE* h : {&inRead, &inWrite, &outRead, &outWrite, &errRead, &errWrite}) CloseIfOpen(*h);
        return false;
    }
    std::string commandLine = plat::win32::QuotedArgument(nativeProgram);
    for (const std::string& argument : args) commandLine += " " + plat::win32::QuotedArgument(argument);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION info{};
    // The child leads a process group of its own, so Interrupt reaches it and
    // what it starts, never us. It shares our console when we have one;
    // otherwise it gets a console of its own without a window, since control
    // events travel only through a console.
    std::unique_lock<std::mutex> console(ConsoleLock());
    impl_->ownConsole = !HasConsole();
    DWORD flags = CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP | (impl_->ownConsole ? CREATE_NO_WINDOW : 0);
    BOOL started = ::CreateProcessA(nativeProgram.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags,
                                    nullptr, nullptr, &startup, &info);
    console.unlock();
    CloseIfOpen(inRead);
    CloseIfOpen(outWrite);
    CloseIfOpen(errWrite);
    if (!started) {
        for (HANDLE* h : {&inWrite, &outRead, &errRead}) CloseIfOpen(*h);
        return false;
    }
    impl_->job = ::CreateJobObjectA(nullptr, nullptr);
    if (impl_->job != nullptr) ::AssignProcessToJobObject(impl_->job, info.hProcess);
    ::ResumeThread(info.hThread);
    ::CloseHandle(info.hThread);
    impl_->process = info.hProcess;
    impl_->pid = info.dwProcessId;
    impl_->readers[0] = std::thread([this, outRead] { impl_->Read(outRead, &Impl::out); });
    impl_->readers[1] = std::thread([this, errRead] { impl_->Read(errRead, &Impl::err); });
    impl_->writer = std::thread([inWrite, input] {
        const char* data = input.data();
        size_t left = input.size();
        DWORD written = 0;
        while (left > 0 && ::WriteFile(inWrite, data, static_cast<DWORD>(left), &written, nullptr) && written > 0) {
            data += written;
            left -= written;
        }
        ::CloseHandle(inWrite);
    });
    return true;
}

bool ChildProcess::Wait(uint32_t realMs) {
    if (impl_->process == nullptr) return true;
    if (::WaitForSingleObject(impl_->process, realMs) != WAIT_OBJECT_0) return false;
    impl_->JoinIo();
    return true;
}

bool ChildProcess::Running() const { return !impl_->Ended(); }

void ChildProcess::Interrupt() {
    if (!Running()) return;
    std::lock_guard<std::mutex> console(ConsoleLock());
    if (impl_->ownConsole) InterruptThroughItsConsole(impl_->pid);
    else SendControlToGroup(impl_->pid);
}

void ChildProcess::Kill() {
    if (impl_->Ended()) return;
    if (impl_->job != nullptr) ::TerminateJobObject(impl_->job, 1);
    ::TerminateProcess(impl_->process, 1);
    ::WaitForSingleObject(impl_->process, 5000);
    impl_->JoinIo();
}

int ChildProcess::ExitCode() const {
    DWORD code = 0;
    if (!impl_->Ended() || impl_->process == nullptr || !::GetExitCodeProcess(impl_->process, &code)) return -1;
    return static_cast<int>(code);
}

std::string ChildProcess::Output() const {
    std::lock_guard<std::mutex> guard(impl_->lock);
    return impl_->out;
}

std::string ChildProcess::Errors() const {
    std::lock_guard<std::mutex> guard(impl_->lock);
    return impl_->err;
}

unsigned long ChildProcess::Pid() const { return impl_->pid; }

}  // namespace plat
