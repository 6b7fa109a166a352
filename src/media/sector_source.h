// The sector-source seam: where the disk reader's 2048-byte sectors come from.
//
// The reader never knows whether it reads a disc image or a drive; it calls
// ReadSectors, which asks the current source. Sources: a disc image file
// (2048- or 2352-byte sectors, cue sheets), SCSI drives, and in-memory images
// in tests.
#pragma once

#include <cstdint>
#include <string>

namespace corvix {

constexpr uint32_t kSectorBytes = 2048;

class SectorSource {
 public:
  virtual ~SectorSource() = default;

  // Reads count sectors from lba into buffer (size bytes). Sectors that fit
  // in size are written; bytes of sectors that could not be read are left as
  // the caller set them (callers zero-fill first). Returns false when any
  // requested sector could not be delivered (past the end of an image, a
  // failed command).
  virtual bool ReadSectors(uint32_t lba, uint16_t count, uint8_t* buffer, uint32_t size) = 0;

  // A one-line description for messages: the image's path, the drive.
  virtual std::string Describe() const = 0;
};

// The source ReadSectors reads from; none until a front end sets one. Not
// owned: the caller keeps it alive while it is current.
void SetSectorSource(SectorSource* source);
SectorSource* CurrentSectorSource();

// Reads count sectors at lba from the current source into buffer (size
// bytes). Returns false when nothing is current or the source reports a
// failed read; the buffer keeps the caller's zeros where nothing arrived.
bool ReadSectors(uint32_t lba, uint16_t count, void* buffer, uint32_t size);

}  // namespace corvix
