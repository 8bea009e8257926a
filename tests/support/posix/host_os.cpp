// Which half of the platform seam the tests run on: the posix half, whose
// desktop is a folder of window files, whose message boxes answer themselves
// when no host UI is installed, and which has no registry.
#include "support/test_support.h"

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

namespace testsupport {

bool RunsOnWin32() { return false; }

std::string SandboxBase() {
    if (const char* chosen = std::getenv("CMM_TEST_TMPDIR")) return chosen;
    if (::access("/dev/shm", W_OK | X_OK) == 0) return "/dev/shm";
    return std::filesystem::temp_directory_path().string();
}

std::string ProgramPath(const std::string& name) { return std::string(CMM_BIN_DIR) + "/" + name; }

Command OnPseudoTerminal(const std::string& program, const std::vector<std::string>& args) {
    const char* const script = "/usr/bin/script";
    if (!std::filesystem::exists(script)) return {};
    std::string line = "'" + program + "'";
    for (const std::string& arg : args) line += " '" + arg + "'";
    // -e: its exit code is the program's; /dev/null: no typescript file.
    return {script, {"-qec", line, "/dev/null"}};
}

bool DeleteRegistryKey(const std::string&) { return false; }

}  // namespace testsupport
