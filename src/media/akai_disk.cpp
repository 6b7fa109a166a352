#include "media/akai_disk.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>

#include "common/byte_order.h"
#include "common/pending_error.h"
#include "common/user_messages.h"
#include "media/akai_names.h"
#include "media/akai_records.h"
#include "media/sector_source.h"

namespace corvix {

AkaiDiskModel AkaiDisk = {};

namespace {

constexpr char kAkaiCharacters[] = "0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ#+-.";
constexpr uint8_t kAkaiCharacterCount = sizeof kAkaiCharacters - 1;  // 41
// Name bytes past the table have no character; they show as this one.
constexpr char kUnknownCharacter = '_';

std::unique_ptr<uint8_t[]> AllocZeroed(size_t bytes) {
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[bytes]);
  if (buffer) std::memset(buffer.get(), 0, bytes);
  return buffer;
}

std::unique_ptr<uint8_t[]> AllocReadBuffer(size_t bytes) {
  auto buffer = AllocZeroed(bytes);
  if (!buffer) ShowMessageBox("Read Buffer Malloc", "Error", kMbOk);
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

uint32_t RecordLength(uint8_t volumeType) { return volumeType == 3 ? 192 : 150; }

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

bool IsFileBlock(uint32_t block) {
  // Blocks 0 to 2 hold the partition header; no file starts or goes on there.
  return block < AkaiDisk.partitionSize && block < kFatEntries && block * kBlockBytes >= kHeaderBytes;
}

uint16_t NextFileBlock(uint16_t block) {
  if (AkaiDisk.fat == nullptr || block >= kFatEntries) return kChainEnd;
  const uint16_t next = ReadU16LE(AkaiDisk.fat + 2u * block);
  return IsFileBlock(next) ? next : kChainEnd;
}

int DecodeAkaiName(const uint8_t* source, char* destination, int n) {
  for (int i = 0; i < n; ++i) {
    const uint8_t code = source[i];
    destination[i] = code < kAkaiCharacterCount ? kAkaiCharacters[code] : kUnknownCharacter;
  }
  return 1;
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
  for (int n = 0; n < kVolumesPerPartition; ++n) {
    const uint8_t* entry = buffer.get() + kVolumeTableOffset + kVolumeEntryBytes * n;
    VolumeEntry& volume = AkaiDisk.volumes[n];
    std::memset(volume.name, 0, sizeof volume.name);
    DecodeAkaiName(entry, volume.name, kAkaiNameBytes);
    volume.type = entry[12];
    volume.startBlock = ReadU16LE(entry + 14);
  }
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

  for (uint32_t i = 0; i < kDirEntriesPerBlock; ++i) {
    const uint8_t* entry = buffer.get() + kDirEntryBytes * i;
    const uint8_t type = entry[16];
    const uint8_t kind = type & 0x7F;
    if (type == 0) {
      // An unused slot ends the directory; a type-0 entry carrying both a
      // start block and a tag word is some other file and is passed over.
      if (ReadU16LE(entry + 20) == 0 || ReadU16LE(entry + 22) == 0) break;
      continue;
    }
    if (kind != kFileProgram && kind != kFileSample && type != 'd' && type != 'c' &&
        type != 'x' && type != 'q') {
      break;
    }
    // Entries past the lists' capacity are walked over but not stored.
    if (kind == kFileProgram && volume.programCount < kMaxPrograms) {
      DirEntry& program = volume.programs[volume.programCount++];
      std::memset(program.name, 0, sizeof program.name);
      DecodeAkaiName(entry, program.name, kAkaiNameBytes);
      program.length = 0;
      program.startBlock = ReadU16LE(entry + 20);
    } else if (kind == kFileSample && volume.sampleCount < kMaxSamples) {
      DirEntry& sample = volume.samples[volume.sampleCount++];
      std::memset(sample.name, 0, sizeof sample.name);
      DecodeAkaiName(entry, sample.name, kAkaiNameBytes);
      sample.length = ReadU24LE(entry + 17);
      sample.startBlock = ReadU16LE(entry + 20);
    }
  }
  return 1;
}

int ReadFAT(uint16_t partition) {
  std::memset(AkaiDisk.headerBuffer, 0, sizeof AkaiDisk.headerBuffer);
  AkaiDisk.fat = AkaiDisk.headerBuffer + kFatOffset;
  if (!ReadPartitionSectors(partition, 0, 0, kHeaderSectors, AkaiDisk.headerBuffer,
                            kHeaderBytes)) {
    SetPendingError("Can't Read FAT");
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
  // than the buffer or the partition: a chain that loops ends there too.
  const uint32_t stored = out->bytes[kProgramKeygroupCount];
  const uint32_t wanted = (std::min<uint32_t>(stored, kMaxKeygroups) + 1) * 192;
  uint16_t block = startBlock;
  for (uint32_t i = 1; i < kProgramBlocks && out->bytesRead < wanted; ++i) {
    block = NextFileBlock(block);
    if (block == kChainEnd) break;
    uint8_t* into = out->bytes + out->bytesRead;
    if (!ReadBlock(partition, block, into)) {
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
    SetPendingError("Read Buffer Malloc");
    return 0;
  }
  if (!ReadProgramFile(partition, entry, program.get())) return 0;
  SummarizeProgram(*program, AkaiDisk.volumes[volumeIndex], out);
  return 1;
}

void SummarizeProgram(const ProgramBuffer& program, const VolumeEntry& volume, ProgramSummary* out) {
  const uint32_t stride = RecordLength(volume.type);
  std::memset(out->keygroups, 0, sizeof out->keygroups);
  out->keygroupCount = static_cast<uint8_t>(ProgramKeygroupCount(program, stride));
  out->lowestKey = 127;
  out->highestKey = 0;

  for (uint32_t k = 0; k < out->keygroupCount; ++k) {
    const ByteView keygroup = KeygroupBytes(program, stride, k);
    KeygroupSlot& slot = out->keygroups[k];
    slot.lowKey = keygroup.U8(kKeygroupLowKey);
    slot.highKey = keygroup.U8(kKeygroupHighKey);
    slot.present = 1;
    out->lowestKey = std::min(out->lowestKey, slot.lowKey);
    out->highestKey = std::max(out->highestKey, slot.highKey);

    for (uint32_t z = 0; z < kZonesPerKeygroup; ++z) {
      const VelocityZone zone = DecodeVelocityZone(ZoneBytes(keygroup, z));
      if (!IsZoneUsed(zone.sampleName)) continue;
      const uint8_t sampleCount = std::min<uint8_t>(volume.sampleCount, kMaxSamples);
      for (uint32_t s = 0; volume.samples != nullptr && s < sampleCount; ++s) {
        if (std::strcmp(volume.samples[s].name, zone.sampleName) == 0) {
          ZoneSlot& zoneSlot = slot.zones[z];
          zoneSlot.present = 1;
          zoneSlot.zoneNumber = static_cast<uint8_t>(z);
          zoneSlot.lowVelocity = zone.lowVelocity;
          zoneSlot.highVelocity = zone.highVelocity;
          break;
        }
      }
    }
  }
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
