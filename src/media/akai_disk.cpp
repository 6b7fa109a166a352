#include "media/akai_disk.h"

namespace corvix {

AkaiDiskModel AkaiDisk = {};

bool IsFileBlock(uint32_t block) {
  // Blocks 0 to 2 hold the partition header; no file starts or goes on there.
  return block < AkaiDisk.partitionSize && block < kFatEntries && block * kBlockBytes >= kHeaderBytes;
}

void ResetAkaiDisk() { AkaiDisk = {}; }

}  // namespace corvix
