#include <io.h>
#include <stdio.h>

#include "cli/terminal.h"

namespace corvix::cli {

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace corvix::cli
