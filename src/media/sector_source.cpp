#include "media/sector_source.h"

namespace corvix {
namespace {
SectorSource* g_source = nullptr;
}

void SetSectorSource(SectorSource* source) { g_source = source; }

SectorSource* CurrentSectorSource() { return g_source; }

bool ReadSectors(uint32_t lba, uint16_t count, void* buffer, uint32_t size) {
  if (g_source == nullptr || buffer == nullptr) return false;
  return g_source->ReadSectors(lba, count, static_cast<uint8_t*>(buffer), size);
}

}  // namespace corvix
