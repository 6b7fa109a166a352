// Drive letters of SCSI units from the hardware enumeration tree:
// HKEY_LOCAL_MACHINE "ENUM\SCSI\<device key name>\<first instance>", value
// "CurrentDriveLetterAssignment". Systems of the NT family have no such tree;
// there the lookup answers false and the transport finds the letter.
#include <windows.h>

#include <string>

#include "media/cdrom_drives.h"

namespace corvix {
namespace {

// Closes an open key on every path.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  bool Open(HKEY parent, const char* name) {
    return RegOpenKeyExA(parent, name, 0, KEY_READ, &key_) == ERROR_SUCCESS;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

class Win32DriveLetterRegistry : public DriveLetterRegistry {
 public:
  bool ReadDriveLetterAssignment(const char* deviceKeyName, uint8_t value[2]) override {
    const std::string path = std::string("ENUM\\SCSI\\") + deviceKeyName;
    RegistryKey device;
    if (!device.Open(HKEY_LOCAL_MACHINE, path.c_str())) return false;
    char instance[MAX_PATH] = {};
    DWORD instanceChars = sizeof instance;
    if (RegEnumKeyExA(device.get(), 0, instance, &instanceChars, nullptr, nullptr, nullptr,
                      nullptr) != ERROR_SUCCESS) {
      return false;
    }
    RegistryKey unit;
    if (!unit.Open(device.get(), instance)) return false;
    // Room for a longer value than the one letter we use, so that a value
    // stored with padding is still read.
    BYTE bytes[16] = {};
    DWORD size = sizeof bytes;
    if (RegQueryValueExA(unit.get(), "CurrentDriveLetterAssignment", nullptr, nullptr, bytes,
                         &size) != ERROR_SUCCESS) {
      return false;
    }
    value[0] = bytes[0];
    value[1] = bytes[1];
    return true;
  }
};

}  // namespace

DriveLetterRegistry& PlatformDriveLetterRegistry() {
  static Win32DriveLetterRegistry registry;
  return registry;
}

}  // namespace corvix
