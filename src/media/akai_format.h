// The Akai S1000 disk format as plain values: units and capacities, the
// places of things on a disc, and the records the reader fills (directory
// entries, volume entries, program summaries, program files). No reading
// here: akai_records.h decodes bytes, job_disc.h reads them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvix {

constexpr uint32_t kBlockBytes = 8192;
constexpr uint32_t kSectorsPerBlock = 4;
constexpr uint32_t kHeaderSectors = 9;
constexpr uint32_t kHeaderBytes = kHeaderSectors * 2048;  // 18432
constexpr uint32_t kCheckWordOffset = 4;
constexpr uint32_t kCheckWordCount = 97;
constexpr uint32_t kVolumeTableOffset = 202;
constexpr uint32_t kVolumeEntryBytes = 16;
constexpr uint32_t kFatOffset = 1802;
constexpr uint32_t kFatEntries = 8315;
constexpr uint32_t kPartitionInfoLba = 8;
constexpr uint32_t kPartitionCountOffset = 1280;
constexpr uint32_t kPartitionSizeOffset = 1282;
constexpr uint32_t kDirEntryBytes = 24;
constexpr uint32_t kDirEntriesPerBlock = kBlockBytes / kDirEntryBytes;  // 341
constexpr uint16_t kChainEnd = 0xC000;

constexpr int kVolumesPerPartition = 100;
constexpr int kMaxPrograms = 128;
constexpr int kMaxSamples = 255;
constexpr int kMaxKeygroups = 128;
constexpr int kZonesPerKeygroup = 4;
constexpr int kAkaiNameBytes = 12;

// Directory file types. 'p' and 's' are also found with the top bit set.
constexpr uint8_t kFileProgram = 0x70;  // 'p'
constexpr uint8_t kFileSample = 0x73;   // 's'

struct DirEntry {
  char name[kAkaiNameBytes + 1];  // decoded, trailing spaces kept
  uint32_t length;                // bytes; set for samples, 0 for programs
  uint16_t startBlock;            // first block of the file
};

struct VolumeEntry {
  char name[kAkaiNameBytes + 1];
  uint8_t programCount;  // valid entries in programs
  uint8_t sampleCount;   // valid entries in samples
  uint8_t type;          // 0 = empty slot, 3 = 192-byte records, other = 150
  uint16_t startBlock;   // block of the volume directory
  DirEntry* programs;    // kMaxPrograms entries (held by the JobDisc that read them)
  DirEntry* samples;     // kMaxSamples entries
};

struct ZoneSlot {
  uint8_t lowVelocity;
  uint8_t highVelocity;
  uint32_t present;    // 1 when the zone's sample is in the volume
  uint8_t zoneNumber;  // 0 to 3, the zone's position in its keygroup
};

struct KeygroupSlot {
  uint8_t lowKey;
  uint8_t highKey;
  uint32_t present;  // 1 for every keygroup read
  ZoneSlot zones[kZonesPerKeygroup];
};

struct ProgramSummary {
  uint8_t keygroupCount;  // keygroups read (see ProgramKeygroupCount)
  KeygroupSlot keygroups[kMaxKeygroups];
  uint32_t keygroupMarks[kMaxKeygroups];  // work area of the region builder
  uint8_t splitHighKey;                   // work area of the region builder
  uint8_t splitLowKey;                    // work area of the region builder
  uint8_t lowestKey;   // 127 when there are no keygroups
  uint8_t highestKey;  // 0 when there are no keygroups
};

// A whole program file: the header and up to kMaxKeygroups keygroups at
// either stride, read along the file's FAT chain. Keygroups past the first
// block (the 54th on at stride 150, the 42nd on at 192) live in the
// following blocks; every consumer addresses keygroups in this buffer.
constexpr uint32_t kProgramBlocks = 4;
constexpr uint32_t kProgramBufferBytes = kProgramBlocks * kBlockBytes;
struct ProgramBuffer {
  uint8_t bytes[kProgramBufferBytes];
  uint32_t bytesRead;  // bytes of the file's chain read into bytes
};

// The record length of a volume type: 192 for type 3, 150 otherwise. Program
// headers, keygroups and sample headers share it.
inline uint32_t RecordLength(uint8_t volumeType) { return volumeType == 3 ? 192 : 150; }

}  // namespace corvix
