// The "Import Waves" job: programs to folders of WAV files, one folder per
// program below ChosenFolder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jobs/convert_job.h"
#include "media/job_disc.h"

namespace corvix {

// A program as the commands pick it: its place on the disc.
struct ProgramRef {
  uint16_t partition = 0;
  uint16_t volume = 0;        // within the partition
  uint16_t programIndex = 0;  // in the volume's program list
};

// What the job wrote, program by program, for the command line to show.
struct ImportedProgram {
  size_t index = 0;                // in the job's list of programs
  std::string folder;              // the program's folder
  std::vector<std::string> files;  // file names, in the order written
  std::vector<bool> stereo;        // per file: a merged L/R pair
};

struct ImportReport {
  std::vector<ImportedProgram> programs;  // those exported, in order
  uint32_t leftOut = 0;                   // programs that could not be read
};

// Imports the programs in order into target.folder (merging pairs as
// target.merge says, tuned as target.designStyle says: the command line's
// --standard-root-key writes the unity note without the correction for the
// sampling rate). The job reads the disc's tables once (those of disc, when
// the caller has read them already), then the programs, a batch at a time,
// in disc order; a program that can't be read is reported at once by its
// name ("Can't read program PIANO", titled "Error") and left out, and the
// job goes on. Each program gets its own folder below the target, named
// after it (StoredName: "DRUM KIT"); a name this job has already given a
// folder gets " (2)", " (3)", … so that two programs never write into each
// other's files; a folder from an earlier run is used. Then the samples of
// the batch are read in disc order and written (wave_import.h); WaveTable
// holds each program's rows in turn.
//
// Stops at the first failure, and at Cancel, with PendingError set for the
// caller to show: files that stand whole stay, none is left half written.
// The notes the job made (job_notes.h) are shown when it ends, either way.
// 1 when every program that could be read was exported. Refuses to run
// while another job runs. done, when given, hears of each program as soon
// as its files stand, in the programs' order.
int ImportPrograms(const std::vector<ProgramRef>& programs, const JobTarget& target, ImportReport* report,
                   const std::function<void(const ImportedProgram&)>& done = {}, JobDisc* disc = nullptr);

}  // namespace corvix
