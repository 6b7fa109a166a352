// The sector-source seam: where the disk reader's 2048-byte sectors come from.
//
// The reader never knows whether it reads a disc image or a drive; it calls
// ReadSectors, which asks the current source. Sources: a disc image file
// (2048- or 2352-byte sectors, cue sheets), SCSI drives, and in-memory images
// in tests.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvix {

constexpr uint32_t kSectorBytes = 2048;

// Sense keys of a readiness answer (TestUnitReady, bits 16-23).
constexpr uint8_t kSenseNotReady = 2;
constexpr uint8_t kSenseUnitAttention = 6;

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

  // The files the source reads (an image; a cue sheet and the file it
  // names), which a job must never write over. None for a drive.
  virtual std::vector<std::string> Files() const { return {}; }

  // How many sectors an image holds: past them there is nothing, and a
  // read there is the end of the data, not damage. None for a drive, whose
  // unreadable sectors are damage wherever they lie.
  virtual std::optional<uint64_t> SectorCount() const { return std::nullopt; }

  // How the user knows the drive holding the medium, for the not-ready
  // question: "E:\\" for a drive with a letter; the description otherwise.
  virtual std::string DriveName() const { return Describe(); }

  // Readiness in the form of ScsiTestUnitReady: target status in bits 24-31,
  // sense key in 16-23, additional sense code and qualifier below; 0 when the
  // medium can be read. Images are always ready.
  virtual uint32_t TestUnitReady() { return 0; }

  // Locks (prevent) or unlocks the medium in its drive. False when the
  // command could not be issued. Images have nothing to lock.
  virtual bool PreventAllowRemoval(bool prevent) {
    (void)prevent;
    return true;
  }
};

// The source ReadSectors reads from; none until a front end sets one. Not
// owned: the caller keeps it alive while it is current.
void SetSectorSource(SectorSource* source);
SectorSource* CurrentSectorSource();

// Reads count sectors at lba from the current source into buffer (size
// bytes). Returns false when nothing is current or the source reports a
// failed read; the buffer keeps the caller's zeros where nothing arrived.
bool ReadSectors(uint32_t lba, uint16_t count, void* buffer, uint32_t size);

// Locks and unlocks the current source's medium; 1, or 0 when the command
// could not be issued. With no source current there is nothing to lock (1).
int LockMedium();
int UnlockMedium();

// Makes sure the current source can be read: 1 to go on, 0 when the user
// cancelled. A drive that is not ready (sense key 2) asks "%c:\ is not
// accessible\n\nThe device is not ready" (Retry/Cancel, caption "Veltrex
// Corvix", stop icon) until it is ready or the user cancels; a changed medium
// (sense key 6) sends "Refresh" through the user-messages seam and goes on;
// every other answer goes on. When the drive has no letter the question names
// the source (its Describe()) in place of "X:\".
int EnsureMediumReady();

// Holds the medium locked for as long as it lives: locks on construction,
// unlocks on destruction, so every way out of a reading command unlocks.
class MediumLock {
 public:
  MediumLock() { LockMedium(); }
  ~MediumLock() { UnlockMedium(); }
  MediumLock(const MediumLock&) = delete;
  MediumLock& operator=(const MediumLock&) = delete;
};

// What a command that reads the disc does around its reading: makes sure the
// medium is ready, locks it, runs read and unlocks on every path. Returns 0
// when the user cancelled (nothing is locked, read does not run), else read's
// answer.
int ReadWithLockedMedium(const std::function<int()>& read);

}  // namespace corvix
