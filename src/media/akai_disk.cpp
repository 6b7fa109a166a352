#include "media/akai_disk.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>

#include "common/byte_order.h"
#include "common/messages.h"
#include "common/pending_error.h"
#include "common/user_messages.h"
#include "media/akai_names.h"
#include "media/akai_records.h"
#include "media/sector_source.h"

namespace corvix {

AkaiDiskModel AkaiDisk = {};

namespace {


std::unique_ptr<uint8_t[]> AllocZeroed(size_t bytes) {
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[bytes]);
  if (buffer) std::memset(buffer.get(), 0, bytes);
  return buffer;
}

std::unique_ptr<uint8_t[]> AllocReadBuffer(size_t bytes) {
  auto buffer = AllocZeroed(bytes);
  if (!buffer) ShowMessageBox(kNoMemory, "Error", kMbOk);
  return buffer;
}

// Reads `count` sectors starting `sector` sectors into block `block` of
// `partition`. An address past the 32-bit LBA range reads as nothing.
bool ReadPartitionSectors(uint32_t partition, uint32_t block, uint32_t sector, uint16_t count,
                          uint8_t* buffer, uint32_t size) {
  const uint64_t lba = (static_cast<uint64_t>(AkaiDisk.partitionSize) * partition + block) *
                           kSectorsPerBlock + sector;
  if (lba + count > std::numeric_limits<uint32_t>::max()) return false;
  return ReadSectors(static_cast<uint32_t>(lba), count, buffer, size);
}

bool ReadBlock(uint16_t partition, uint16_t block, uint8_t* buffer) {
  return ReadPartitionSectors(partition, block, 0, kSectorsPerBlock, buffer, kBlockBytes);
}

}  // namespace


bool ReadDiscBlock(uint16_t partition, uint16_t block, uint8_t* buffer) {
  return IsFileBlock(block) && ReadBlock(partition, block, buffer);
}

bool ReadDiscBlocks(uint16_t partition, uint16_t block, uint16_t count, uint8_t* buffer) {
  if (count == 0 || count > kMaxBlocksPerRead) return false;
  const uint32_t last = uint32_t{block} + count - 1;
  // File blocks are one range of numbers: the first and the last decide.
  if (!IsFileBlock(block) || !IsFileBlock(last)) return false;
  return ReadPartitionSectors(partition, block, 0, static_cast<uint16_t>(count * kSectorsPerBlock),
                              buffer, count * kBlockBytes);
}

std::vector<uint16_t> FileChain(uint16_t startBlock, uint32_t maxBlocks) {
  return WalkChain(AkaiDisk.fat, AkaiDisk.partitionSize, startBlock, maxBlocks);
}

bool IsFileBlock(uint32_t block) {
  // Blocks 0 to 2 hold the partition header; no file starts or goes on there.
  return block < AkaiDisk.partitionSize && block < kFatEntries && block * kBlockBytes >= kHeaderBytes;
}

uint16_t NextFileBlock(uint16_t block) {
  if (AkaiDisk.fat == nullptr || block >= kFatEntries) return kChainEnd;
  const uint16_t next = ReadU16LE(AkaiDisk.fat + 2u * block);
  return IsFileBlock(next) ? next : kChainEnd;
}

bool IsAkaiDisk() {
  auto buffer = AllocReadBuffer(kSectorBytes);
  if (!buffer) return false;
  ReadSectors(0, 1, buffer.get(), kSectorBytes);
  uint16_t expected = 3333;
  for (uint32_t i = 0; i < kCheckWordCount; ++i) {
    if (ReadU16LE(buffer.get() + kCheckWordOffset + 2 * i) != expected) return false;
    expected = static_cast<uint16_t>(expected + 3333);
  }
  return true;
}

int ReadPartitionInfo() {
  if (!IsAkaiDisk()) return 0;
  auto buffer = AllocReadBuffer(kSectorBytes);
  if (!buffer) return 0;
  ReadSectors(kPartitionInfoLba, 1, buffer.get(), kSectorBytes);
  AkaiDisk.partitionCount = buffer[kPartitionCountOffset];
  AkaiDisk.partitionSize = ReadU16LE(buffer.get() + kPartitionSizeOffset);
  return 1;
}

int ReadVolumeTable(uint16_t partition) {
  auto buffer = AllocReadBuffer(kSectorBytes);
  if (!buffer) return 0;
  ReadPartitionSectors(partition, 0, 0, 1, buffer.get(), kSectorBytes);
  DecodeVolumeTable(buffer.get(), AkaiDisk.volumes);
  return 1;
}

int ReadVolumeDirectory(uint16_t partition, uint16_t volumeIndex) {
  if (volumeIndex >= kVolumesPerPartition) return 0;
  VolumeEntry& volume = AkaiDisk.volumes[volumeIndex];
  volume.programCount = 0;
  volume.sampleCount = 0;
  if (volume.programs == nullptr || volume.samples == nullptr) return 0;
  auto buffer = AllocReadBuffer(kBlockBytes);
  if (!buffer) return 0;
  // A directory outside the partition reads as an empty one.
  ReadDiscBlock(partition, volume.startBlock, buffer.get());
  DecodeDirectory(buffer.get(), &volume);
  return 1;
}

int ReadFAT(uint16_t partition) {
  std::memset(AkaiDisk.headerBuffer, 0, sizeof AkaiDisk.headerBuffer);
  AkaiDisk.fat = AkaiDisk.headerBuffer + kFatOffset;
  if (!ReadPartitionSectors(partition, 0, 0, kHeaderSectors, AkaiDisk.headerBuffer,
                            kHeaderBytes)) {
    SetPendingError(kCantReadFat);
    return 0;
  }
  return 1;
}

int ReadFileBlock(uint16_t partition, uint16_t startBlock, uint8_t* buffer) {
  if (!ReadFAT(partition)) return 0;
  std::memset(buffer, 0, kBlockBytes);
  ReadDiscBlock(partition, startBlock, buffer);
  return 1;
}

int ReadProgramFile(uint16_t partition, const DirEntry& program, ProgramBuffer* out) {
  std::memset(out->bytes, 0, sizeof out->bytes);
  out->bytesRead = 0;
  if (!ReadFAT(partition)) return 0;
  const uint16_t startBlock = program.startBlock;
  if (!ReadDiscBlock(partition, startBlock, out->bytes)) {
    std::memset(out->bytes, 0, kBlockBytes);
    const std::string message = "Can't read program " + TrimmedName(program.name);
    SetPendingError(message.c_str());
    return 0;
  }
  out->bytesRead = kBlockBytes;

  // Follow the chain only as far as the keygroups reach, and never further
  // than the buffer: a chain that comes back to a block ends there.
  const uint32_t stored = out->bytes[kProgramKeygroupCount];
  const uint32_t wanted = (std::min<uint32_t>(stored, kMaxKeygroups) + 1) * 192;
  const std::vector<uint16_t> chain =
      FileChain(startBlock, std::min<uint32_t>((wanted + kBlockBytes - 1) / kBlockBytes, kProgramBlocks));
  for (size_t i = 1; i < chain.size(); ++i) {
    uint8_t* into = out->bytes + out->bytesRead;
    if (!ReadBlock(partition, chain[i], into)) {
      std::memset(into, 0, kBlockBytes);
      break;
    }
    out->bytesRead += kBlockBytes;
  }
  return 1;
}

int ReadProgramSummary(uint16_t partition, uint16_t volumeIndex, const DirEntry& entry,
                       ProgramSummary* out) {
  if (volumeIndex >= kVolumesPerPartition) return 0;
  auto program = std::unique_ptr<ProgramBuffer>(new (std::nothrow) ProgramBuffer);
  if (!program) {
    SetPendingError(kNoMemory);
    return 0;
  }
  if (!ReadProgramFile(partition, entry, program.get())) return 0;
  SummarizeProgram(*program, AkaiDisk.volumes[volumeIndex], out);
  return 1;
}

int AllocVolumeLists() {
  for (VolumeEntry& volume : AkaiDisk.volumes) {
    if (volume.programs == nullptr) volume.programs = new (std::nothrow) DirEntry[kMaxPrograms]();
    if (volume.samples == nullptr) volume.samples = new (std::nothrow) DirEntry[kMaxSamples]();
    if (volume.programs == nullptr || volume.samples == nullptr) {
      ShowMessageBox("Volume Info Buffer Malloc", "Error", kMbOk);
      FreeVolumeLists();
      return 0;
    }
  }
  return 1;
}

void FreeVolumeLists() {
  for (VolumeEntry& volume : AkaiDisk.volumes) {
    delete[] volume.programs;
    delete[] volume.samples;
    volume.programs = nullptr;
    volume.samples = nullptr;
    volume.programCount = 0;
    volume.sampleCount = 0;
  }
}

void ResetAkaiDisk() {
  AkaiDisk.partitionCount = 0;
  AkaiDisk.partitionSize = 0;
  std::memset(AkaiDisk.headerBuffer, 0, sizeof AkaiDisk.headerBuffer);
  AkaiDisk.fat = nullptr;
  for (VolumeEntry& volume : AkaiDisk.volumes) {
    std::memset(volume.name, 0, sizeof volume.name);
    volume.programCount = volume.sampleCount = volume.type = 0;
    volume.startBlock = 0;
    if (volume.programs) std::memset(volume.programs, 0, sizeof(DirEntry) * kMaxPrograms);
    if (volume.samples) std::memset(volume.samples, 0, sizeof(DirEntry) * kMaxSamples);
  }
}

}  // namespace corvix
