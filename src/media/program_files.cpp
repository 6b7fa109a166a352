#include "media/program_files.h"

#include <algorithm>
#include <cstring>

#include "media/akai_records.h"
#include "media/read_engine.h"

namespace corvix {
ProgramFileReader::ProgramFileReader(const JobDisc& disc, const std::vector<ProgramFile*>& files)
    : ProgramFileReader([&disc](uint16_t p, uint16_t start, uint32_t max) { return disc.Chain(p, start, max); },
                        files) {}

ProgramFileReader::ProgramFileReader(ChainOf chainOf, const std::vector<ProgramFile*>& files)
    : chainOf_(std::move(chainOf)), files_(files), delivered_(files.size(), 0) {}

void ProgramFileReader::Want(ReadPlan& plan) {
  plan_ = &plan;
  for (size_t i = 0; i < files_.size(); ++i) {
    ProgramFile& file = *files_[i];
    file.buffer = std::make_unique<ProgramBuffer>();
    file.readable = false;
    plan.WantBlock(file.partition, file.entry.startBlock, this, static_cast<uint32_t>(i) * kProgramBlocks);
  }
}

bool ProgramFileReader::Take(uint32_t tag, const uint8_t* bytes, uint32_t size, bool readable) {
  const uint32_t index = tag / kProgramBlocks, block = tag % kProgramBlocks;
  ProgramFile& file = *files_[index];
  if (!readable || size < kBlockBytes) return true;
  std::memcpy(file.buffer->bytes + block * kBlockBytes, bytes, kBlockBytes);
  delivered_[index] |= 1u << block;
  if (block == 0) {
    file.readable = true;
    // The keygroups the stored count names, at the larger stride: the
    // blocks that may hold them follow along the chain.
    const uint32_t stored = file.buffer->bytes[kProgramKeygroupCount];
    const uint32_t wanted = (std::min<uint32_t>(stored, kMaxKeygroups) + 1) * 192;
    const uint32_t blocks = std::min<uint32_t>((wanted + kBlockBytes - 1) / kBlockBytes, kProgramBlocks);
    const std::vector<uint16_t> chain = chainOf_(file.partition, file.entry.startBlock, blocks);
    for (uint32_t b = 1; b < chain.size(); ++b) plan_->WantBlock(file.partition, chain[b], this, index * kProgramBlocks + b);
  }
  return true;
}

void ProgramFileReader::Settle() {
  for (size_t i = 0; i < files_.size(); ++i) {
    // What counts as read: the first block and those after it without a gap.
    uint32_t blocks = 0;
    while (blocks < kProgramBlocks && (delivered_[i] >> blocks & 1u) != 0) ++blocks;
    if (!files_[i]->readable) blocks = 0;
    for (uint32_t b = blocks; b < kProgramBlocks; ++b)
      std::memset(files_[i]->buffer->bytes + b * kBlockBytes, 0, kBlockBytes);
    files_[i]->buffer->bytesRead = blocks * kBlockBytes;
  }
}

void ReadProgramFiles(const JobDisc& disc, const std::vector<ProgramFile*>& files) {
  ReadPlan plan;
  ProgramFileReader reader(disc, files);
  reader.Want(plan);
  while (!plan.empty()) plan.Run();
  reader.Settle();
}

}  // namespace corvix
