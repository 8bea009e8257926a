// Which half of the platform seam the tests run on: the win32 half, with
// real windows, real message boxes and the real registry.
#include "support/test_support.h"

#include <filesystem>

namespace testsupport {

bool RunsOnWin32() { return true; }

std::string SandboxBase() { return std::filesystem::temp_directory_path().string(); }

// Beside the running test program: the build folder's posix path means
// nothing to Windows programs.
std::string ProgramPath(const std::string& name) {
    std::string self = plat::CurrentExecutablePath();
    std::string folder = self.substr(0, self.find_last_of("\\/"));
    return folder + "\\" + name + (name.find('.') == std::string::npos ? ".exe" : "");
}

Command OnPseudoTerminal(const std::string&, const std::vector<std::string>&) { return {}; }

}  // namespace testsupport
