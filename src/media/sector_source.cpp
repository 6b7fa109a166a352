#include "media/sector_source.h"

#include <cstdio>
#include <string>

#include "common/messages.h"
#include "common/user_messages.h"

namespace corvix {
namespace {
SectorSource* g_source = nullptr;
}  // namespace

void SetSectorSource(SectorSource* source) { g_source = source; }

SectorSource* CurrentSectorSource() { return g_source; }

bool ReadSectors(uint32_t lba, uint16_t count, void* buffer, uint32_t size) {
  if (g_source == nullptr || buffer == nullptr) return false;
  return g_source->ReadSectors(lba, count, static_cast<uint8_t*>(buffer), size);
}

int LockMedium() { return g_source == nullptr || g_source->PreventAllowRemoval(true) ? 1 : 0; }

int UnlockMedium() {
  return g_source == nullptr || g_source->PreventAllowRemoval(false) ? 1 : 0;
}

int EnsureMediumReady() {
  if (g_source == nullptr) return 1;
  for (;;) {
    const uint8_t senseKey = static_cast<uint8_t>(g_source->TestUnitReady() >> 16);
    if (senseKey == kSenseUnitAttention) {
      RequestRefresh();
      return 1;
    }
    if (senseKey != kSenseNotReady) return 1;
    const std::string text =
        g_source->DriveName() + " is not accessible\n\nThe device is not ready";
    const int answer = ShowMessageBox(text.c_str(), kCaption, kMbRetryCancel | kMbIconStop);
    if (answer == kIdCancel) return 0;
    if (answer != kIdRetry) return 1;
  }
}

int ReadWithLockedMedium(const std::function<int()>& read) {
  if (!EnsureMediumReady()) return 0;
  MediumLock lock;
  return read();
}

}  // namespace corvix
