// The wave import: every sample that programs use becomes a WAV file, once
// per table; stereo pairs are merged where the set says so; every
// file written is recorded in its table.
//
// A job hands over its programs in sets. A set is what one WaveTable holds,
// in the folder its files go to: one program for "Import Waves" (its own
// folder) and "Convert to TES", all of them for "Combine to TES". The
// import walks each program's keygroups and zones as the design has it
// (which sample each zone names, which are written once, which pair), then
// reads every block of every sample the job writes in disc order (ReadPlan)
// and puts each block at its place in its file, whatever the order of the
// chain. Pairs are merged as soon as both files stand.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/wave_writer.h"
#include "media/job_disc.h"
#include "records/job_state.h"
#include "records/source_guard.h"
#include "riff/file_system.h"

namespace corvix {

// One table's worth of programs.
struct WaveSet {
  std::vector<const ConversionItem*> programs;  // read, with their summaries
  std::string folder;         // where the files go
  bool groupByPosition = false;  // 3gix: the program's place in the set (combine); else groupIndex
  uint32_t groupIndex = 0;
  // How the files are cut and tuned; players: files for today's samplers
  // (SoundFont 2, SFZ), whose zones can't split a two-channel file, so a
  // pair is merged only where every zone that names either of its samples
  // is one of a pair of zones that play alike (PairZonesAgree).
  WaveStyle style;
  bool players = false;
  // results: the files are the job's results and stay (a zone whose sample
  // is not in the volume is noted; each file is written under a temporary
  // name and replaces a file of its name only once whole); else they are
  // the job's own, read again and deleted. groupChunk: the files carry a
  // 3gix chunk (the .tes pool's). merge: L/R pairs are merged.
  bool results = false;
  bool groupChunk = true;
  bool merge = true;
  // A set of samples on their own, in place of programs: each written once,
  // as its header says (no zone tunes or plays it); two merged when their
  // names are the same but for the L/R letter. title names them in the
  // dialog.
  std::vector<DirEntry> samples;
  uint16_t partition = 0;
  uint32_t recordLength = 150;
  std::string title;
  std::vector<WaveEntry> rows;   // the table before the import (to go on with), then after it
  std::vector<WaveSource> sources;  // one per row of the import's own (rows it went on with: empty)
};

// A job's private folder for the files it makes only to read them again
// (the halves of pairs, a conversion's WAV files): made exclusively under a
// temporary name (file_system.h), so no other run's files are ever in it,
// and deleted with everything in it when the job is done.
class WorkFolder {
 public:
  // 0 with PendingError set when it can't be made below `below`.
  int Make(const std::string& below);
  ~WorkFolder();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

class WaveImport {
 public:
  // workFolder: where the files the import makes for itself go (the halves
  // of pairs, which go once merged).
  WaveImport(const JobDisc& disc, const std::string& workFolder);
  ~WaveImport();
  WaveImport(const WaveImport&) = delete;
  WaveImport& operator=(const WaveImport&) = delete;

  // Walks the programs of the sets (kept by reference until the import is
  // done) and names every file (see WaveSet::results). Files get the
  // names of their samples in their folders, and " (2)", " (3)", … where a
  // file of this job took the name already. 0 with PendingError set when a
  // table would pass 1024 rows.
  int Plan(std::vector<WaveSet>& sets);

  // Reads and writes everything planned, with the transfer dialog
  // "XFERDIALOG" open: its bar runs over the blocks to read, its lines name
  // the program and the sample whose blocks come. The interface's messages
  // are pumped and Cancel honoured at every block. Calls done(set) as each
  // set's files stand whole, in set order; done returns false (with
  // PendingError set) to stop the job. 1 on success; 0 at the first
  // failure or on Cancel, with PendingError set and every file not whole
  // deleted (files that stand whole are kept; DeleteAll takes them too).
  int Run(const std::function<bool(size_t set)>& done = {});

  // How the sweep tells the job's progress (ProgressUi::ShowJobProgress):
  // bytes the job had read before this import, and its whole reading as far
  // as the job can tell.
  void SetJobReading(uint64_t before, uint64_t total) {
    jobBefore_ = before;
    jobTotal_ = total;
  }

  // Adds the notes of program p of set s to JobNotes, in zone order: zones
  // whose sample is not in the volume, and the damage the disc did.
  void NoteProgram(size_t set, size_t program) const;

  // Deletes every file the import wrote or was writing (a conversion's).
  void DeleteAll();

  // Blocks the sweep reads, for a job's progress (known after Plan).
  uint64_t BytesToRead() const;

 private:
  int PlanSamples(size_t set, WaveSet& sets);
  struct Export;
  struct Merge;
  struct ProgramNotes;
  class Sweep;
  const JobDisc& disc_;
  std::string workFolder_;
  uint64_t jobBefore_ = 0, jobTotal_ = 0;
  std::vector<WaveSet>* sets_ = nullptr;
  std::vector<Export> exports_;
  std::vector<Merge> merges_;
  std::vector<std::vector<ProgramNotes>> notes_;  // per set, per program
};

// Whether zones z and z + 1 of a keygroup play their samples alike but for
// the sample: velocities, tuning and playback override the same, pans apart
// by as much to either side; only then can one two-channel zone of today's
// samplers stand for them.
bool PairZonesAgree(ByteView keygroup, uint32_t z);

// A job's reading, done a batch of programs at a time: what the batches
// before read, and, for the programs not read yet, a guess from those.
class JobReading {
 public:
  explicit JobReading(size_t programs) : programs_(programs) {}
  // Before a batch of `count` programs runs: tells its import (planned).
  void Start(WaveImport& import, size_t count);
  // After it ran.
  void Done();

 private:
  size_t programs_;
  size_t programsRead_ = 0, batch_ = 0;
  uint64_t bytesRead_ = 0, batchBytes_ = 0;
};

// A program's own folder below `below`, named after it (StoredName: "DRUM
// KIT"), or " (2)", " (3)", … where this job has used the name already (in
// used, to which the name is added); a folder from an earlier run is used,
// a missing one made. 0 with PendingError set when it can't be.
int MakeProgramFolder(const char* programName, const std::string& below, NameList& used,
                      std::string* folder);

// The wave import of one program on its own into WaveFolder, continuing
// WaveTable (its caller resets the count as it needs): for tests and tools.
// groupIndex goes into every file's 3gix chunk (conversions only). The
// samples are read through disc, which reads the program's directory only
// if it has not yet. 1 on success (also for a program without keygroups); 0
// with PendingError set.
int ImportProgramWaves(JobDisc& disc, const ConversionItem& item, uint32_t groupIndex);

}  // namespace corvix
