// The Windows-side tests, run under Wine: the ASPI transport through the
// stand-in WNASPI32.dll, and the SCSI pass-through transport through a fake
// DeviceIoControl.
#include <cstdio>

#include "checks.h"

namespace corvix::wine {

void RunAspiChecks();
void RunPassThroughChecks();

}  // namespace corvix::wine

int main() {
  corvix::wine::RunPassThroughChecks();
  corvix::wine::RunAspiChecks();
  const auto& tally = corvix::wine::Checks();
  std::printf("%d passed, %d failed\n", tally.passed, tally.failed);
  return tally.failed == 0 && tally.passed > 0 ? 0 : 1;
}
