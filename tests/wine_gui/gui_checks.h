// Shared by the Windows program's checks.
#pragma once

#include <string>

namespace corvix::wine {

struct GuiPaths {
  std::string programFolder;  // holds Corvix.exe and the stand-in DLL; ends in '\'
  std::string screenshots;    // folder for the PNG files; ends in '\'
  std::string work;           // a scratch folder; ends in '\'
};

// Menus, dialogs, strings, bitmaps and the icon of the program file.
void RunResourceChecks(const std::string& programPath);
// The main window created in this process, for what the end-to-end tests
// can't reach from outside (pane layout, device-change notices).
void RunWindowChecks(const GuiPaths& paths);

}  // namespace corvix::wine
