// What the fuzz targets share: fuzz input served as 2048-byte sectors (with
// the check words put in place, so inputs get past the first test and into
// the tables), a message seam that shows nothing, and a scratch folder of
// the process's own that is removed when the run ends.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/byte_order.h"
#include "common/user_messages.h"
#include "media/akai_format.h"
#include "media/sector_source.h"

namespace corvix::fuzz {

class FuzzSource : public SectorSource {
 public:
  FuzzSource(const uint8_t* data, size_t size, bool placeCheckWords) : data_(data, data + size) {
    if (!placeCheckWords || data_.size() < kSectorBytes) return;
    uint16_t value = 3333;
    for (uint32_t i = 0; i < kCheckWordCount; ++i) {
      PutU16LE(data_.data() + kCheckWordOffset + 2 * i, value);
      value = static_cast<uint16_t>(value + 3333);
    }
  }
  bool ReadSectors(uint32_t lba, uint16_t count, uint8_t* buffer, uint32_t size) override {
    bool complete = true;
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t from = (static_cast<uint64_t>(lba) + i) * kSectorBytes;
      if ((i + 1) * kSectorBytes > size || from + kSectorBytes > data_.size()) {
        complete = false;
        continue;
      }
      std::memcpy(buffer + i * kSectorBytes, data_.data() + from, kSectorBytes);
    }
    return complete;
  }
  std::string Describe() const override { return "fuzz input"; }

 private:
  std::vector<uint8_t> data_;
};

class QuietMessages : public UserMessages {
 public:
  int ShowMessage(const char*, const char*, uint32_t) override { return kIdOk; }
};

// A new empty folder "corvix-fuzz-STEM-PID" in the temporary directory,
// removed with everything in it when the process exits normally (libFuzzer
// ends a timed run through exit()). Call it once, from a static initialiser.
inline std::filesystem::path ScratchFolder(const char* stem) {
  static std::filesystem::path folder;
  folder = std::filesystem::temp_directory_path() /
           ("corvix-fuzz-" + std::string(stem) + "-" + std::to_string(getpid()));
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::create_directories(folder);
  std::atexit([] {
    std::error_code ignoredAtExit;
    std::filesystem::remove_all(folder, ignoredAtExit);
  });
  return folder;
}

}  // namespace corvix::fuzz
