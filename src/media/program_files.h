// Reading a job's program files in disc order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "media/akai_format.h"
#include "media/job_disc.h"
#include "media/read_engine.h"

namespace corvix {

// One program file of a job, and what was read of it.
struct ProgramFile {
  uint16_t partition = 0;
  uint16_t volume = 0;
  DirEntry entry{};                       // the program's directory entry
  std::unique_ptr<ProgramBuffer> buffer;  // filled by ReadProgramFiles
  bool readable = false;                  // its first block could be read
};

// The reader behind ReadProgramFiles, for a round that reads other things
// with the first blocks: Want adds the first blocks to plan (allocating each
// buffer); the further blocks are asked for in plan's next round as the
// first ones come; Settle, after the last round, counts what was read.
class ProgramFileReader : public RunReader {
 public:
  // The chain of the file of partition from startBlock, at most maxBlocks.
  using ChainOf = std::function<std::vector<uint16_t>(uint16_t partition, uint16_t startBlock, uint32_t maxBlocks)>;
  ProgramFileReader(const JobDisc& disc, const std::vector<ProgramFile*>& files);
  ProgramFileReader(ChainOf chainOf, const std::vector<ProgramFile*>& files);
  void Want(ReadPlan& plan);
  bool Take(uint32_t tag, const uint8_t* bytes, uint32_t size, bool readable) override;
  void Settle();

 private:
  ChainOf chainOf_;
  const std::vector<ProgramFile*>& files_;
  ReadPlan* plan_ = nullptr;
  std::vector<uint32_t> delivered_;  // bit b: block b arrived readable
};

// Reads the files along their chains (from the job's FATs), as far as each
// one's keygroups reach and at most kProgramBlocks blocks: the first blocks
// of all in one round in disc order, the further blocks of large programs in
// a second. A file whose first block is not a file block or can't be read
// is not readable (its buffer stays zero); a later block that can't be read
// ends what counts as read there (bytesRead). Allocates each buffer.
void ReadProgramFiles(const JobDisc& disc, const std::vector<ProgramFile*>& files);

}  // namespace corvix
