#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

#include "cli/terminal.h"

namespace corvix::cli {

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

int StderrColumns() {
  winsize size{};
  return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

void CatchConsoleStops(void (*stop)(int)) { std::signal(SIGHUP, stop != nullptr ? stop : SIG_DFL); }

}  // namespace corvix::cli
