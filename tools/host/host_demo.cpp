// cmmhost demo: not available yet in this build.
#include "commands.h"

#include <cstdio>

int CmdDemo(int, char**) {
    std::fputs("cmmhost: 'demo' is not available in this build\n", stderr);
    return 2;
}
