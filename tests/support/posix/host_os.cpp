// Which half of the platform seam the tests run on: the posix half, whose
// desktop is a folder of window files and whose message boxes answer
// themselves when no host UI is installed.
#include "support/test_support.h"

namespace testsupport {

bool RunsOnWin32() { return false; }

std::string ProgramPath(const std::string& name) { return std::string(CMM_BIN_DIR) + "/" + name; }

}  // namespace testsupport
