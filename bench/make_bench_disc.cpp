// corvix-bench-disc IMAGE [MEGABYTES] [--contiguous]
//
// Writes a full-size Akai S1000 disc for the benchmark: ten or more
// partitions, each with a few volumes of programs and samples of realistic
// sizes (mono and L/R pairs, loops, several rates), FAT chains interleaved
// as on a disc written over time (with --contiguous, each file in one run
// of blocks, as on a disc written in one go). The same arguments give the
// same image.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <cstring>
#include <string>

#include "akai_disc_builder.h"

namespace db = corvix::discbuilder;

namespace {

constexpr uint32_t kBlocksPerPartition = 7900;  // below the FAT's 8315 entries

std::string Numbered(const char* stem, int n) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%03d", stem, n);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: corvix-bench-disc IMAGE [MEGABYTES] [--contiguous]\n");
    return 2;
  }
  const double megabytes = argc > 2 ? std::atof(argv[2]) : 650.0;
  const uint64_t budget = static_cast<uint64_t>(megabytes * 1024 * 1024);
  const uint64_t perPartition = static_cast<uint64_t>(kBlocksPerPartition) * 8192;
  const int partitions = static_cast<int>(std::max<uint64_t>(1, budget / perPartition));

  std::mt19937 random(2026);
  std::uniform_int_distribution<uint32_t> words(20000, 420000);
  const uint16_t rates[] = {44100, 44100, 44100, 22050, 32000, 48000};
  const char* shapes[] = {"sine", "saw", "square", "noise"};

  db::DiscSpec discSpec;
  discSpec.fragmented = !(argc > 3 && std::strcmp(argv[3], "--contiguous") == 0);
  discSpec.partitionSize = kBlocksPerPartition;
  int programNumber = 0, sampleNumber = 0;
  for (int p = 0; p < partitions; ++p) {
    db::PartitionSpec& partition = discSpec.partitions.emplace_back();
    // Fill to about 90% of the partition: the directory blocks and the
    // rounding of every file up to whole blocks need the rest.
    uint64_t room = perPartition * 9 / 10;
    for (int v = 0; v < 3 && room > 0; ++v) {
      db::VolumeSpec& volume = partition.volumes.emplace_back();
      volume.name = Numbered("VOLUME ", p * 3 + v);
      volume.type = v == 2 ? 3 : 1;
      const uint64_t volumeRoom = room / static_cast<uint64_t>(3 - v);
      uint64_t used = 0;
      while (used < volumeRoom && volume.programs.size() < 20) {
        db::ProgramSpec& program = volume.programs.emplace_back();
        program.name = Numbered("PROGRAM ", programNumber++);
        const int keygroups = 2 + static_cast<int>(random() % 6);
        const uint8_t span = static_cast<uint8_t>(72 / keygroups);
        for (int k = 0; k < keygroups && used < volumeRoom; ++k) {
          const bool stereo = random() % 3 == 0;
          const uint32_t length = words(random);
          const uint16_t rate = rates[random() % 6];
          db::KeygroupSpec keygroup;
          keygroup.lowKey = static_cast<uint8_t>(24 + k * span);
          keygroup.highKey = static_cast<uint8_t>(24 + (k + 1) * span - 1);
          for (int channel = 0; channel < (stereo ? 2 : 1); ++channel) {
            db::SampleSpec sample;
            // A pair is told by an L and an R at the same place, the last
            // L or R of each name: "SAMPLE 012 L" and "SAMPLE 012 R".
            sample.name = Numbered("SAMPLE ", sampleNumber);
            if (stereo) sample.name += channel == 0 ? " L" : " R";
            sample.sampleRate = rate;
            sample.recordedPitch = static_cast<uint8_t>(keygroup.lowKey + span / 2);
            sample.pcm = db::MakeTone(shapes[random() % 4], 110.0 * (1 + k), length, 0.5, 0.2, rate);
            sample.loopPoint = length - 1;
            sample.loopLength = length / 3;
            sample.loopTime = random() % 2 == 0 ? 1 : 0;
            keygroup.zones[channel].sample = sample.name;
            used += 192 + 2ull * length;
            volume.samples.push_back(std::move(sample));
          }
          ++sampleNumber;
          program.keygroups.push_back(keygroup);
        }
      }
      room -= std::min(room, used);
    }
  }
  std::string error;
  if (!db::WriteDiscImage(discSpec, argv[1], &error)) {
    std::fprintf(stderr, "corvix-bench-disc: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %d partitions, %d programs, %d samples\n", argv[1], partitions, programNumber, sampleNumber);
  return 0;
}
