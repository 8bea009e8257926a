// Whether standard input is a console, for the tools' interactive prompts.
#include "platform/platform.h"

#include <io.h>
#include <stdio.h>

namespace plat {

bool StandardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

// A closed pipe makes the write fail here; there is no signal to ignore.
void IgnoreBrokenPipes() {}

}  // namespace plat
