// What a CD-ROM drive makes of a job's reads: the time a generic 40× drive
// takes for a trace of commands, and the floor, the least any reader of the
// same sectors could take.
//
// The drive: 6 MB/s sustained; one command costs 0.5 ms; a read wholly
// inside the last 512 KiB read (the drive's read-ahead buffer) costs only
// the command; a read that starts where the last ended, or up to 1 MiB ahead
// of it, streams at 6 MB/s (the drive reads past the gap); any other read
// first costs an 80 ms seek. The floor: every distinct sector read once, in
// ascending order, in 64 KiB commands, with one seek per gap the drive can't
// read past.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace corvix::bench {

struct DriveRead {
  uint64_t lba = 0;
  uint32_t sectors = 0;
};

struct DriveCost {
  uint64_t commands = 0;
  uint64_t bytes = 0;   // bytes asked for
  uint64_t seeks = 0;
  double seconds = 0;
};

constexpr double kDriveBytesPerSecond = 6.0e6;
constexpr double kCommandSeconds = 0.0005;
constexpr double kSeekSeconds = 0.080;
constexpr uint64_t kBufferSectors = 512 * 1024 / 2048;
constexpr uint64_t kStreamGapSectors = 1024 * 1024 / 2048;
constexpr uint64_t kFloorCommandSectors = 64 * 1024 / 2048;

inline double TransferSeconds(uint64_t sectors) { return static_cast<double>(sectors) * 2048 / kDriveBytesPerSecond; }

inline DriveCost DriveTime(const std::vector<DriveRead>& reads) {
  DriveCost cost;
  bool any = false;
  uint64_t runStart = 0, end = 0;  // the run the head has read last, up to end
  for (const DriveRead& r : reads) {
    cost.commands += 1;
    cost.bytes += uint64_t{r.sectors} * 2048;
    cost.seconds += kCommandSeconds;
    const uint64_t from = r.lba, to = r.lba + r.sectors;
    const uint64_t buffered = std::max(runStart, end > kBufferSectors ? end - kBufferSectors : 0);
    if (any && from >= buffered && to <= end) continue;  // from the buffer
    if (any && from >= buffered && from <= end + kStreamGapSectors) {
      // Streams on from where the head is, reading past any gap.
      cost.seconds += TransferSeconds(to - end);
      end = to;
      continue;
    }
    cost.seeks += 1;
    cost.seconds += kSeekSeconds + TransferSeconds(r.sectors);
    runStart = from;
    end = to;
    any = true;
  }
  return cost;
}

// The floor: the distinct sectors the reads touch, read once in ascending
// order in 64 KiB commands, as the same drive takes them (a gap it can read
// past costs its reading; any other, one seek).
inline DriveCost DriveFloor(std::vector<DriveRead> reads) {
  std::sort(reads.begin(), reads.end(), [](const DriveRead& a, const DriveRead& b) { return a.lba < b.lba; });
  std::vector<DriveRead> ordered;
  uint64_t runFrom = 0, runTo = 0;
  bool open = false;
  auto close = [&] {
    for (uint64_t at = runFrom; open && at < runTo; at += kFloorCommandSectors)
      ordered.push_back({at, static_cast<uint32_t>(std::min(kFloorCommandSectors, runTo - at))});
  };
  for (const DriveRead& r : reads) {
    const uint64_t from = r.lba, to = r.lba + r.sectors;
    if (open && from <= runTo) {
      runTo = std::max(runTo, to);
      continue;
    }
    close();
    runFrom = from;
    runTo = to;
    open = true;
  }
  close();
  return DriveTime(ordered);
}

}  // namespace corvix::bench
