// The end-to-end driver: starts Corvix.exe (beside the stand-in
// WNASPI32.dll) and works it from this process as a person would, one flow
// per run:
//   corvix_e2e FLOW PROGRAM_FOLDER SCREENSHOT_FOLDER
// (and, as the shell's handler of .html files during the Help flow,
//   corvix_e2e record-open RECORD_FILE FILE)
// Prints each step, every failed check with its flow and step, and
// "N passed, N failed"; exits 0 only when every check passed.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "checks.h"
#include "flows.h"

int main(int argc, char** argv) {
  using namespace corvix;
  // The shell's "open" of a file during the Help flow: note the file's path.
  if (argc == 4 && std::strcmp(argv[1], "record-open") == 0) {
    FILE* record = std::fopen(argv[2], "a");
    if (record == nullptr) return 1;
    std::fprintf(record, "%s\n", argv[3]);
    std::fclose(record);
    return 0;
  }
  if (argc != 4) {
    std::fprintf(stderr, "usage: corvix_e2e FLOW PROGRAM_FOLDER SCREENSHOT_FOLDER\n");
    return 2;
  }
  const e2e::Flow* flow = e2e::FindFlow(argv[1]);
  if (flow == nullptr) {
    std::fprintf(stderr, "corvix_e2e: no flow \"%s\"\n", argv[1]);
    return 2;
  }
  e2e::Paths paths;
  paths.programFolder = e2e::WithSlash(argv[2]);
  paths.screenshots = e2e::WithSlash(argv[3]);
  CreateDirectoryA(paths.screenshots.c_str(), nullptr);
  // Drive C: of the prefix: short paths for the folder browser to walk.
  CreateDirectoryA("C:\\e2e", nullptr);
  paths.work = std::string("C:\\e2e\\") + flow->name + "\\";
  e2e::RemoveTree(paths.work);
  CreateDirectoryA(paths.work.c_str(), nullptr);

  const DWORD start = GetTickCount();
  flow->run(paths);
  const wine::Tally& tally = wine::Checks();
  std::printf("flow %s: %d passed, %d failed (%.1f s)\n", flow->name, tally.passed, tally.failed,
              (GetTickCount() - start) / 1000.0);
  std::printf("screenshots in %s, files in %s\n", paths.screenshots.c_str(), paths.work.c_str());
  return tally.failed == 0 && tally.passed > 0 ? 0 : 1;
}
