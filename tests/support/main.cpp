// The shared main of every test binary: runs a helper mode when asked to,
// otherwise the tests. ctest runs each test in a process of its own with a
// time limit, so a hang ends there, named.
#include "support/test_support.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testsupport::SetSelfPath(argv[0]);
    int exitCode = 0;
    if (testsupport::RunChildMode(argc, argv, exitCode)) return exitCode;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
