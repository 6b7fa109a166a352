// Reads an arbitrary disc, given as 2048-byte sectors in memory, the way the
// browser does: partitions, volume tables, directories, program summaries
// and sample headers. The check words are put in place when the input is
// long enough, so that inputs get past the first test and into the tables.
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/byte_order.h"
#include "common/user_messages.h"
#include "media/akai_disk.h"
#include "media/disc_listing.h"
#include "media/sector_source.h"

namespace {

class FuzzSource : public corvix::SectorSource {
 public:
  FuzzSource(const uint8_t* data, size_t size) : data_(data, data + size) {
    if (data_.size() >= 2048 && (data_[0] & 1) == 0) {
      uint16_t value = 3333;
      for (uint32_t i = 0; i < corvix::kCheckWordCount; ++i) {
        corvix::PutU16LE(data_.data() + corvix::kCheckWordOffset + 2 * i, value);
        value = static_cast<uint16_t>(value + 3333);
      }
    }
  }
  bool ReadSectors(uint32_t lba, uint16_t count, uint8_t* buffer, uint32_t size) override {
    bool complete = true;
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t from = (static_cast<uint64_t>(lba) + i) * 2048;
      if ((i + 1) * 2048 > size || from + 2048 > data_.size()) {
        complete = false;
        continue;
      }
      std::memcpy(buffer + i * 2048, data_.data() + from, 2048);
    }
    return complete;
  }
  std::string Describe() const override { return "fuzz input"; }

 private:
  std::vector<uint8_t> data_;
};

class QuietMessages : public corvix::UserMessages {
 public:
  int ShowMessage(const char*, const char*, uint32_t) override { return corvix::kIdOk; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QuietMessages quiet;
  static const bool listsReady = [] {
    corvix::SetUserMessages(&quiet);
    return corvix::AllocVolumeLists() != 0;
  }();
  if (!listsReady) return 0;
  FuzzSource source(data, size);
  corvix::SetSectorSource(&source);
  corvix::ResetAkaiDisk();
  corvix::ListDisc();
  corvix::SetSectorSource(nullptr);
  return 0;
}
