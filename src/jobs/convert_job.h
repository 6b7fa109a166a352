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

#include "records/job_state.h"

namespace corvix {

constexpr int kCombineMode = 0;  // all programs into one file, one group each
constexpr int kConvertMode = 1;  // one file per program

// A file the job finished, in the order written.
struct ConvertedFile {
  std::string path;
  uint32_t regions = 0;   // regions written (the patched "insh" count)
  uint32_t waves = 0;     // waves in the pool
  uint32_t programs = 0;  // programs in the file: 1, or the combined count
};

struct ConversionReportRecord {
  std::vector<ConvertedFile> files;
};

// What the last ConvertPrograms wrote; reset when a job starts.
extern ConversionReportRecord ConversionReport;
void ResetConversionReport();

// Converts the list whose head is list. In convert mode (kConvertMode) each
// program becomes "WaveFolder/NAME.tes" (NAME: the program name as files
// are named, StoredName: "STRINGS.tes"); a name the same job has already
// written gets " (2)", " (3)", … before ".tes" instead, and the user is
// told; a file from an earlier run is replaced. In combine mode (kCombineMode, at most 64
// programs) all become one file named after the first program, each program
// a group.
//
// For each file: the wave import exports the samples (the "XFERDIALOG"
// transfer dialog), the progress dialog "CREATETESDLG" shows "Creating
// NAME.tes", the instrument and the wave pool are written, the WAV files
// deleted, the file patched and announced to the host (host_link.h).
//
// Returns 1 when every file was written and announced (also for an empty
// list); 0 at the first failure, with PendingError set ("Conversion
// cancelled by user" in the warning style when Cancel was pressed): the
// failing file and every WAV file of the job are gone, files finished
// earlier stay, later programs are not touched. Zones and key ranges that
// could not go into a file, and renamed files, are shown once when the job
// ends (ShowJobNotes) and stay in JobNotes. Refuses to run while another
// job runs (JobGuard).
int ConvertPrograms(const ConversionItem* list, int mode);

}  // namespace corvix
