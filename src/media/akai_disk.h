// The Akai S1000 disk model: what block addresses need of the disc read last.
//
// A disc holds partitions of S blocks each (S from the disc's partition
// information); an Akai block is 8192 bytes, 4 sectors, numbered from the
// start of its partition. Every partition begins with a header: 97 check
// words, a table of 100 volumes and the FAT. A volume's directory is one
// block of 24-byte entries naming programs and samples.
//
// The disc is read through JobDisc (job_disc.h), which sets the model when
// it opens a disc; block addresses (ReadPlan::WantBlock) are reckoned from it.
#pragma once

#include <cstdint>

#include "media/akai_format.h"

namespace corvix {

struct AkaiDiskModel {
  uint32_t partitionSize;  // S, blocks per partition; 0 when no Akai disc has been recognised
};

extern AkaiDiskModel AkaiDisk;

// True when block can be part of a file of a partition of the current disc:
// inside the partition and inside the FAT, past the header.
bool IsFileBlock(uint32_t block);

// Clears the model; for a refresh and for tests.
void ResetAkaiDisk();

}  // namespace corvix
