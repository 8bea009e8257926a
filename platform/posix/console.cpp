// Whether standard input is a terminal, for the tools' interactive prompts,
// and writes to a closed pipe as plain failures.
#include "platform/platform.h"

#include <csignal>
#include <unistd.h>

namespace plat {

bool StandardInputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace plat
