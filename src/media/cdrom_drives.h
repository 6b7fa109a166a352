// CD-ROM drive discovery: the drive letter of a SCSI unit and the logic of
// the CD-ROM menu.
//
// The menu itself belongs to the GUI; it is reached through CdromMenu, so the
// choices made here (identifiers 140-199, the first device current, the radio
// mark, the "ASSERT" messages) are the same for every front end and for tests.
#pragma once

#include <cstdint>

#include "media/scsi_device.h"

namespace corvix {

constexpr int kFirstCdromCommand = 140;
constexpr int kLastCdromCommand = 199;
constexpr int kDeviceKeyNameChars = 25;  // vendor 8 + product 16 + revision 1

// Name of the device's key in the hardware enumeration tree, built by
// BuildDeviceKeyName.
extern char DeviceKeyName[kDeviceKeyNameChars + 1];

// Vendor (8 characters as stored), product (16) and the revision's first
// character, every space replaced by '_': "ABC_____CD-ROM_DRIVE_40X1".
void BuildDeviceKeyName(const ScsiDevice& device);

// Where the registry keeps drive letters of SCSI units. The Windows
// implementation reads HKEY_LOCAL_MACHINE "ENUM\SCSI\<key name>", its first
// subkey and that key's "CurrentDriveLetterAssignment"; systems without that
// tree have none.
class DriveLetterRegistry {
 public:
  virtual ~DriveLetterRegistry() = default;
  // Fills value with the first two bytes of the device's drive-letter
  // assignment. False when a key or the value is missing.
  virtual bool ReadDriveLetterAssignment(const char* deviceKeyName, uint8_t value[2]) = 0;
};

// The platform's registry (nothing found on systems without one).
DriveLetterRegistry& PlatformDriveLetterRegistry();
// The registry LookUpDriveLetter asks; the platform's unless a test installs
// its own. Not owned; null restores the platform's.
void SetDriveLetterRegistry(DriveLetterRegistry* registry);

// Finds the drive letter of CurrentDevice: first from the registry entry named
// DeviceKeyName, else from the current transport (SCSI pass-through knows it,
// ASPI matches the unit's address against the system's CD-ROM drives). Sets
// CurrentDriveLetter and CurrentDriveIndex (letter - 'A') and answers 1;
// answers 0 and leaves both as they were when neither knows a letter A-Z.
int LookUpDriveLetter();

// Makes device the CurrentDevice and finds its key name and drive letter.
void MakeDeviceCurrent(const ScsiDevice& device);

// "%s line:%d" with the source name "cdrom", titled "ASSERT": a failed
// internal check. The program goes on.
void ShowCdromAssert(int line);

// The main window's CD-ROM menu as the discovery logic sees it. Positions
// count from 0; identifiers are command identifiers.
class CdromMenu {
 public:
  virtual ~CdromMenu() = default;
  virtual bool HasMainMenu() = 0;
  virtual bool HasPopup() = 0;  // the "CD&ROM" pop-up, position 3
  // Replaces the item at position 0 (the "No CDROM Found" placeholder) by an
  // enabled item.
  virtual bool ReplaceFirstItem(const char* text, int identifier) = 0;
  virtual bool AppendItem(const char* text, int identifier) = 0;
  virtual bool CheckRadioByPosition(int first, int last, int chosen) = 0;
  virtual bool CheckRadioByCommand(int first, int last, int chosen) = 0;
  virtual bool Redraw() = 0;
};

// Adds one item per device ("vendor product", identifier 140 + i, at most 60;
// the 61st and later give an ASSERT message and are left out), makes the
// first device current and marks it. Returns what Redraw answered (0 when the
// menu is missing).
int BuildCdromMenu(CdromMenu& menu, ScsiDevice* list);

// The user chose identifier: moves the radio mark, makes the device at
// identifier - 140 current and asks for "Refresh". A failed check shows an
// ASSERT message and changes nothing.
void SelectCdrom(CdromMenu& menu, ScsiDevice* list, int identifier);

}  // namespace corvix
