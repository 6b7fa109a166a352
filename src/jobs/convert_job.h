// The convert and combine job: Akai programs to instrument files, from the
// exported samples to the finished file and the host sampler's notice.
//
// Before the job the caller sets WaveFolder (the target folder, without a
// trailing separator), ImportWavesMode = 0 and MergeStereoPairs, and builds
// the ConversionItem list (conversion_list.h). The job only reads the list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/job_disc.h"
#include "records/job_state.h"

namespace corvix {

constexpr int kCombineMode = 0;        // all programs into one file, one group each
constexpr int kConvertMode = 1;        // one file per program
constexpr int kSoundFontMode = 2;      // one SoundFont 2 file per program
constexpr int kSoundFontBankMode = 3;  // one SoundFont 2 file, each program a preset
constexpr int kSfzMode = 4;            // per program a folder of WAV files and its SFZ file

// A file the job finished, in the order written.
struct ConvertedFile {
  std::string path;
  uint32_t regions = 0;   // regions written (the patched "insh" count; zones of an SF2 or SFZ file)
  uint32_t waves = 0;     // waves in the pool (samples of an SF2 file, WAV files of an SFZ one)
  uint32_t programs = 0;  // programs in the file: 1, or the combined count
  uint32_t item = 0;      // place in the job's list of the program it is named after
};

struct ConversionReportRecord {
  std::vector<ConvertedFile> files;
  uint32_t leftOut = 0;  // programs that could not be read (each reported)
  std::vector<bool> readable;  // per program of the job's list, once the job has come to it
};

// What the last ConvertPrograms wrote; reset when a job starts.
extern ConversionReportRecord ConversionReport;
void ResetConversionReport();

// Converts the list whose head is list. In convert mode (kConvertMode) each
// program becomes "WaveFolder/NAME.tes" (NAME: the program name as files
// are named, StoredName: "STRINGS.tes"); a name the same job has already
// written gets " (2)", " (3)", … before ".tes" instead, and the user is
// told; a file from an earlier run is replaced. In combine mode
// (kCombineMode, at most 64 programs) all become one file named after the
// first program, each program a group.
//
// The job reads the disc's tables once (those of disc, when the caller has
// read them already), then the programs of the list, in disc order, a
// batch at a time; a program that can't be read is reported at once
// (titled "Error") and left out, and the others are done. Then the wave
// import writes the samples of the batch (transfer dialog "XFERDIALOG"),
// reading the disc in disc order, and each program's file is written as
// soon as its waves stand: the progress dialog "CREATETESDLG" shows
// "Creating  NAME.tes", the instrument and the wave pool are written under
// a temporary name, the WAV files deleted, the file patched, flushed and
// renamed over NAME.tes, then announced to the host (host_link.h); an
// earlier NAME.tes stands until then. The job's WAV files live in its work
// folder (WorkFolder), never beside the user's files. A file the disc is
// read from is never written over (RefuseSource).
//
// The other instruments come the same way, batch by batch, from the same
// wave import (instrument/program_zones.h gives their zones):
// - kSoundFontMode: each program becomes "NAME.sf2" (soundfont.h), named
//   as the .tes files are, with the progress dialog "CREATESF2DLG"; its WAV
//   files are deleted once it stands.
// - kSoundFontBankMode: all become one "NAME.sf2", named after the first
//   program read; every program's WAV files wait for it.
// - kSfzMode: each program gets its own folder below WaveFolder, named as
//   "Import Waves" names them, with the import's WAV files (they stay) and
//   "NAME.sfz" (sfz_file.h) beside them.
// No host is told of these files.
//
// Returns 1 when every file was written and announced (also for an empty
// list, and when programs were left out: ConversionReport.leftOut counts
// them); 0 at the first failure, with PendingError set ("Conversion
// cancelled by user" in the warning style when Cancel was pressed): the
// failing file and every WAV file of the job are gone, files finished
// earlier stay. Zones and key ranges that could not go into a file, and
// renamed files, are shown once when the job ends (ShowJobNotes) and stay in
// JobNotes. Refuses to run while another job runs (JobGuard).
int ConvertPrograms(ConversionItem* list, int mode);
int ConvertPrograms(ConversionItem* list, int mode, JobDisc* disc);

}  // namespace corvix
