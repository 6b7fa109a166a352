#include "media/read_engine.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "media/akai_disk.h"
#include "media/sector_source.h"

namespace corvix {
namespace {

constexpr uint64_t kLastLba = std::numeric_limits<uint32_t>::max();

bool ReadInto(uint64_t lba, uint32_t sectors, uint8_t* buffer) {
  std::memset(buffer, 0, size_t{sectors} * kSectorBytes);
  if (lba + sectors > kLastLba) return false;
  return ReadSectors(static_cast<uint32_t>(lba), static_cast<uint16_t>(sectors), buffer,
                     sectors * kSectorBytes);
}

}  // namespace

void ReadPlan::Want(uint64_t lba, uint32_t sectors, RunReader* reader, uint32_t tag) {
  sectors = std::clamp<uint32_t>(sectors, 1, kReadCommandSectors);
  runs_.push_back({lba, sectors, reader, tag, lba + sectors > kLastLba});
}

void ReadPlan::WantBlock(uint32_t partition, uint32_t block, RunReader* reader, uint32_t tag) {
  const uint64_t lba = (uint64_t{AkaiDisk.partitionSize} * partition + block) * kSectorsPerBlock;
  runs_.push_back({lba, kSectorsPerBlock, reader, tag, !IsFileBlock(block) || lba + kSectorsPerBlock > kLastLba});
}

uint64_t ReadPlan::Sectors() const {
  std::vector<std::pair<uint64_t, uint64_t>> spans;
  for (const Wanted& w : runs_) {
    if (!w.unreadable) spans.emplace_back(w.lba, w.lba + w.sectors);
  }
  std::sort(spans.begin(), spans.end());
  uint64_t total = 0, end = 0;
  for (const auto& [from, to] : spans) {
    const uint64_t start = std::max(from, end);
    if (to > start) total += to - start;
    end = std::max(end, to);
  }
  return total;
}

bool ReadPlan::Run(ReadProgress* progress) {
  std::vector<Wanted> runs;
  runs.swap(runs_);
  std::stable_sort(runs.begin(), runs.end(), [](const Wanted& a, const Wanted& b) { return a.lba < b.lba; });
  if (runs.empty()) return true;
  // Each read zero-fills what it reads into first; nothing more to clear.
  const std::unique_ptr<uint8_t[]> command(new uint8_t[size_t{kReadCommandSectors} * kSectorBytes]);
  const std::unique_ptr<uint8_t[]> single(new uint8_t[size_t{kReadCommandSectors} * kSectorBytes]);

  size_t i = 0;
  while (i < runs.size()) {
    if (runs[i].unreadable) {
      std::memset(single.get(), 0, size_t{runs[i].sectors} * kSectorBytes);
      if (!runs[i].reader->Take(runs[i].tag, single.get(), runs[i].sectors * kSectorBytes, false)) return false;
      ++i;
      continue;
    }
    // One command: the runs from i on that follow or overlap each other,
    // as far as a command reaches.
    const uint64_t start = runs[i].lba;
    uint64_t end = start + runs[i].sectors;
    size_t j = i + 1;
    while (j < runs.size() && !runs[j].unreadable && runs[j].lba <= end &&
           std::max(end, runs[j].lba + runs[j].sectors) - start <= kReadCommandSectors) {
      end = std::max(end, runs[j].lba + runs[j].sectors);
      ++j;
    }
    const auto sectors = static_cast<uint32_t>(end - start);
    const bool whole = ReadInto(start, sectors, command.get());
    if (progress != nullptr) progress->Read(uint64_t{sectors} * kSectorBytes);

    bool readable = whole;
    // A command of one run (however many readers want it) has been tried.
    bool alone = true;
    for (size_t k = i + 1; k < j; ++k) alone &= runs[k].lba == runs[i].lba && runs[k].sectors == runs[i].sectors;
    for (size_t k = i; k < j; ++k) {
      const Wanted& w = runs[k];
      const uint32_t size = w.sectors * kSectorBytes;
      if (whole) {
        if (!w.reader->Take(w.tag, command.get() + (w.lba - start) * kSectorBytes, size, true)) return false;
        continue;
      }
      // The command failed: each run of it on its own, so that one bad
      // sector costs only its run (a run the same as the one before is not
      // read twice).
      const bool again = k > i && runs[k - 1].lba == w.lba && runs[k - 1].sectors == w.sectors;
      if (alone) {
        std::memcpy(single.get(), command.get() + (w.lba - start) * kSectorBytes, size);
      } else if (!again) {
        readable = ReadInto(w.lba, w.sectors, single.get());
      }
      if (!w.reader->Take(w.tag, single.get(), size, readable)) return false;
    }
    i = j;
  }
  return true;
}

}  // namespace corvix
