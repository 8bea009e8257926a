// Child processes for the tools and tests that drive whole programs: spawn
// with pipes (posix_spawn, own process group), feed standard input, collect
// standard output and error on one I/O thread, wait with a real-time bound,
// interrupt and kill. Also the environment setter and the resident-memory
// figure the benchmarks report. The plug-in core uses none of this.
#include "platform/tools.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace plat {

bool SetEnvironmentValue(const std::string& name, const std::string& value) {
    if (value.empty()) return ::unsetenv(name.c_str()) == 0;
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

size_t ResidentMemoryBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10) * 1024;
    }
    return 0;
}

struct ChildProcess::Impl {
    pid_t pid = -1;
    int exitCode = -1;
    bool ended = false;
    std::atomic<int> inFd{-1}, outFd{-1}, errFd{-1};
    std::string input;
    size_t inputSent = 0;
    mutable std::mutex lock;
    std::string out, err;
    std::atomic<bool> stopIo{false};
    std::thread io;

    static void CloseFd(std::atomic<int>& fd) {
        int f = fd.exchange(-1);
        if (f >= 0) ::close(f);
    }

    // Moves bytes until both outputs reach end of file or stopIo is set.
    void IoLoop() {
        sigset_t block;
        sigemptyset(&block);
        sigaddset(&block, SIGPIPE);  // a child that exits early must not kill us
        pthread_sigmask(SIG_BLOCK, &block, nullptr);
        if (input.empty()) CloseFd(inFd);
        while (!stopIo && (outFd >= 0 || errFd >= 0)) {
            const int o = outFd, e = errFd, i = inFd;
            pollfd fds[3];
            nfds_t n = 0;
            for (int fd : {o, e, i}) {
                if (fd >= 0) fds[n++] = pollfd{fd, static_cast<short>(fd == i ? POLLOUT : POLLIN), 0};
            }
            if (::poll(fds, n, 20) <= 0) continue;
            for (nfds_t k = 0; k < n; ++k) {
                if (fds[k].revents == 0) continue;
                if (fds[k].fd == i) Feed();
                else if (fds[k].fd == o) Drain(outFd, out);
                else Drain(errFd, err);
            }
        }
    }

    void Feed() {
        ssize_t n = ::write(inFd, input.data() + inputSent, input.size() - inputSent);
        if (n > 0) inputSent += static_cast<size_t>(n);
        if (n < 0 && errno != EAGAIN && errno != EINTR) inputSent = input.size();
        if (inputSent >= input.size()) CloseFd(inFd);
    }

    void Drain(std::atomic<int>& fd, std::string& sink) {
        char buffer[4096];
        ssize_t n = ::read(fd.load(), buffer, sizeof buffer);
        if (n > 0) {
            std::lock_guard<std::mutex> guard(lock);
            sink.append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            CloseFd(fd);
        }
    }

    bool Reap(bool block) {
        if (ended || pid < 0) return true;
        int status = 0;
        pid_t r = ::waitpid(pid, &status, block ? 0 : WNOHANG);
        if (r != pid) return false;
        ended = true;
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
    }

    // Lets the I/O thread collect what is left, then stops it: a grandchild
    // that inherited the pipes could otherwise hold them open for ever.
    void FinishIo() {
        if (!io.joinable()) return;
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while ((outFd >= 0 || errFd >= 0) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        stopIo = true;
        io.join();
        CloseFd(inFd);
        CloseFd(outFd);
        CloseFd(errFd);
    }
};

ChildProcess::ChildProcess() : impl_(new Impl) {}

ChildProcess::~ChildProcess() {
    if (Running()) Kill();
    impl_->FinishIo();
    delete impl_;
}

bool ChildProcess::Start(const std::string& nativeProgram, const std::vector<std::string>& args,
                         const std::string& input) {
    if (impl_->pid >= 0) return false;
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return false;
    if (::pipe2(out, O_CLOEXEC) != 0) { ::close(in[0]); ::close(in[1]); return false; }
    if (::pipe2(err, O_CLOEXEC) != 0) {
        for (int fd : {in[0], in[1], out[0], out[1]}) ::close(fd);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(nativeProgram.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, nativeProgram.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (rc != 0) {
        for (int fd : {in[1], out[0], err[0]}) ::close(fd);
        return false;
    }
    for (int fd : {in[1], out[0], err[0]}) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    impl_->pid = pid;
    impl_->inFd = in[1];
    impl_->outFd = out[0];
    impl_->errFd = err[0];
    impl_->input = input;
    impl_->io = std::thread([this] { impl_->IoLoop(); });
    return true;
}

bool ChildProcess::Wait(uint32_t realMs) {
    if (impl_->pid < 0) return true;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
    while (!impl_->Reap(false)) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    impl_->FinishIo();
    return true;
}

bool ChildProcess::Running() const { return impl_->pid >= 0 && !impl_->Reap(false); }

void ChildProcess::Interrupt() {
    if (Running()) ::kill(impl_->pid, SIGINT);
}

void ChildProcess::Kill() {
    if (impl_->pid < 0 || impl_->ended) return;
    ::kill(-impl_->pid, SIGKILL);
    ::kill(impl_->pid, SIGKILL);
    impl_->Reap(true);
    impl_->FinishIo();
}

int ChildProcess::ExitCode() const { return impl_->ended ? impl_->exitCode : -1; }

std::string ChildProcess::Output() const {
    std::lock_guard<std::mutex> guard(impl_->lock);
    return impl_->out;
}

std::string ChildProcess::Errors() const {
    std::lock_guard<std::mutex> guard(impl_->lock);
    return impl_->err;
}

unsigned long ChildProcess::Pid() const { return impl_->pid < 0 ? 0 : static_cast<unsigned long>(impl_->pid); }

}  // namespace plat
