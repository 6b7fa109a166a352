#include "raw_sectors.h"

#include <algorithm>
#include <cstring>

namespace corvix::discbuilder {
namespace {

constexpr size_t kUserBytes = 2048;
constexpr uint32_t kLeadInFrames = 150;  // LBA 0 is at 00:02:00
constexpr uint8_t kSubmodeData = 0x08;

uint8_t Bcd(uint32_t value) {
  value %= 100;
  return static_cast<uint8_t>(((value / 10) << 4) | (value % 10));
}

}  // namespace

std::vector<uint8_t> WrapRawSectors(const std::vector<uint8_t>& user2048, RawMode mode) {
  const size_t sectors = (user2048.size() + kUserBytes - 1) / kUserBytes;
  std::vector<uint8_t> raw(sectors * kRawSectorBytes, 0);
  for (size_t lba = 0; lba < sectors; ++lba) {
    uint8_t* s = raw.data() + lba * kRawSectorBytes;
    s[0] = 0x00;
    std::memset(s + 1, 0xFF, 10);
    s[11] = 0x00;
    const uint32_t frame = static_cast<uint32_t>(lba) + kLeadInFrames;
    s[12] = Bcd(frame / (60 * 75));
    s[13] = Bcd(frame / 75 % 60);
    s[14] = Bcd(frame % 75);
    size_t userOffset = 16;
    if (mode == RawMode::kMode1) {
      s[15] = 1;
    } else {
      s[15] = 2;
      const uint8_t subheader[4] = {0, 0, kSubmodeData, 0};
      std::memcpy(s + 16, subheader, 4);
      std::memcpy(s + 20, subheader, 4);
      userOffset = 24;
    }
    const size_t from = lba * kUserBytes;
    const size_t n = std::min(kUserBytes, user2048.size() - from);
    std::memcpy(s + userOffset, user2048.data() + from, n);
  }
  return raw;
}

std::string MakeCueSheet(const std::string& binFileName, RawMode mode) {
  return "FILE \"" + binFileName + "\" BINARY\n" +
         (mode == RawMode::kMode1 ? "  TRACK 01 MODE1/2352\n" : "  TRACK 01 MODE2/2352\n") +
         "    INDEX 01 00:00:00\n";
}

}  // namespace corvix::discbuilder
