// The conversion job: Akai programs to the files of one or more output
// formats (output_formats.h), from one read of the disc.
//
// The caller builds the ConversionItem list (conversion_list.h), picks the
// formats and the target; the job only reads them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "export/wave_style.h"
#include "instrument/format_writer.h"
#include "jobs/output_formats.h"
#include "media/job_disc.h"
#include "records/job_state.h"

namespace corvix {

struct ConversionReportRecord {
  std::vector<ConvertedFile> files;
  uint32_t leftOut = 0;  // programs that could not be read or written (each reported)
  uint32_t skipped = 0;  // programs whose files all stood already (JobTarget::skipExisting)
  std::vector<bool> readable;  // per program of the job's list, once the job has come to it
};

// What the last ConvertPrograms wrote; reset when a job starts.
extern ConversionReportRecord ConversionReport;
void ResetConversionReport();

// Where a job's files go and how its waves are made.
struct JobTarget {
  explicit JobTarget(std::string into = {}, bool mergePairs = true) : folder(std::move(into)), merge(mergePairs) {}
  std::string folder;  // without a trailing separator
  bool merge = true;   // L/R pairs merged into two-channel files
  // The tree of a library: each program's files below
  // folder/DISC/PARTITION/VOLUME (the partition's label, the volume's name
  // as files are named), DISC being this. Empty: all in folder.
  std::string disc;
  // A program whose files all stand already is passed over, unread.
  bool skipExisting = false;
  WaveStyle designStyle;  // how the design's WAV files are tuned (import)
};

// The folder a program's files go to (made when missing, with its
// parents, when make is set); empty when it can't be made (PendingError
// set).
std::string ProgramFolder(const JobDisc& disc, const JobTarget& target, uint16_t partition, uint16_t volume,
                          bool make);

// Whether every file the formats would write for the program stands.
bool ProgramFilesStand(const JobDisc& disc, const JobTarget& target, const ConversionItem& item,
                       const std::vector<const OutputFormat*>& formats);

// A writer of the job with its format's policy.
struct JobWriter {
  FormatPolicy policy;
  InstrumentWriter* writer = nullptr;
};

// Converts the list whose head is list into every format named, from one
// read: the job reads the disc's tables once (those of disc, when the
// caller has read them already), then the programs of the list, in disc
// order, a batch at a time; a program that can't be read is reported at
// once (titled "Error") and left out, and the others are done. Then the
// wave import writes the waves the batch's formats need (the design's, those
// of today's samplers, or both) in one sweep of the disc (transfer dialog
// "XFERDIALOG"), and each program goes to every writer as soon as its waves
// stand. A file's name is the program's (StoredName: "STRINGS.tes"); a
// name the same job has already written in that folder gets " (2)",
// " (3)", … and the user is told; a file from an earlier run is replaced,
// once the new one is whole. Waves that are no format's result live in the
// job's work folder (WorkFolder), never beside the user's files. A file
// the disc is read from is never written over (RefuseSource). A format of
// one table (combine, at most 64 programs) runs alone.
//
// Returns 1 when every file was written (also for an empty list, and when
// programs were left out: ConversionReport.leftOut counts them); 0 at the
// first failure, with PendingError set ("Conversion cancelled by user" in
// the warning style when Cancel was pressed): the failing file and every
// WAV file that is no result are gone, files finished earlier stay. Zones
// and key ranges that could not go into a file, and renamed files, are
// shown once when the job ends (ShowJobNotes) and stay in JobNotes.
// Refuses to run while another job runs (JobGuard).
int ConvertPrograms(ConversionItem* list, const std::vector<const OutputFormat*>& formats, const JobTarget& target,
                    JobDisc* disc = nullptr);

// A sample of the disc, chosen on its own (not through a program).
struct SampleRef {
  uint16_t partition = 0;
  uint16_t volume = 0;
  uint16_t sampleIndex = 0;  // in the volume's sample list
};

// Writes the samples as WAV files for today's samplers, each once, into
// the folder "Samples" of its volume's folder (ProgramFolder); two samples
// are merged as a pair when target.merge is set and their names are the
// same but for the L/R letter. One sweep of the disc in disc order; out
// gets one entry per folder. Notes as ConvertPrograms's; 1, or 0 with
// PendingError set. Refuses to run while another job runs.
int ExportSamples(JobDisc& disc, const std::vector<SampleRef>& samples, const JobTarget& target, JobOutput& out);

// The same with writers the caller made (the import's own), the guard,
// notes and report left to the caller: out gets the files.
int RunWriters(JobDisc& disc, const std::vector<ConversionItem*>& items, const std::vector<JobWriter>& writers,
               const JobTarget& target, JobOutput& out, std::vector<bool>* readable);

}  // namespace corvix
