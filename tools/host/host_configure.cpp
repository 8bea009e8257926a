// cmmhost configure: not available yet in this build.
#include "commands.h"

#include <cstdio>

int CmdConfigure(int, char**) {
    std::fputs("cmmhost: 'configure' is not available in this build\n", stderr);
    return 2;
}
