// Summarises every program of an arbitrary disc, imports its waves into a
// temporary folder and converts it into an instrument file there: program
// blocks, keygroups, zones and sample headers all come from the input, as do
// the FAT chains the WAV writer follows. The check words are put in place so
// that inputs reach the programs.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_source.h"
#include "common/user_messages.h"
#include "jobs/conversion_list.h"
#include "jobs/convert_job.h"
#include "jobs/import_job.h"
#include "records/job_notes.h"
#include "records/job_state.h"
#include "media/akai_disk.h"
#include "media/job_disc.h"
#include "media/sector_source.h"


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static corvix::fuzz::QuietMessages quiet;
  static const std::filesystem::path folder = [] {
    corvix::SetUserMessages(&quiet);
    return corvix::fuzz::ScratchFolder("import");
  }();
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);

  corvix::fuzz::FuzzSource source(data, size, true);
  corvix::SetSectorSource(&source);
  corvix::ResetAkaiDisk();
  corvix::ResetJobState();
  corvix::ResetJobNotes();  // notes name fuzzed samples: one input's at a time
  corvix::MergeStereoPairs = size > 0 && (data[size - 1] & 1);
  corvix::SetChosenFolder(folder.string());
  corvix::SetWaveFolder(folder.string());
  corvix::JobDisc disc;
  if (disc.Open()) {
    const uint32_t partitions = std::min<uint32_t>(disc.partitionCount(), 2);
    for (uint16_t p = 0; p < partitions; ++p) {
      disc.ReadVolumeTables({p});
      for (uint16_t v = 0; v < 4; ++v) {
        const corvix::VolumeEntry* volume = disc.Volume(p, v);
        if (volume == nullptr || volume->type == 0) continue;
        disc.ReadDirectories({{p, v}});
        const uint8_t programs = std::min<uint8_t>(volume->programCount, 4);
        for (uint16_t i = 0; i < programs; ++i) {
          corvix::ImportReport report;
          corvix::ImportPrograms({{p, v, i}}, corvix::JobTarget(corvix::ChosenFolder, corvix::MergeStereoPairs != 0),
                                 &report, {}, &disc);
          // The same program in every format an export writes, from one read.
          std::unique_ptr<corvix::ConversionItem> item = corvix::MakeConversionItem(disc, p, v, i, nullptr);
          if (item != nullptr) {
            std::vector<const corvix::OutputFormat*> formats;
            for (const corvix::OutputFormat& format : corvix::OutputFormats())
              if (format.word != nullptr) formats.push_back(&format);
            corvix::ConvertPrograms(item.get(), formats, corvix::JobTarget(corvix::WaveFolder), &disc);
            corvix::FreeConversionList(item);
          }
        }
      }
    }
  }
  corvix::ShowJobNotes();
  corvix::SetSectorSource(nullptr);
  return 0;
}
