// The wave pool of an instrument file: the pool table "ptbl" and LIST
// "wvpl" with one LIST "wave" per WaveTable row, in table order. Each wave
// is the job's WAV file with its RIFF wrapper removed: its bytes from file
// offset 12 on become the body of the LIST "wave" (the list type "wave"
// takes the place of the form type "WAVE"). Once all are copied the WAV
// files are deleted.
#pragma once

#include <cstdint>

#include "records/job_state.h"
#include "records/progress.h"
#include "riff/riff_file.h"

namespace corvix {

// One buffer, whatever the wave's size; large enough that a copy costs few
// calls to the file system.
constexpr uint32_t kWaveCopyBytes = 262144;

// Where each wave's LIST header lies, counted from the first byte after the
// "wvpl" list type; meaningful from its copy until the "ptbl" is patched.
extern uint32_t WaveOffsetTable[kWaveTableRows];

// Writes "ptbl" and LIST "wvpl" at the current position, then patches the
// table. dialog (may be null) gets a progress bar stepped once per wave;
// the interface's messages are pumped and Cancel is honoured before each
// wave. Returns 1, or 0 with PendingError set and the file closed:
// "Conversion cancelled by user" (warning style); "Can't open file  " and
// the path of a WAV file that can't be opened; "Can't read file  " and the
// path of one that is not a RIFF WAVE file or is shorter than its RIFF size
// says (nothing beyond the bytes read is ever written). The WAV files are
// deleted after a complete copy, and left to the caller otherwise.
int WriteWavePool(RiffFile& file, ProgressDialog* dialog);

// Deletes the WAV file of every WaveTable row; a file that isn't there is
// no error.
void DeleteExportedWaves();

}  // namespace corvix
