#include "media/job_disc.h"

#include <algorithm>
#include <cstring>

#include "common/byte_order.h"
#include "media/akai_disk.h"
#include "media/akai_records.h"
#include "media/sector_source.h"

namespace corvix {

struct JobDisc::Partition : public RunReader {
  uint16_t number = 0;
  bool headerRead = false;  // the header was delivered readable
  bool headerTaken = false;
  bool headerWanted = false;  // asked for in a round, once
  std::array<uint8_t, kHeaderBytes> header{};
  VolumeEntry volumes[kVolumesPerPartition]{};
  bool directoryRead[kVolumesPerPartition]{};
  bool directoryReadable[kVolumesPerPartition]{};  // delivered readable
  std::vector<DirEntry> lists[kVolumesPerPartition];  // programs, then samples

  bool Take(uint32_t tag, const uint8_t* bytes, uint32_t size, bool readable) override {
    if (tag == kVolumeTableTag) {
      if (!headerTaken) DecodeVolumeTable(bytes, volumes);
      return true;
    }
    if (tag == kHeaderTag) {
      std::memcpy(header.data(), bytes, std::min<size_t>(size, header.size()));
      headerRead = readable;
      headerTaken = true;
      DecodeVolumeTable(header.data(), volumes);
      return true;
    }
    if (tag >= kVolumesPerPartition || size < kBlockBytes) return true;
    VolumeEntry& volume = volumes[tag];
    std::vector<DirEntry>& list = lists[tag];
    list.assign(kMaxPrograms + kMaxSamples, DirEntry{});
    volume.programs = list.data();
    volume.samples = list.data() + kMaxPrograms;
    DecodeDirectory(bytes, &volume);
    directoryRead[tag] = true;
    directoryReadable[tag] = readable;
    return true;
  }

  static constexpr uint32_t kHeaderTag = 0xFFFF;
  static constexpr uint32_t kVolumeTableTag = 0xFFFE;
};

JobDisc::JobDisc() = default;
JobDisc::~JobDisc() = default;

JobDisc::Partition* JobDisc::Find(uint16_t partition) const {
  return partition < partitions_.size() ? partitions_[partition].get() : nullptr;
}

bool JobDisc::Open() {
  partitions_.clear();
  partitionCount_ = partitionSize_ = 0;
  AkaiDisk.partitionSize = 0;
  auto first = std::make_unique<Partition>();
  ReadPlan plan;
  plan.Want(0, kHeaderSectors, first.get(), Partition::kHeaderTag);
  plan.Run();
  const uint8_t* bytes = first->header.data();
  uint16_t expected = 3333;
  for (uint32_t i = 0; i < kCheckWordCount; ++i) {
    if (ReadU16LE(bytes + kCheckWordOffset + 2 * i) != expected) return false;
    expected = static_cast<uint16_t>(expected + 3333);
  }
  const uint8_t* info = bytes + kPartitionInfoLba * kSectorBytes;
  partitionCount_ = info[kPartitionCountOffset];
  AkaiDisk.partitionSize = partitionSize_ = ReadU16LE(info + kPartitionSizeOffset);
  first->number = 0;
  partitions_.resize(std::max<uint32_t>(partitionCount_, 1));
  partitions_[0] = std::move(first);
  return true;
}

void JobDisc::ReadPartitions(const std::vector<uint16_t>& partitions) {
  ReadPlan plan;
  for (uint16_t p : partitions) {
    if (p >= partitionCount_) continue;
    if (partitions_[p] == nullptr) partitions_[p] = std::make_unique<Partition>();
    Partition& partition = *partitions_[p];
    if (partition.headerTaken || partition.headerWanted) continue;
    partition.number = p;
    partition.headerWanted = true;
    plan.Want(uint64_t{partitionSize_} * p * kSectorsPerBlock, kHeaderSectors, &partition, Partition::kHeaderTag);
  }
  plan.Run();
}

void JobDisc::ReadVolumeTables(const std::vector<uint16_t>& partitions) {
  ReadPlan plan;
  for (uint16_t p : partitions) {
    if (p >= partitionCount_ || partitions_[p] != nullptr) continue;
    partitions_[p] = std::make_unique<Partition>();
    partitions_[p]->number = p;
    plan.Want(uint64_t{partitionSize_} * p * kSectorsPerBlock, 1, partitions_[p].get(), Partition::kVolumeTableTag);
  }
  plan.Run();
}

bool JobDisc::HasPartition(uint16_t partition) const {
  const Partition* p = Find(partition);
  return p != nullptr && p->headerRead;
}

bool JobDisc::HasDirectory(uint16_t partition, uint16_t volume) const {
  const Partition* p = Find(partition);
  return p != nullptr && volume < kVolumesPerPartition && p->directoryReadable[volume];
}

void JobDisc::ReadDirectories(const std::vector<VolumeRef>& volumes) {
  std::vector<uint16_t> partitions;
  for (const VolumeRef& v : volumes) partitions.push_back(v.partition);
  ReadPartitions(partitions);
  ReadPlan plan;
  for (const VolumeRef& v : volumes) {
    Partition* p = Find(v.partition);
    if (p == nullptr || v.volume >= kVolumesPerPartition || p->directoryRead[v.volume]) continue;
    if (p->volumes[v.volume].type == 0) continue;
    p->directoryRead[v.volume] = true;  // asked once, even when named twice
    plan.WantBlock(v.partition, p->volumes[v.volume].startBlock, p, v.volume);
  }
  plan.Run();
}

const VolumeEntry* JobDisc::Volume(uint16_t partition, uint16_t volume) const {
  const Partition* p = Find(partition);
  if (p == nullptr || volume >= kVolumesPerPartition) return nullptr;
  return &p->volumes[volume];
}

std::vector<uint16_t> JobDisc::Chain(uint16_t partition, uint16_t startBlock, uint32_t maxBlocks) const {
  const Partition* p = Find(partition);
  if (p == nullptr || !p->headerTaken) return {};
  std::vector<uint16_t> chain = WalkChain(p->header.data() + kFatOffset, partitionSize_, startBlock, maxBlocks);
  // An image ends where its file does: a chain that runs past it ends there
  // (however many blocks the FAT claims), and nothing is made of the rest.
  const SectorSource* source = CurrentSectorSource();
  const std::optional<uint64_t> sectors = source != nullptr ? source->SectorCount() : std::nullopt;
  if (sectors) {
    const uint64_t first = uint64_t{partitionSize_} * partition;
    const auto past = std::find_if(chain.begin(), chain.end(), [&](uint16_t block) {
      return (first + block + 1) * kSectorsPerBlock > *sectors;
    });
    chain.erase(past, chain.end());
  }
  return chain;
}

}  // namespace corvix
