// Choosing the Windows transport: ASPI when WNASPI32.dll is there and reports
// a working interface with a host adapter, else SCSI pass-through.
#include <string>

#include "media/aspi_transport.h"
#include "media/pass_through_transport.h"

namespace corvix {

std::unique_ptr<ScsiTransport> OpenPlatformScsiTransport(std::string* error) {
  std::string aspiError;
  if (auto aspi = OpenAspiTransport("WNASPI32.dll", &aspiError)) {
    const uint32_t info = aspi->SupportInfo();
    if (((info >> 8) & 0xFF) == 1 && (info & 0xFF) != 0) return aspi;
  }
  if (error != nullptr) error->clear();
  return MakePassThroughTransport(MakeWin32PassThroughSystem());
}

bool LooksLikeDevicePath(const std::string& path) { return DriveLetterOfPath(path) != 0; }

}  // namespace corvix
