// Imports the waves of every program of an arbitrary disc into a temporary
// folder: program blocks, keygroups, zones and sample headers all come from
// the input, as do the FAT chains the WAV writer follows. The check words are
// put in place so that inputs reach the programs.
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "common/user_messages.h"
#include "export/wave_import.h"
#include "jobs/job_state.h"
#include "media/akai_disk.h"
#include "media/sector_source.h"

namespace {

class FuzzSource : public corvix::SectorSource {
 public:
  FuzzSource(const uint8_t* data, size_t size) : data_(data, data + size) {
    if (data_.size() < 2048) return;
    uint16_t value = 3333;
    for (uint32_t i = 0; i < corvix::kCheckWordCount; ++i) {
      corvix::PutU16LE(data_.data() + corvix::kCheckWordOffset + 2 * i, value);
      value = static_cast<uint16_t>(value + 3333);
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
  static const std::filesystem::path folder = [] {
    corvix::SetUserMessages(&quiet);
    corvix::AllocVolumeLists();
    return std::filesystem::temp_directory_path() / ("corvix-fuzz-import-" + std::to_string(getpid()));
  }();
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);

  FuzzSource source(data, size);
  corvix::SetSectorSource(&source);
  corvix::ResetAkaiDisk();
  corvix::ResetJobState();
  corvix::ImportWavesMode = 1;
  corvix::MergeStereoPairs = size > 0 && (data[size - 1] & 1);
  corvix::SetChosenFolder(folder.string());
  if (corvix::ReadPartitionInfo()) {
    const uint32_t partitions = std::min<uint32_t>(corvix::AkaiDisk.partitionCount, 2);
    for (uint16_t p = 0; p < partitions; ++p) {
      corvix::ReadVolumeTable(p);
      for (int32_t v = 0; v < 4; ++v) {
        if (corvix::AkaiDisk.volumes[v].type == 0) continue;
        corvix::ReadVolumeTable(p);
        corvix::ReadVolumeDirectory(p, static_cast<uint16_t>(v));
        const uint8_t programs = std::min<uint8_t>(corvix::AkaiDisk.volumes[v].programCount, 4);
        for (uint16_t i = 0; i < programs; ++i) {
          corvix::WaveTable.count = 0;
          corvix::ImportProgramWaves(p, v, i, 0);
        }
      }
    }
  }
  corvix::SetSectorSource(nullptr);
  return 0;
}
