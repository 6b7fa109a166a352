// An output format as a job drives it: one writer per format, told of each
// program once the waves it is made from stand.
//
// A job reads the programs of a batch, has the wave import write the waves
// every format of the job needs in one sweep of the disc, and hands each
// program to every writer as soon as its waves stand; a writer may write
// its file then (a .tes, an .sf2, an .sfz) or keep the program for the end
// (a bank). Which waves a writer takes, and where its files lie, its
// format's policy says; the job follows the policy and never asks which
// format it runs.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "records/job_state.h"
#include "riff/file_system.h"

namespace corvix {

// A file the job finished, in the order written.
struct ConvertedFile {
  std::string path;
  uint32_t regions = 0;   // regions written (the patched "insh" count; zones of an SF2 or SFZ file)
  uint32_t waves = 0;     // waves in the pool (samples of an SF2 file, WAV files of an SFZ one or a folder)
  uint32_t programs = 0;  // programs in the file: 1, or the combined count
  uint32_t item = 0;      // place in the job's list of the program it is named after
};

// The waves a format's files are made from: the design's (cut to the play
// range, the unity note corrected for the sampling rate, "Import Waves"
// and the .tes pool) or those of today's samplers (each sample's whole
// sound at its own rate; a pair merged only where its zones play alike).
enum class WaveKind : uint8_t { kDesign, kPlayers };

// How a format's files lie and what it asks of the job.
struct FormatPolicy {
  WaveKind waves = WaveKind::kDesign;
  // Each program gets a folder of its own below the target, named after
  // it, and its WAV files stay there; else the WAV files are the job's
  // own, written in its work folder and gone when it ends.
  bool ownFolder = false;
  // Every program of the job goes into one wave table and one file, each
  // program a group (at most 64).
  bool oneTable = false;
  // The file's extension (".tes"), or none for a folder of WAV files.
  const char* extension = "";
};

// What a job's writers share: the files written and the names taken.
struct JobOutput {
  std::vector<ConvertedFile> files;
  uint32_t leftOut = 0;  // programs left out (each reported)
  // The file name for a program name (name + extension) in folder: its
  // stored name, or, where this job has written a file of the name there
  // already, the first free " (k)" variant, which is noted under label.
  // Taken for the job.
  std::string Claim(const std::string& folder, const std::string& name, const char* extension,
                    const std::string& label);

 private:
  std::map<std::string, NameList> names_;  // per folder
};

// The waves of one program (or of all, for a one-table format) as the
// import wrote them.
struct ProgramWaves {
  std::vector<WaveEntry> rows;
  std::vector<WaveSource> sources;
  std::string folder;
};

// One program handed to a writer once its waves stand.
struct ProgramToWrite {
  std::vector<const ConversionItem*> programs;  // the program (one-table formats: all, the first names the file)
  std::string name;    // the first program's name as stored on the disc
  std::string label;   // PARTITION/VOLUME/PROGRAM
  std::string folder;  // where its file goes (its own folder for an own-folder format)
  uint32_t place = 0;  // the first program's place in the job's list
  const ProgramWaves* waves = nullptr;  // of the format's kind; also in WaveTable
};

class InstrumentWriter {
 public:
  virtual ~InstrumentWriter() = default;
  // A program whose waves stand. 0 with PendingError set stops the job.
  virtual int Write(const ProgramToWrite& program, JobOutput& out) = 0;
  // After the last program. 0 with PendingError set when it fails.
  virtual int Finish(JobOutput&) { return 1; }
  // Whether the program's WAV files must outlast Write (until Finish).
  virtual bool KeepsWaves() const { return false; }
};

// The writers of the formats the program has (one class each, beside its
// file writer).
std::unique_ptr<InstrumentWriter> MakeTesWriter();
std::unique_ptr<InstrumentWriter> MakeSoundFontWriter();
std::unique_ptr<InstrumentWriter> MakeSoundFontBankWriter();
std::unique_ptr<InstrumentWriter> MakeSfzWriter();
std::unique_ptr<InstrumentWriter> MakeWaveFolderWriter();

// PARTITION/VOLUME/PROGRAM of a program of the list, as listings show it;
// volume: its volume's name ("?" when unknown).
std::string ProgramLabel(const ConversionItem& item, const char* volume);

// A program's name as stored (12 characters).
std::string ProgramName(const ConversionItem& item);

}  // namespace corvix
