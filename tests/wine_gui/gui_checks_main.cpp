// The Windows program's checks, run under Wine with an X server:
//   corvix_gui_checks PROGRAM_FOLDER SCREENSHOT_FOLDER
// PROGRAM_FOLDER holds Corvix.exe and the stand-in WNASPI32.dll (as does
// this program's own folder); the screenshots are written as PNG files.
#include <windows.h>

#include <cstdio>
#include <string>

#include "../wine/checks.h"
#include "gui_checks.h"

namespace corvix::wine {
namespace {

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

}  // namespace
}  // namespace corvix::wine

int main(int argc, char** argv) {
  using namespace corvix::wine;
  if (argc != 3) {
    std::fprintf(stderr, "usage: corvix_gui_checks PROGRAM_FOLDER SCREENSHOT_FOLDER\n");
    return 2;
  }
  GuiPaths paths;
  paths.programFolder = WithSlash(argv[1]);
  paths.screenshots = WithSlash(argv[2]);
  CreateDirectoryA(paths.screenshots.c_str(), nullptr);
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  paths.work = WithSlash(std::string(temp) + "corvix-gui-" + std::to_string(GetCurrentProcessId()));
  CreateDirectoryA(paths.work.c_str(), nullptr);

  RunResourceChecks(paths.programFolder + "Corvix.exe");
  RunWindowChecks(paths);

  const Tally& tally = Checks();
  std::printf("%d passed, %d failed\n", tally.passed, tally.failed);
  std::printf("screenshots in %s\n", paths.screenshots.c_str());
  return tally.failed == 0 && tally.passed > 0 ? 0 : 1;
}
