// The wave import job: every sample one Akai program uses becomes a WAV
// file, once; stereo pairs are merged when MergeStereoPairs is set; every
// file written is recorded in WaveTable.
#pragma once

#include <cstdint>

#include "records/job_state.h"

namespace corvix {

// Exports the samples of the program of item (its file read by the caller,
// conversion_list.h), keygroup by keygroup and zone by zone, with the
// transfer dialog "XFERDIALOG" open, into WaveFolder as the caller set it
// (in "Import Waves" mode, ImportWavesMode 1, the program's own folder,
// import_job.h). groupIndex goes into every file's 3gix chunk (conversions
// only). The caller resets WaveTable.count as it needs; rows are appended.
//
// A zone 2 (4) pairs only with the sample that zone 1 (3) of the same
// keygroup has just exported. Cancel is honoured before each sample and
// between the blocks of one; the job clears it when the job starts. In "Import Waves" mode a zone whose sample is
// not in the volume is noted (job_notes.h); so is damage the WAV writer
// meets. 1 on success (also for a program without
// keygroups); 0 at the first failure or on Cancel, with PendingError set:
// files completed earlier stay and are in WaveTable (a pair whose merge
// failed as two mono rows), the failing file is gone.
int ImportProgramWaves(const ConversionItem& item, uint32_t groupIndex);

}  // namespace corvix
