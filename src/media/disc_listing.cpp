#include "media/disc_listing.h"

#include <cstring>
#include <memory>
#include <new>

#include "media/akai_disk.h"
#include "media/akai_records.h"

namespace corvix {

DiscListing ListDisc() {
  DiscListing listing;
  AkaiDisk.partitionCount = 0;
  if (!IsAkaiDisk()) return listing;
  listing.isAkaiDisc = true;
  ReadPartitionInfo();
  listing.partitionSize = AkaiDisk.partitionSize;

  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kBlockBytes]);
  auto summary = std::make_unique<ProgramSummary>();
  for (uint32_t p = 0; p < AkaiDisk.partitionCount; ++p) {
    const auto partition = static_cast<uint16_t>(p);
    ListedPartition& lp = listing.partitions.emplace_back();
    lp.label = PartitionLabel(p);
    lp.number = partition;
    ReadVolumeTable(partition);
    for (uint16_t v = 0; v < kVolumesPerPartition; ++v) {
      if (AkaiDisk.volumes[v].type == 0) continue;
      if (!ReadVolumeDirectory(partition, v)) continue;
      const VolumeEntry& volume = AkaiDisk.volumes[v];
      ListedVolume& lv = lp.volumes.emplace_back();
      lv.name = volume.name;
      lv.slot = v;
      lv.type = volume.type;
      const uint32_t stride = RecordLength(volume.type);
      for (uint16_t i = 0; i < volume.programCount; ++i) {
        ListedProgram& program = lv.programs.emplace_back();
        program.name = volume.programs[i].name;
        program.index = i;
        program.startBlock = volume.programs[i].startBlock;
        std::memset(summary.get(), 0, sizeof *summary);
        if (ReadProgramSummary(partition, v, volume.programs[i], summary.get())) {
          program.keygroups = summary->keygroupCount;
          program.lowestKey = summary->lowestKey;
          program.highestKey = summary->highestKey;
        } else {
          program.readable = false;
        }
      }
      for (uint16_t i = 0; i < volume.sampleCount; ++i) {
        ListedSample& sample = lv.samples.emplace_back();
        sample.name = volume.samples[i].name;
        sample.startBlock = volume.samples[i].startBlock;
        sample.lengthBytes = volume.samples[i].length;
        if (!block) continue;
        std::memset(block.get(), 0, kBlockBytes);
        ReadDiscBlock(partition, sample.startBlock, block.get());
        const SampleRecord header = DecodeSampleRecord({block.get(), stride});
        sample.lengthWords = header.length;
        sample.sampleRate = header.sampleRate;
      }
    }
  }
  return listing;
}

}  // namespace corvix
