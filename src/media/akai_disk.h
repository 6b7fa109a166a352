// The Akai S1000 disk model and the directory reader.
//
// A disc holds partitions of S blocks each (S from the disc's partition
// information); an Akai block is 8192 bytes, 4 sectors, numbered from the
// start of its partition. Every partition begins with a header: 97 check
// words, a table of 100 volumes and the FAT. A volume's directory is one
// block of 24-byte entries naming programs and samples.
//
// The model is process-wide and holds one partition at a time: the volume
// table of the partition last passed to ReadVolumeTable, the FAT of the one
// last passed to ReadFAT. Every operation re-reads the disc through
// ReadSectors and zero-fills its buffer first, so a read that delivers
// nothing reads as an empty table. Operations return non-zero for success.
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
  DirEntry* programs;    // kMaxPrograms entries (AllocVolumeLists)
  DirEntry* samples;     // kMaxSamples entries
};

struct AkaiDiskModel {
  uint32_t partitionCount;  // 0 when no Akai disc has been recognised
  uint32_t partitionSize;   // S, blocks per partition
  uint8_t headerBuffer[kHeaderBytes];  // the partition header last read by ReadFAT
  const uint8_t* fat;  // kFatEntries little-endian u16 inside headerBuffer
  VolumeEntry volumes[kVolumesPerPartition];
};

extern AkaiDiskModel AkaiDisk;

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
uint32_t RecordLength(uint8_t volumeType);

// Reads block `block` of `partition` (4 sectors) into buffer, kBlockBytes
// long and zero-filled by the caller. False when the block is not a file
// block of the partition (nothing is read) or the source reports a failure.
bool ReadDiscBlock(uint16_t partition, uint16_t block, uint8_t* buffer);

// Reads `count` consecutive blocks from `block` of `partition` in one
// ReadSectors into buffer, count × kBlockBytes long and zero-filled by the
// caller; count is at most kMaxBlocksPerRead. False when one of the blocks is
// not a file block (nothing is read) or the source reports a failure (a
// drive may then have delivered none of the blocks).
constexpr uint16_t kMaxBlocksPerRead = 8;  // 64 KiB, what any SCSI adapter moves at once
bool ReadDiscBlocks(uint16_t partition, uint16_t block, uint16_t count, uint8_t* buffer);

// True when block can be part of a file of the current partition: inside the
// partition and inside the FAT.
bool IsFileBlock(uint32_t block);

// The block after `block` in its file, from the current FAT; kChainEnd when
// the chain ends there: the end mark, or a successor that is not a file block.
uint16_t NextFileBlock(uint16_t block);

bool IsAkaiDisk();
int ReadPartitionInfo();
int ReadVolumeTable(uint16_t partition);
int ReadVolumeDirectory(uint16_t partition, uint16_t volume);
int ReadFAT(uint16_t partition);
int ReadFileBlock(uint16_t partition, uint16_t startBlock, uint8_t* buffer);

// Reads the program file of directory entry `program` along its chain, as
// far as its keygroups reach (at most kProgramBlocks blocks). 0 with
// PendingError set when the FAT can't be read ("Can't Read FAT") or when the
// first block is not a block of the partition or can't be read ("Can't read
// program NAME", the name trimmed): such a program must not be taken for an
// empty one. A later block that can't be read ends what was read there.
int ReadProgramFile(uint16_t partition, const DirEntry& program, ProgramBuffer* out);

// The summary of a program read: its keygroups' key ranges and which zones
// name a sample of `volume` (the volume's directory must be current). Pure.
void SummarizeProgram(const ProgramBuffer& program, const VolumeEntry& volume, ProgramSummary* out);

// ReadProgramFile and SummarizeProgram; 0 as ReadProgramFile.
int ReadProgramSummary(uint16_t partition, uint16_t volume, const DirEntry& program,
                       ProgramSummary* out);
int DecodeAkaiName(const uint8_t* source, char* destination, int n);
int AllocVolumeLists();
void FreeVolumeLists();

// Clears the model (counts, buffers, volume table) but keeps the lists; for
// a refresh and for tests.
void ResetAkaiDisk();

}  // namespace corvix
