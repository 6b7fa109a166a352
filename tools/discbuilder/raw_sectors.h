// Raw 2352-byte CD-ROM sectors and cue sheets for test images.
//
// The disc builder writes user data as 2048-byte sectors; these helpers wrap
// them the way a raw (.bin) dump of a data track holds them, so the image
// reader's raw and cue paths can be exercised with known contents.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvix::discbuilder {

enum class RawMode {
  kMode1,       // user data at byte 16
  kMode2Form1,  // XA subheader at byte 16, user data at byte 24
};

constexpr uint32_t kRawSectorBytes = 2352;

// Wraps user2048 (padded with zeros to a whole number of 2048-byte sectors)
// into raw sectors: sync, header with the sector's address as BCD minutes/
// seconds/frames (LBA + 150 frames) and mode byte, for Mode 2 the subheader
// (file 0, channel 0, submode "data", coding 0, written twice), then the user
// data. EDC and ECC are left zero: readers of images do not check them.
std::vector<uint8_t> WrapRawSectors(const std::vector<uint8_t>& user2048, RawMode mode);

// A cue sheet naming binFileName as one data track of raw sectors in mode.
// binFileName must not hold a double quote (a cue sheet cannot express one).
std::string MakeCueSheet(const std::string& binFileName, RawMode mode);

}  // namespace corvix::discbuilder
