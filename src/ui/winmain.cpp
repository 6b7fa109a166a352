// Corvix.exe: the entry point of the Windows program.
#include <windows.h>

#include "ui/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  return corvix::ui::RunCorvix(instance, showCommand);
}
