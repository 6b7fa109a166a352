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
#include <vector>

#include "media/akai_format.h"

namespace corvix {

struct AkaiDiskModel {
  uint32_t partitionCount;  // 0 when no Akai disc has been recognised
  uint32_t partitionSize;   // S, blocks per partition
  uint8_t headerBuffer[kHeaderBytes];  // the partition header last read by ReadFAT
  const uint8_t* fat;  // kFatEntries little-endian u16 inside headerBuffer
  VolumeEntry volumes[kVolumesPerPartition];
};

extern AkaiDiskModel AkaiDisk;

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

// The chain of the file at startBlock from the current FAT (WalkChain).
std::vector<uint16_t> FileChain(uint16_t startBlock, uint32_t maxBlocks);

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

// ReadProgramFile and SummarizeProgram (akai_records.h); 0 as ReadProgramFile.
int ReadProgramSummary(uint16_t partition, uint16_t volume, const DirEntry& program,
                       ProgramSummary* out);
int AllocVolumeLists();
void FreeVolumeLists();

// Clears the model (counts, buffers, volume table) but keeps the lists; for
// a refresh and for tests.
void ResetAkaiDisk();

}  // namespace corvix
