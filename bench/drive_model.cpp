// corvix-drive-model TRACE: the drive's view of a job, from the trace that
// CORVIX_READ_TRACE=TRACE makes corvix write (one "LBA COUNT" per command):
//   commands MB seeks model-seconds floor-seconds ratio
#include <cstdio>

#include "drive_model.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: corvix-drive-model TRACE\n");
    return 2;
  }
  std::FILE* trace = std::fopen(argv[1], "r");
  if (trace == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<corvix::bench::DriveRead> reads;
  unsigned long long lba = 0;
  unsigned count = 0;
  while (std::fscanf(trace, "%llu %u", &lba, &count) == 2) reads.push_back({lba, count});
  std::fclose(trace);
  const corvix::bench::DriveCost model = corvix::bench::DriveTime(reads);
  const corvix::bench::DriveCost floor = corvix::bench::DriveFloor(reads);
  std::printf("%llu %.1f %llu %.1f %.1f %.2f\n", static_cast<unsigned long long>(model.commands),
              static_cast<double>(model.bytes) / 1048576.0, static_cast<unsigned long long>(model.seeks), model.seconds,
              floor.seconds, floor.seconds > 0 ? model.seconds / floor.seconds : 1.0);
  return 0;
}
