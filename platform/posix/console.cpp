// Whether standard input is a terminal, for the tools' interactive prompts.
#include "platform/platform.h"

#include <unistd.h>

namespace plat {

bool StandardInputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

}  // namespace plat
