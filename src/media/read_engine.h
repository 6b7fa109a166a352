// Reading a job's sectors in disc order.
//
// On a CD-ROM drive a seek costs tens of milliseconds and every command a
// little; what a job reads matters less than the order and the number of
// commands. So a job first says everything it will read in a round, each run
// of sectors with the reader that wants it (ReadPlan::Want), and the round
// then reads them all in ascending order of their addresses, in commands of
// up to kReadCommandSectors sectors (one READ(10) on a drive, one read on an
// image), each sector once however many readers want it, and hands each run
// to its reader in that order. A reader that learns from what it got that it
// needs more asks for it in the next round.
//
// A command that fails is tried again run by run, so that a drive that
// refuses long reads, or a bad sector, costs only the runs it holds: a run
// that can't be read is handed over as zeros, marked unreadable.
#pragma once

#include <cstdint>
#include <vector>

namespace corvix {

// Sectors in one command: 64 KiB, what any SCSI adapter moves at once.
constexpr uint32_t kReadCommandSectors = 32;

class RunReader {
 public:
  virtual ~RunReader() = default;
  // The bytes of a run this reader asked for under tag (sectors × 2048 of
  // them; zeros where the source delivered nothing, readable false then).
  // Returns false to stop the round: the job has failed or was cancelled.
  virtual bool Take(uint32_t tag, const uint8_t* bytes, uint32_t size, bool readable) = 0;
};

// Told of every command as it completes, for a job's progress.
class ReadProgress {
 public:
  virtual ~ReadProgress() = default;
  virtual void Read(uint64_t bytes) = 0;
};

class ReadPlan {
 public:
  // Asks for `sectors` sectors (1 … kReadCommandSectors) from lba. An
  // address past the 32-bit range is handed over unreadable.
  void Want(uint64_t lba, uint32_t sectors, RunReader* reader, uint32_t tag);
  // Block `block` of `partition` (4 sectors); a block that is not a file
  // block of the current partitions is handed over unreadable, unread.
  void WantBlock(uint32_t partition, uint32_t block, RunReader* reader, uint32_t tag);

  bool empty() const { return runs_.empty(); }
  // Distinct sectors the round will read.
  uint64_t Sectors() const;

  // Reads every run asked for and hands it over; the plan is empty after.
  // False when a reader stopped the round (the rest is not read).
  bool Run(ReadProgress* progress = nullptr);

 private:
  struct Wanted {
    uint64_t lba;
    uint32_t sectors;
    RunReader* reader;
    uint32_t tag;
    bool unreadable;  // never to be read (outside the disc's file blocks)
  };
  std::vector<Wanted> runs_;
};

}  // namespace corvix
