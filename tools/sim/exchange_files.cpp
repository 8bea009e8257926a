// Claiming command files and publishing answers (see exchange_files.h).
#include "exchange_files.h"

#include "framework/toolbox.h"
#include "platform/platform.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace cmmsim {
namespace {

using Clock = std::chrono::steady_clock;

std::string PrivateName(const std::string& dosPath, const char* kind) {
    static std::atomic<unsigned> counter{0};
    return dosPath + "." + kind + std::to_string(plat::CurrentProcessId()) + "-" +
           std::to_string(counter++);
}

bool Rename(const std::string& fromDos, const std::string& toDos) {
    std::error_code error;
    std::filesystem::rename(plat::NativePath(fromDos), plat::NativePath(toDos), error);
    return !error;
}

uintmax_t FileSize(const std::string& dosPath) {
    std::error_code error;
    uintmax_t size = std::filesystem::file_size(plat::NativePath(dosPath), error);
    return error ? 0 : size;
}

std::vector<std::string> ReadLines(const std::string& dosPath) {
    std::vector<std::string> lines;
    plat::File file;
    if (!file.Open(dosPath, plat::kFileRead | plat::kFileText | plat::kShareDenyWrite)) return lines;
    std::string line;
    while (lines.size() < 10000 && file.ReadLine(line, 4096)) lines.push_back(line);
    return lines;
}

}  // namespace

std::optional<std::vector<std::string>> ClaimCommandFile(const std::string& dosPath) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(1000);
    const auto emptyPatience = Clock::now() + std::chrono::milliseconds(200);
    std::string claimed = PrivateName(dosPath, "claim");
    for (;;) {
        if (!plat::PathExists(dosPath)) return std::nullopt;
        bool hasData = FileSize(dosPath) > 0 || Clock::now() > emptyPatience;
        if (hasData) {
            plat::File guard;  // no writer can hold the file while this is open
            plat::FileError error = plat::FileError::kNone;
            if (guard.Open(dosPath, plat::kFileRead | plat::kShareDenyWrite, &error)) {
                bool renamed = Rename(dosPath, claimed);
                guard.Close();
                if (renamed) break;
            } else if (error == plat::FileError::kNotFound) {
                return std::nullopt;
            }
        }
        if (Clock::now() > deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    std::vector<std::string> lines = ReadLines(claimed);
    plat::RemoveFile(claimed);
    return lines;
}

bool PublishAnswerFile(const std::string& dosPath, const std::string& text, uint32_t holdLockMs) {
    std::string temp = PrivateName(dosPath, "new");
    plat::File file;
    if (!file.Open(temp, plat::kFileWrite | plat::kFileCreate | plat::kFileText)) return false;
    bool ok = file.Write(text) && file.Flush();
    if (ok && holdLockMs > 0) {
        ok = Rename(temp, dosPath);
        if (ok) plat::Sleep(holdLockMs);
        file.Close();
    } else {
        ok = file.Close() && ok && Rename(temp, dosPath);
    }
    if (!ok) plat::RemoveFile(temp);
    return ok;
}

std::string Number(double value) { return CRT_LOCALE_INDEPENDANT::sprintf("%12.6f", value); }

}  // namespace cmmsim
