#include <unistd.h>

#include "cli/terminal.h"

namespace corvix::cli {

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace corvix::cli
