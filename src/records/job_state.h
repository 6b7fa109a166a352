// The process-wide records through which the commands, the wave import, the
// WAV writer, the stereo merge and the instrument writer hand work to one
// another. One job at a time uses them; they live for the whole run.
#pragma once

#include <csignal>
#include <cstdint>
#include <memory>
#include <string>

#include "media/akai_format.h"
#include "media/akai_records.h"

namespace corvix {

// Longest folder path held in WaveFolder and ChosenFolder (characters,
// without the terminator). A folder whose path doesn't fit is refused; so is
// one the platform can't take (PathFits: Windows's 259 characters).
constexpr size_t kMaxFolderChars = 4095;

constexpr uint32_t kWaveTableRows = 1024;
constexpr size_t kWaveNameBytes = 14;  // 13 characters (a merged name) + terminator

// One WAV file written by the current job.
struct WaveEntry {
  char name[kWaveNameBytes];  // the 12-character Akai name, or a merged "…LR" name
  uint16_t unityNote;         // MIDI root note
  int16_t fineTune;           // cents, -50 … 49
  uint8_t zoneTuneFraction;   // zone byte 14, raw
  int8_t zoneTuneSemitones;   // zone byte 15, raw
  uint8_t keygroupTuneFraction;   // keygroup byte 5, raw
  int8_t keygroupTuneSemitones;   // keygroup byte 6, raw
  uint32_t loopMarker;  // loop cue point id (0), or kNoLoop when the file has no loop
  uint32_t loopType;    // 0, forward
  uint32_t loopStart;   // words from the first sound word of the file
  uint32_t loopEnd;     // inclusive, counted likewise
  uint32_t loopFraction;
  uint32_t loopPlayCount;
  uint8_t keyByte;  // keygroup byte 132 + z of the zone that named it (the left zone's for a pair)
  uint32_t stereo;  // 1 for a merged two-channel file
  uint16_t fileCopy;  // 0, or k when the job named its file "NAME (k).wav" (see WaveFileName)
};

constexpr uint32_t kNoLoop = 0xFFFFFFFF;

// Where a row's file came from, for writers that need more than the row
// holds (the SoundFont and SFZ writers): the sample's header (for a pair,
// that of the zone that names it first, whose file the pair's follows), the
// names of the samples in the file and the frames it holds.
struct WaveSource {
  SampleRecord header{};
  char left[kWaveNameBytes] = {};   // the sample's name; a pair's left (first) channel: its L sample
  char right[kWaveNameBytes] = {};  // a pair's right (second) channel; empty for a mono file
  uint32_t frames = 0;              // sound frames written
};

// Rows 0 … count − 1 are the files written; the row at index count is the
// one being built. count never exceeds kWaveTableRows.
struct WaveTableRecord {
  WaveEntry rows[kWaveTableRows];
  uint32_t count;
};

extern WaveTableRecord WaveTable;
// The window's state, which its commands hand to the jobs as their target
// (a job takes its folder and its merge flag as arguments, never from here):
// the folder of a conversion's files, which the .tes pool also reads its
// waves from;
extern char WaveFolder[kMaxFolderChars + 1];
// the folder last picked by the user, parent of the per-program folders of
// "Import Waves";
extern char ChosenFolder[kMaxFolderChars + 1];
// "Merge L/R": stereo pairs become one two-channel file. Starts at 1.
extern int MergeStereoPairs;
// For the single-file operations (WriteWaveFile, MergeStereoFiles,
// ImportProgramWaves): 1 for the files of "Import Waves" (no 3gix chunk),
// 0 for a conversion's.
extern int ImportWavesMode;
// Set by the progress dialog's Cancel (or Ctrl-C on the command line, from a
// signal handler); cleared when a job starts.
extern volatile std::sig_atomic_t CancelRequested;

// The file of a WaveTable name: the name as files are named (StoredName,
// without its padding), with " (k)" when copy is k > 1, and ".wav". A job
// gives a row copy k when an earlier file of the job in the same folder
// came out with the same name ("KICK" and "KICK.", or one sample exported
// for two programs of a conversion), so that no two share a file.
// WaveFilePath puts it in WaveFolder. Every writer, reader and deleter of
// the job's WAV files forms the path here.
std::string WaveFileName(const char* name, uint16_t copy = 0);
std::string WaveFilePath(const char* name, uint16_t copy = 0);
inline std::string WaveFilePath(const WaveEntry& row) { return WaveFilePath(row.name, row.fileCopy); }

// Copies folder into WaveFolder or ChosenFolder; false (nothing changed)
// when it is longer than kMaxFolderChars.
bool SetWaveFolder(const std::string& folder);
bool SetChosenFolder(const std::string& folder);

// One program of a job. The list is built, owned and freed by the command;
// the job reads each program once, in disc order with the others, when it
// comes to it (program and summary are empty until then and are let go of
// once its files are written), and the instrument writer reads them.
struct ConversionItem {
  std::unique_ptr<ProgramBuffer> program;  // the whole program file, read along its chain
  uint16_t partition = 0;
  uint16_t volume = 0;        // within the partition
  uint16_t programIndex = 0;  // in the volume's program list
  uint32_t keygroupStride = 150;  // RecordLength of the volume's type (150 or 192)
  std::unique_ptr<ConversionItem> next;  // none for the last item
  std::unique_ptr<ProgramSummary> summary;  // decoded from program with its volume's samples
};

// Back to the start values (count 0, empty folders, modes 0, merge on,
// Cancel clear); for tests and a fresh start.
void ResetJobState();

}  // namespace corvix
