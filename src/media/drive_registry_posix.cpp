// Systems without a registry: no drive-letter assignments to find.
#include "media/cdrom_drives.h"

namespace corvix {
namespace {

class NoDriveLetterRegistry : public DriveLetterRegistry {
 public:
  bool ReadDriveLetterAssignment(const char*, uint8_t*) override { return false; }
};

}  // namespace

DriveLetterRegistry& PlatformDriveLetterRegistry() {
  static NoDriveLetterRegistry registry;
  return registry;
}

}  // namespace corvix
