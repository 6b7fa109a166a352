// The instrument file: a RIFF form "DLS " holding one instrument (one Akai
// program, or several combined as groups) and its wave pool.
//
// File order: LIST "INFO", "vers", "colh", "dlid" (the file's identifier,
// zeros until the patch pass), LIST "lins" { LIST "ins " { LIST "INFO",
// "dlid", "insh", LIST "lrgn", LIST "lart" { "3frg" } } }, LIST "3gri"
// { LIST "3gnl" }, "ptbl", LIST "wvpl". All integers little-endian.
//
// Calling order for one file (the convert job): open the file, create the
// form, WriteInstrumentList, WriteWavePool, ascend out of the form, close,
// PatchInstrumentFile. WaveTable and the WAV files must exist before
// WriteInstrumentList starts: the regions look their waves up there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "records/job_state.h"
#include "records/progress.h"
#include "riff/riff_file.h"

namespace corvix {

constexpr uint32_t kInstrumentHeaderBytes = 12;  // "insh"
constexpr uint32_t kIdentifierBytes = 16;        // "dlid"
constexpr const char* kNoIdentifier = "Can't create a unique identifier";

// Writes everything from LIST "INFO" to LIST "3gri" inside the open form.
// items is the head of the job's list; single is non-zero for "Convert"
// (only the head is used) and zero for "Combine" (every item goes into this
// instrument). The name, MIDI program number and bend range come from the
// head item's program. Returns 1, or 0 with PendingError set and the file
// closed.
int WriteInstrumentList(RiffFile& file, const ConversionItem* items, int single);

// Writes LIST "ins ". A platform that gives no instrument identifier (or
// an all-zero one) fails it with kNoIdentifier. Returns 1 or 0 (the file is
// then closed).
int WriteInstrument(RiffFile& file, const ConversionItem* items, int single);

// Reopens the closed file at path, sets the region count of "insh" to
// RegionCount and the file-level "dlid" to a fresh identifier, and closes
// it. Returns 1; or 0 with PendingError set, after AbandonInstrumentFile has
// deleted the file (also when it could not be reopened: an unpatched file
// is never left behind), the exported WAV files and the dialog.
int PatchInstrumentFile(const std::string& path, std::unique_ptr<ProgressDialog>& dialog);

// The clean-up after a failed step of an instrument file: closes file (if
// given and still open), deletes the file at path, deletes the exported WAV
// files and destroys the progress dialog. Reports nothing.
void AbandonInstrumentFile(RiffFile* file, const std::string& path,
                           std::unique_ptr<ProgressDialog>& dialog);

}  // namespace corvix
