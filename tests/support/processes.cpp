// Other processes in tests. Helper processes for cross-process tests: the
// test binary re-run with a helper mode as its single argument (the way
// ShellExecute passes parameters); the helper reports through marker files
// next to its subject, so the test needs no pipes or process handles. The
// recording program that stands in for vendor programs the plug-in starts
// (copied into the sandbox under the vendor program's name, and what it wrote
// when it ran read back). Programs run to their end.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {
namespace fs = std::filesystem;
namespace {

constexpr const char* kHoldMode = "--child-hold-lock";
// A helper never outlives a forgotten release by much.
constexpr int kHelperLifeRealMs = 20000;

std::string& SelfPath() {
    static std::string path;
    return path;
}

void Mark(const std::string& dosPath) {
    plat::File marker;
    marker.Open(dosPath, plat::kFileWrite | plat::kFileCreate);
}

// A helper may still hold its marker for a moment after the test saw it.
void Unmark(const std::string& dosPath) {
    if (!Eventually([&] { return !plat::PathExists(dosPath) || plat::RemoveFile(dosPath); }))
        ADD_FAILURE() << "cannot remove the marker " << dosPath;
}

// "<mode> <dos path>": open, report ".held" or ".refused", wait for ".release".
int HoldLock(const std::string& arguments) {
    std::istringstream in(arguments);
    unsigned mode = 0;
    in >> mode;
    std::string path;
    std::getline(in >> std::ws, path);
    plat::File file;
    if (!file.Open(path, mode)) {
        Mark(path + ".refused");
        return 1;
    }
    Mark(path + ".held");
    plat::WaitForPath(path + ".release", static_cast<uint32_t>(kHelperLifeRealMs * plat::TimeScale()));
    file.Close();
    return 0;
}

// The test binary as a DOS path (posix: through drive Z:, which a Sandbox maps to "/").
std::string SelfDosPath() {
    std::string path = SelfPath();
    if (path.empty() || path[0] != '/') return path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

}  // namespace

void SetSelfPath(const std::string& argv0) {
    SelfPath() = fs::absolute(argv0).string();
}

bool HoldFileInChild(const std::string& dosPath, unsigned mode) {
    for (const char* marker : {".held", ".refused", ".release"}) Unmark(dosPath + marker);
    std::string arguments = std::string(kHoldMode) + " " + std::to_string(mode) + " " + dosPath;
    if (!plat::ShellExecute(SelfDosPath(), arguments, "", plat::kSwHide)) return false;
    bool reported = Eventually([&] {
        return plat::PathExists(dosPath + ".held") || plat::PathExists(dosPath + ".refused");
    });
    return reported && plat::PathExists(dosPath + ".held");
}

void ReleaseHeldFile(const std::string& dosPath) { Mark(dosPath + ".release"); }

bool RunChildMode(int argc, char** argv, int& exitCode) {
    if (argc < 2) return false;
    // Windows splits the one parameter string at its spaces: join it again.
    std::string argument = argv[1];
    for (int i = 2; i < argc; ++i) argument += std::string(" ") + argv[i];
    std::string prefix = std::string(kHoldMode) + " ";
    if (argument.rfind(prefix, 0) != 0) return false;
    exitCode = HoldLock(argument.substr(prefix.size()));
    return true;
}

void InstallRecordingProgram(const std::string& dosPath) {
    const fs::path target = plat::NativePath(dosPath);
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    // Statically linked on Windows: the copy needs nothing beside it.
    fs::copy_file(ProgramPath("record_launch"), target, fs::copy_options::overwrite_existing, error);
    if (!error) fs::permissions(target, fs::perms::owner_all, fs::perm_options::add, error);
    if (error) ADD_FAILURE() << "cannot install the recording program as " << dosPath << ": " << error.message();
}

std::optional<LaunchRecord> ReadLaunchRecord(const std::string& dosFolder) {
    std::ifstream in(fs::path(plat::NativePath(dosFolder)) / "launched.txt", std::ios::binary);
    LaunchRecord record;
    if (!in || !std::getline(in, record.folder)) return std::nullopt;
    for (std::string line; std::getline(in, line);) record.args.push_back(line);
    return record;
}

ProgramRun RunProgram(const Command& command, const std::string& input, uint32_t realMs) {
    plat::ChildProcess child;
    if (!child.Start(command.program, command.args, input)) {
        ADD_FAILURE() << "cannot start " << command.program;
        return {};
    }
    const bool finished = child.Wait(realMs);
    if (!finished) {
        child.Kill();
        ADD_FAILURE() << command.program << " did not end within " << realMs << " ms";
    }
    return {finished, child.ExitCode(), child.Output(), child.Errors()};
}

bool SamePath(const std::string& nativeA, const std::string& nativeB) {
    std::error_code error;
    return fs::equivalent(nativeA, nativeB, error);
}

}  // namespace testsupport
