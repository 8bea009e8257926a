// Claiming command files and publishing answers (see exchange_files.h).
#include "exchange_files.h"

#include "platform/platform.h"

#include <atomic>
#include <charconv>
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
    std::string claimed = PrivateName(dosPath, "claim");
    // Renamed away before anything else: the writer's next command then
    // creates a new file and never finds this one held open by the macro,
    // which would cost the plug-in a "Cannot Open". (On Windows the writer's
    // open handle refuses the rename, so this waits for it to close.)
    while (!Rename(dosPath, claimed)) {
        if (!plat::PathExists(dosPath) || Clock::now() > deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    // A writer that opened the file before the rename still writes into it:
    // read once it has closed, and give an empty file a moment to fill.
    const auto emptyPatience = Clock::now() + std::chrono::milliseconds(200);
    for (;;) {
        // An empty file is not opened at all: its writer may be between its
        // create and its lock, and our open would refuse it that lock.
        if (FileSize(claimed) > 0 || Clock::now() > emptyPatience) {
            plat::File guard;  // no writer can hold the file while this is open
            if (guard.Open(claimed, plat::kFileRead | plat::kShareDenyWrite)) break;
        }
        if (Clock::now() > deadline) break;
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
    ok = file.Close() && ok && Rename(temp, dosPath);
    if (!ok) {
        plat::RemoveFile(temp);
        return false;
    }
    // Windows refuses to rename a file someone holds open, so the lock is
    // taken again under the final name. A reader quick enough to open it in
    // between reads a whole answer: only the lock is missed, never the data.
    if (holdLockMs > 0) {
        plat::File lock;
        bool held = lock.Open(dosPath, plat::kFileRead);
        plat::Sleep(held ? holdLockMs : 0);
    }
    return true;
}

std::string Number(double value) {
    // to_chars never looks at the locale: "." whatever the user set.
    char digits[400];
    std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 6);
    std::string text(digits, end.ec == std::errc() ? end.ptr : digits);
    return text.size() < 12 ? std::string(12 - text.size(), ' ') + text : text;
}

}  // namespace cmmsim
