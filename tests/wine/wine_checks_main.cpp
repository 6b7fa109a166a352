// The Windows-side tests, run under Wine: the ASPI transport through the
// stand-in WNASPI32.dll, and the SCSI pass-through transport through a fake
// DeviceIoControl.
#include <cstdio>

#include "checks.h"

namespace corvix::wine {

void RunAspiChecks();
void RunPassThroughChecks();

namespace {
const char* g_section = "";
}

Tally& Checks() {
  static Tally tally;
  return tally;
}

void Section(const char* name) {
  g_section = name;
  std::printf("-- %s\n", name);
  std::fflush(stdout);
}

bool Check(bool ok, const char* what, const char* file, int line, const std::string& detail) {
  if (ok) {
    ++Checks().passed;
    return true;
  }
  ++Checks().failed;
  std::printf("FAILED [%s] %s:%d: %s%s%s\n", g_section, file, line, what, detail.empty() ? "" : ": ",
              detail.c_str());
  std::fflush(stdout);
  return false;
}

}  // namespace corvix::wine

int main() {
  corvix::wine::RunPassThroughChecks();
  corvix::wine::RunAspiChecks();
  const auto& tally = corvix::wine::Checks();
  std::printf("%d passed, %d failed\n", tally.passed, tally.failed);
  return tally.failed == 0 && tally.passed > 0 ? 0 : 1;
}
