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

#include "fuzz_source.h"
#include "common/user_messages.h"
#include "export/wave_import.h"
#include "jobs/job_notes.h"
#include "jobs/job_state.h"
#include "media/akai_disk.h"
#include "media/sector_source.h"


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static corvix::fuzz::QuietMessages quiet;
  static const std::filesystem::path folder = [] {
    corvix::SetUserMessages(&quiet);
    corvix::AllocVolumeLists();
    return std::filesystem::temp_directory_path() / ("corvix-fuzz-import-" + std::to_string(getpid()));
  }();
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);

  corvix::fuzz::FuzzSource source(data, size, true);
  corvix::SetSectorSource(&source);
  corvix::ResetAkaiDisk();
  corvix::ResetJobState();
  corvix::ResetJobNotes();  // notes name fuzzed samples: one input's at a time
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
  corvix::ShowJobNotes();
  corvix::SetSectorSource(nullptr);
  return 0;
}
