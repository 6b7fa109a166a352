#include "media/cdrom_drives.h"

#include <cstdio>
#include <cstring>

#include "common/user_messages.h"

namespace corvix {

char DeviceKeyName[kDeviceKeyNameChars + 1];

namespace {

DriveLetterRegistry* g_registry = nullptr;

DriveLetterRegistry& Registry() {
  return g_registry != nullptr ? *g_registry : PlatformDriveLetterRegistry();
}

// Appends n characters of text (stopping early at its terminator).
size_t AppendChars(char* to, size_t at, const char* text, size_t n) {
  for (size_t i = 0; i < n && text[i] != '\0' && at < kDeviceKeyNameChars; ++i) to[at++] = text[i];
  return at;
}

char UpperLetter(uint8_t c) {
  if (c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 'a' + 'A');
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c) : 0;
}

void SetDriveLetter(char letter) {
  CurrentDriveLetter = letter;
  CurrentDriveIndex = static_cast<uint16_t>(letter - 'A');
}

}  // namespace

void BuildDeviceKeyName(const ScsiDevice& device) {
  std::memset(DeviceKeyName, 0, sizeof DeviceKeyName);
  size_t at = AppendChars(DeviceKeyName, 0, device.vendor, 8);
  at = AppendChars(DeviceKeyName, at, device.product, 16);
  AppendChars(DeviceKeyName, at, device.revision, 1);
  for (char& c : DeviceKeyName) {
    if (c == ' ') c = '_';
  }
}

void SetDriveLetterRegistry(DriveLetterRegistry* registry) { g_registry = registry; }

int LookUpDriveLetter() {
  uint8_t value[2] = {};
  if (Registry().ReadDriveLetterAssignment(DeviceKeyName, value)) {
    // The value is a one-letter text; its terminator is not part of the index.
    if (const char letter = UpperLetter(value[0]); letter != 0) {
      SetDriveLetter(letter);
      return 1;
    }
  }
  if (ScsiTransport* transport = CurrentScsiTransport(); transport != nullptr) {
    if (const char letter = UpperLetter(static_cast<uint8_t>(transport->DriveLetter(CurrentDevice)));
        letter != 0) {
      SetDriveLetter(letter);
      return 1;
    }
  }
  return 0;
}

void MakeDeviceCurrent(const ScsiDevice& device) {
  CurrentDevice = {device.hostAdapter, device.target, device.lun};
  BuildDeviceKeyName(device);
  LookUpDriveLetter();
}

void ShowCdromAssert(int line) {
  char text[64];
  std::snprintf(text, sizeof text, "%s line:%d", "cdrom", line);
  ShowMessageBox(text, "ASSERT", kMbOk);
}

int BuildCdromMenu(CdromMenu& menu, ScsiDevice* list) {
  if (!menu.HasMainMenu()) {
    ShowCdromAssert(__LINE__);
    return 0;
  }
  if (!menu.HasPopup()) {
    ShowCdromAssert(__LINE__);
    return 0;
  }
  int added = 0;
  for (ScsiDevice* device = list; device != nullptr; device = device->next) {
    const int identifier = kFirstCdromCommand + added;
    if (identifier > kLastCdromCommand) {
      ShowCdromAssert(__LINE__);
      break;
    }
    char text[8 + 1 + 16 + 1];
    std::snprintf(text, sizeof text, "%s %s", device->vendor, device->product);
    bool placed;
    if (added == 0) {
      placed = menu.ReplaceFirstItem(text, identifier);
      MakeDeviceCurrent(*device);
    } else {
      placed = menu.AppendItem(text, identifier);
    }
    if (!placed) ShowCdromAssert(__LINE__);
    ++added;
  }
  if (added > 0) menu.CheckRadioByPosition(0, added - 1, 0);
  const bool drawn = menu.Redraw();
  if (!drawn) ShowCdromAssert(__LINE__);
  return drawn ? 1 : 0;
}

void SelectCdrom(CdromMenu& menu, ScsiDevice* list, int identifier) {
  if (identifier < kFirstCdromCommand || identifier > kLastCdromCommand) {
    ShowCdromAssert(__LINE__);
    return;
  }
  if (!menu.HasMainMenu() || !menu.HasPopup()) {
    ShowCdromAssert(__LINE__);
    return;
  }
  if (list == nullptr) {
    ShowCdromAssert(__LINE__);
    return;
  }
  ScsiDevice* device = list;
  for (int step = kFirstCdromCommand; step < identifier && device != nullptr; ++step) {
    device = device->next;
  }
  if (device == nullptr) {
    ShowCdromAssert(__LINE__);
    return;
  }
  menu.CheckRadioByCommand(kFirstCdromCommand, kLastCdromCommand, identifier);
  MakeDeviceCurrent(*device);
  RequestRefresh();
}

}  // namespace corvix
