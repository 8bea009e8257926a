// Child processes on Windows for the tools and tests that drive whole
// programs: CreateProcess with pipes, in a job object so Kill also ends what
// the child started, output collected by reader threads. Also the
// environment setter and the resident-memory figure.
#include "command_line.h"
#include "win32_internal.h"

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
    BOOL started = ::CreateProcessA(nativeProgram.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                    CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &info);
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
    if (Running()) ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, impl_->pid);
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
