#include <io.h>
#include <stdio.h>
#include <windows.h>

#include <csignal>

#include "cli/terminal.h"

namespace corvix::cli {

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

int StderrColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

namespace {

void (*volatile g_stop)(int) = nullptr;

// Runs on a thread of its own. Ctrl-C is left to the C runtime (SIGINT).
BOOL WINAPI OnConsoleStop(DWORD event) {
  void (*stop)(int) = g_stop;
  if (stop == nullptr || event == CTRL_C_EVENT) return FALSE;
  stop(SIGTERM);
  // Windows ends the process once this returns from a close, logoff or
  // shutdown: the job gets the time Windows allows to clean up, and the
  // process ends sooner when the job is done.
  if (event != CTRL_BREAK_EVENT) Sleep(4500);
  return TRUE;
}

}  // namespace

void CatchConsoleStops(void (*stop)(int)) {
  g_stop = stop;
  SetConsoleCtrlHandler(OnConsoleStop, stop != nullptr ? TRUE : FALSE);
}

}  // namespace corvix::cli
