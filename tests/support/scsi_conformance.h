// What every SCSI transport must carry the same way: the program's commands
// byte for byte, and the drive's answers with what they mean. Shared by the
// native tests and the Windows-side checks, so it uses no GoogleTest.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "media/scsi_device.h"

namespace corvix::testing {

using ScsiBytes = std::vector<uint8_t>;

// A command the program sends to the current device, as the drive must get
// it, and the bytes of data it asks of the drive (0: none).
struct ScsiCommandCase {
  const char* name;
  std::function<void()> issue;
  ScsiBytes cdb;
  uint32_t dataLength;
};

constexpr uint16_t kConformanceReadSectors = 258;  // more than a byte can count

// Every command the program sends, to the current device (unlocking differs
// from locking only in byte 4, which the tray tests check); the read lands in
// buffer, which holds kConformanceReadSectors sectors. Byte 1 carries the LUN
// in every command but INQUIRY.
inline std::vector<ScsiCommandCase> ScsiCommandCases(uint8_t* buffer) {
  const ScsiAddress at = CurrentDevice;
  const auto lun = static_cast<uint8_t>(at.lun << 5);
  constexpr uint32_t kReadBytes = kConformanceReadSectors * kSectorBytes;
  return {
      {"INQUIRY", [at] { ScsiInquiry(at.hostAdapter, at.target, at.lun); }, {0x12, 0, 0, 0, 0x60, 0}, 96},
      {"READ(10) at the top of the address range",
       [buffer] { ScsiReadSectors(0xFEDCBA98, kConformanceReadSectors, buffer, kReadBytes); },
       {0x28, lun, 0xFE, 0xDC, 0xBA, 0x98, 0, 0x01, 0x02, 0}, kReadBytes},
      {"TEST UNIT READY", [at] { ScsiTestUnitReady(at.hostAdapter, at.target, at.lun); }, {0x00, lun, 0, 0, 0, 0}, 0},
      {"lock the tray", [at] { ScsiPreventAllowRemoval(at.hostAdapter, at.target, at.lun, 1); },
       {0x1E, lun, 0, 0, 1, 0}, 0},
  };
}

inline ScsiBytes FixedSense(uint8_t key, uint8_t asc, uint8_t ascq) {
  return {0x70, 0, key, 0, 0, 0, 0, 10, 0, 0, 0, 0, asc, ascq};
}

// A drive's answer to any command, and what the program makes of it: whether
// a read of kAnswerReadSectors sectors succeeds, and what TEST UNIT READY
// reports (status << 24 | sense key << 16 | ASC << 8 | ASCQ).
struct ScsiAnswerCase {
  const char* name;
  bool refused;      // the interface refuses the request
  uint8_t status;    // SCSI status byte
  ScsiBytes sense;   // as the drive returns it
  uint32_t shortBy;  // data bytes the drive leaves out
  bool readOk;
  uint32_t unitReady;
};

constexpr uint16_t kAnswerReadSectors = 4;

inline std::vector<ScsiAnswerCase> ScsiAnswerCases() {
  return {
      {"good", false, 0, {}, 0, true, 0},
      {"not ready", false, 2, FixedSense(2, 0x04, 0x01), 0, false, 0x02020401},
      {"no medium, flag bits above the sense key", false, 2, FixedSense(0x82, 0x3A, 0), 0, false, 0x02023A00},
      {"medium error", false, 2, FixedSense(3, 0x11, 0x05), 0, false, 0x02031105},
      {"short transfer", false, 0, {}, kSectorBytes, false, 0},
      {"refused", true, 0, {}, 0, false, 0},
  };
}

}  // namespace corvix::testing
