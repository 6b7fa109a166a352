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
// Corvix.exe itself, then the main window driven in this process.
void RunWindowChecks(const GuiPaths& paths);

}  // namespace corvix::wine
