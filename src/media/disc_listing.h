// The whole disc as plain values: partitions, volumes, programs, samples.
//
// Built the way the browser reads the disc (partition information, each
// partition's volume table, each volume's directory and program summaries),
// for the command line, the fuzz targets and anything else that wants the
// disc in one piece. The names keep their trailing spaces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/akai_format.h"
#include "media/akai_names.h"
#include "media/job_disc.h"

namespace corvix {

struct ListedProgram {
  std::string name;
  uint16_t index = 0;       // in the volume's program list
  uint16_t startBlock = 0;
  bool readable = true;     // false when the program's file can't be read
  uint32_t keygroups = 0;   // keygroups read
  uint8_t lowestKey = 127;
  uint8_t highestKey = 0;
};

struct ListedSample {
  std::string name;
  uint16_t startBlock = 0;
  uint32_t lengthBytes = 0;  // from the directory
  uint32_t lengthWords = 0;  // from the sample header
  uint32_t sampleRate = 0;
};

struct ListedVolume {
  std::string name;
  uint16_t slot = 0;  // volume number within the partition
  uint8_t type = 0;
  std::vector<ListedProgram> programs;
  std::vector<ListedSample> samples;
};

struct ListedPartition {
  std::string label;  // PartitionLabel of number: "A" … "Z", "27", …
  uint16_t number = 0;
  std::vector<ListedVolume> volumes;
};

struct DiscListing {
  bool isAkaiDisc = false;
  uint32_t partitionSize = 0;
  std::vector<ListedPartition> partitions;
  // What could not be read (a failed read, or one past the end of an
  // image), each as "partition B", "volume A/STRINGS", "sample A/STRINGS/VIOLA":
  // the listing shows it empty, which it may not be.
  std::vector<std::string> unread;
};

// Reads the whole disc from the current sector source and returns it as
// values: each table once, the program files and sample headers of each
// partition in one round in disc order.
DiscListing ListDisc();

// The summaries of the programs of volume `volume` of `partition`, whose
// directory disc has read (as the browser has it when it lists the volume):
// the program files in disc order, along the chains of disc's FAT. out[i]
// and readable[i] for program i, for the first count programs; a program
// that can't be read (also every program of a partition whose header could
// not be read) gets readable false and a summary without keygroups.
void SummarizeVolumePrograms(const JobDisc& disc, uint16_t partition, uint16_t volume, ProgramSummary* out,
                             bool* readable, int count);

}  // namespace corvix
