// cmmhost run: not available yet in this build.
#include "commands.h"

#include <cstdio>

int CmdRun(int, char**) {
    std::fputs("cmmhost: 'run' is not available in this build\n", stderr);
    return 2;
}
