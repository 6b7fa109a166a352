// The terminal under the command line: whether stderr is one, and the
// requests to stop that it makes besides Ctrl-C and SIGTERM.
#pragma once

namespace corvix::cli {

// True when stderr is a terminal (one implementation per platform).
bool StderrIsTerminal();

// The width of the terminal stderr writes to, in columns, as the system
// tells it now (it changes when the window does); 0 when it doesn't.
int StderrColumns();

// While set, the console's other requests to stop call stop(SIGTERM), as
// SIGTERM itself does: SIGHUP (the terminal went away) on POSIX systems;
// Ctrl-Break, closing the console window, logoff and shutdown on Windows,
// where the process is then given the few seconds Windows allows to clean
// up. Null: no longer.
void CatchConsoleStops(void (*stop)(int));

}  // namespace corvix::cli
