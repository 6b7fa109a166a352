// Disc images as a sector source.
//
// Layouts, told from the file's bytes rather than its name:
//  - plain images of 2048-byte user-data sectors (.iso, .img, anything);
//  - raw images of 2352-byte sectors (.bin): Mode 1 (user data at byte 16)
//    and Mode 2 Form 1 (user data at byte 24), found by the sync pattern;
//  - cue sheets: the first data track of the image file the sheet names.
// Sectors past the end of the image read as nothing (the caller's zeros) and
// the read reports failure, as an unreadable disc would.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "media/sector_source.h"

namespace corvix {

enum class ImageLayout {
  kUser2048,    // 2048 bytes per sector, user data only
  kRawMode1,    // 2352 bytes per sector, Mode 1
  kRawMode2Form1,  // 2352 bytes per sector, Mode 2 (XA) Form 1
};

class DiscImage : public SectorSource {
 public:
  ~DiscImage() override;

  // Opens path (an image or a cue sheet). On failure returns null and sets
  // *error to a short reason ("cannot open …: No such file or directory",
  // "cue sheet names no data track", …).
  static std::unique_ptr<DiscImage> Open(const std::string& path, std::string* error);

  bool ReadSectors(uint32_t lba, uint16_t count, uint8_t* buffer, uint32_t size) override;
  std::string Describe() const override;
  std::vector<std::string> Files() const override;
  std::optional<uint64_t> SectorCount() const override { return sectorCount(); }

  ImageLayout layout() const;
  // Number of whole sectors the image holds from the data track's start.
  uint32_t sectorCount() const;

  struct Impl;

 private:
  explicit DiscImage(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace corvix
