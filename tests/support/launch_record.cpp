// Programs in tests: the recording program that stands in for vendor
// programs the plug-in starts (copied into the sandbox under the vendor
// program's name, and what it wrote when it ran read back), and programs run
// to their end.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace testsupport {

namespace fs = std::filesystem;

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
    ProgramRun run;
    if (!child.Start(command.program, command.args, input)) {
        ADD_FAILURE() << "cannot start " << command.program;
        return run;
    }
    run.finished = child.Wait(realMs);
    if (!run.finished) {
        child.Kill();
        ADD_FAILURE() << command.program << " did not end within " << realMs << " ms";
    }
    run = {run.finished, child.ExitCode(), child.Output(), child.Errors()};
    return run;
}

bool SamePath(const std::string& nativeA, const std::string& nativeB) {
    std::error_code error;
    return fs::equivalent(nativeA, nativeB, error);
}

}  // namespace testsupport
