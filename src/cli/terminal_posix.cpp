#include <unistd.h>

#include <csignal>

#include "cli/terminal.h"

namespace corvix::cli {

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void CatchConsoleStops(void (*stop)(int)) { std::signal(SIGHUP, stop != nullptr ? stop : SIG_DFL); }

}  // namespace corvix::cli
