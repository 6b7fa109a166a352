// What one job has read of a disc's tables: each partition's header (FAT
// and volume table) and each volume's directory, read once, in disc order,
// and kept for the job. Everything a job reads after them (programs,
// samples) it plans from these.
//
// Opening reads the disc's first nine sectors in one command: the check
// words, the partition information and partition 0's header. It sets
// AkaiDisk's partitionSize, so that block addresses work out as everywhere
// else.
//
// The window keeps one for the disc it shows, from the tree's filling until
// the next: its tree wants only the volume tables (ReadVolumeTables), a
// volume's list its directory and programs.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "media/akai_format.h"
#include "media/read_engine.h"

namespace corvix {

struct VolumeRef {
  uint16_t partition = 0;
  uint16_t volume = 0;  // slot in the partition's volume table
  bool operator==(const VolumeRef&) const = default;
};

class JobDisc {
 public:
  JobDisc();
  ~JobDisc();
  JobDisc(const JobDisc&) = delete;
  JobDisc& operator=(const JobDisc&) = delete;

  // False when the disc is not an Akai disc (or nothing could be read).
  bool Open();
  uint32_t partitionCount() const { return partitionCount_; }
  uint32_t partitionSize() const { return partitionSize_; }

  // Reads, in disc order, the headers of the partitions named that have not
  // been read yet (partitions past partitionCount are left alone).
  void ReadPartitions(const std::vector<uint16_t>& partitions);
  // Reads, in disc order, the volume tables (the first sector of the
  // header) of the partitions named that have nothing read yet; a partition
  // whose FAT is wanted later has its whole header read then.
  void ReadVolumeTables(const std::vector<uint16_t>& partitions);
  // True when the partition's header could be read (its FAT is known).
  bool HasPartition(uint16_t partition) const;

  // Reads, in disc order, the directories of the volumes named that have
  // not been read yet (their partitions' headers first).
  void ReadDirectories(const std::vector<VolumeRef>& volumes);
  // True when the volume's directory could be read.
  bool HasDirectory(uint16_t partition, uint16_t volume) const;

  // The partition's volume table entry (name, type, directory block), with
  // its program and sample lists once its directory is read (empty lists
  // before, and for an empty slot). Null for a partition of which nothing
  // has been read.
  const VolumeEntry* Volume(uint16_t partition, uint16_t volume) const;

  // The chain of the file starting at startBlock in partition: at most
  // maxBlocks blocks, ending at the end mark, at a block that is not a file
  // block, where the chain comes back to a block it has been through, or,
  // on an image, at the first block past the image's end. Empty when
  // startBlock is not a file block.
  std::vector<uint16_t> Chain(uint16_t partition, uint16_t startBlock, uint32_t maxBlocks) const;

 private:
  struct Partition;
  Partition* Find(uint16_t partition) const;
  uint32_t partitionCount_ = 0;
  uint32_t partitionSize_ = 0;
  std::vector<std::unique_ptr<Partition>> partitions_;  // by number; null until read
};

}  // namespace corvix
