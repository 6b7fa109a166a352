#include "jobs/wave_import.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "common/pending_error.h"
#include "export/stereo_merge.h"
#include "export/wave_writer.h"
#include "records/job_notes.h"
#include "records/job_state.h"
#include "records/progress.h"
#include "media/akai_disk.h"
#include "media/akai_names.h"
#include "media/akai_records.h"
#include "riff/file_system.h"

namespace corvix {
namespace {

constexpr const char* kTableFull = "Too many samples for one job (1024 at most)";

// The first entry of the volume's sample list named exactly `name`.
const DirEntry* FindSample(const VolumeEntry& volume, const char* name) {
  if (volume.samples == nullptr) return nullptr;
  const int count = volume.sampleCount < kMaxSamples ? volume.sampleCount : kMaxSamples;
  for (int s = 0; s < count; ++s) {
    if (std::strcmp(volume.samples[s].name, name) == 0) return &volume.samples[s];
  }
  return nullptr;
}

void CopyName(char* destination, const char* name) {
  std::memset(destination, 0, kWaveNameBytes);
  std::memcpy(destination, name, kAkaiNameBytes);
}

}  // namespace

int ImportProgramWaves(const ConversionItem& item, uint32_t groupIndex) {
  // 1, 2. The FAT of the program's partition; the program was read already.
  const uint16_t partition = item.partition;
  if (!ReadFAT(partition)) return 0;
  if (item.program == nullptr || item.volume >= kVolumesPerPartition) {
    SetPendingError("Program not found on the disc", kStyleError);
    return 0;
  }
  const ProgramBuffer& program = *item.program;
  char leftSlot[kWaveNameBytes] = {};
  char rightSlot[kWaveNameBytes] = {};

  // 3. The volume's sample list.
  ReadVolumeTable(partition);
  ReadVolumeDirectory(partition, item.volume);
  const VolumeEntry& volume = AkaiDisk.volumes[item.volume];

  // 4. The transfer dialog. Cancel is cleared by the job when it starts,
  // not here: a press between two programs of one job must not be lost.
  std::unique_ptr<ProgressDialog> dialog = CurrentProgressUi().CreateDialog(kTransferDialog);
  if (!dialog) {
    SetPendingError("Can't create progress dialog", kStyleError);
    return 0;
  }
  ProgressBar* bar = dialog->CreateProgressBar();

  // 5, 6, 7. The program's name (its folder is the job's).
  const ProgramRecord header = DecodeProgramRecord(ProgramBytes(program));

  // 8, 9.
  char line[128];
  std::snprintf(line, sizeof line, "Importing from  %s", header.name);
  dialog->SetItemText(kItemProgramLine, line);
  const uint32_t stride = item.keygroupStride;
  const uint32_t keygroups = ProgramKeygroupCount(program, stride);

  // 10. Keygroup by keygroup, zone by zone.
  for (uint32_t k = 0; k < keygroups; ++k) {
    const ByteView keygroup = KeygroupBytes(program, stride, k);
    // Whether zone 1 (3) of this keygroup has just exported the sample in
    // the left slot, as the row at count − 1: only then may zone 2 (4) pair.
    bool leftJustExported = false;
    for (uint32_t z = 0; z < kZonesPerKeygroup; ++z) {
      const bool isLeftZone = z % 2 == 0;
      if (isLeftZone) leftJustExported = false;
      const ByteView zone = ZoneBytes(keygroup, z);
      const VelocityZone zoneRecord = DecodeVelocityZone(zone);
      const char* name = zoneRecord.sampleName;
      if (!IsZoneUsed(name)) continue;
      const DirEntry* sample = FindSample(volume, name);
      if (sample == nullptr) {
        // A conversion tells of it where the zone is left out of its region.
        if (ImportWavesMode == 1) {
          AddJobNote(TrimmedName(header.name) + ": keygroup " + std::to_string(k + 1) + ", zone " +
                     std::to_string(z + 1) + " (\"" + TrimmedName(name) + "\"): the sample is not in the volume");
        }
        continue;
      }
      if (IsAlreadyExported(name)) continue;
      // A sample of one block never looks at Cancel itself.
      if (CancelRequested) {
        SetPendingError("Conversion cancelled by user", kStyleWarning);
        return 0;
      }

      if (WaveTable.count >= kWaveTableRows) {
        SetPendingError(kTableFull, kStyleError);
        return 0;
      }
      WaveEntry& row = WaveTable.rows[WaveTable.count];
      std::memset(&row, 0, sizeof row);
      CopyName(row.name, name);
      CopyName(isLeftZone ? leftSlot : rightSlot, name);

      std::snprintf(line, sizeof line, "%s      keygroup %ld of %ld", name,
                    static_cast<long>(k + 1), static_cast<long>(keygroups));
      dialog->SetItemText(kItemWaveLine, line);
      if (!WriteWaveFile(name, bar, partition, sample->startBlock, stride, keygroup, zone,
                         groupIndex)) {
        return 0;
      }
      row.keyByte = keygroup.U8(kKeygroupZoneFlags + z);
      row.stereo = 0;

      const bool pairs = !isLeftZone && leftJustExported && MergeStereoPairs != 0 &&
                         IsStereoPair(leftSlot, rightSlot) != 0;
      leftJustExported = isLeftZone;
      if (!pairs) {
        ++WaveTable.count;
        continue;
      }
      if (!MergeStereoFiles(leftSlot, rightSlot)) {
        // Both mono files are still there: the table lists them, so that a
        // conversion's clean-up finds them too.
        ++WaveTable.count;
        return 0;
      }
      WaveEntry& merged = WaveTable.rows[WaveTable.count - 1];
      CopyName(merged.name, leftSlot);
      MakeStereoName(merged.name);
      merged.stereo = 1;
    }
  }

  // 11.
  return 1;
}

}  // namespace corvix
