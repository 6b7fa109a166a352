// The WAV file writer: one Akai sample becomes one mono 16-bit PCM WAV file
// in WaveFolder, with a `smpl` chunk carrying its unity note, pitch fraction
// and loop, and (for conversions) a `3gix` chunk with its group index.
//
// The sound is copied block by block straight from the disc along the
// partition's FAT, unchanged, and written 16 blocks at a time (128 KiB of
// buffer per call); blocks of the chain that follow each other on the disc
// are read together, up to 8 in one read. Between blocks the writer steps
// the progress bar, lets the interface process its messages and honours
// Cancel.
#pragma once

#include <cstdint>

#include "common/byte_order.h"
#include "records/progress.h"
#include "media/akai_records.h"

namespace corvix {

// Layout of the files written.
constexpr uint32_t kFormatBytes = 16;
constexpr uint32_t kSamplerBytes = 60;         // smpl body: header and one loop record
constexpr uint32_t kSamplerRecordBytes = 68;   // "smpl", size and body
constexpr uint32_t kGroupIndexBytes = 4;

// The pitch of a sample as the files carry it.
struct WaveTuning {
  uint32_t unityNote;      // smpl MIDI unity note, 0 … 127
  uint32_t pitchFraction;  // smpl MIDI pitch fraction, in 1/2^32 semitone
  uint16_t rootNote;       // unity rounded to the nearest note (half goes down), 0 … 127
  int16_t fineTune;        // cents from the true pitch back to rootNote, -50 … 49
};

// The tuning of a sample from its header, the keygroup's tuning pair
// (bytes 5, 6) and the zone's (bytes 14, 15), with the correction for its
// sampling rate (a rate of 0 counts as 44100 Hz).
WaveTuning ComputeWaveTuning(const SampleRecord& sample, ByteView keygroup, ByteView zone);

// Whether the sample loops in the file, from the zone's playback override
// (zone byte 19): 1, 2 loop; 3, 4 don't; 0 (and undefined values above 4)
// follow the sample: loopTime 0 doesn't, playback type 0 or 1 loops, any
// other type doesn't.
bool SampleLoops(const SampleRecord& sample, uint8_t zoneOverride);

// What is written of a sample, in sound words.
struct PlayRange {
  uint32_t first;      // index of the first word written
  uint32_t words;      // words to write (0 when the play range is empty)
  bool loops;          // loop count 1; never with 0 words
  uint32_t loopStart;  // relative to first; within 0 … words − 1
  uint32_t loopEnd;    // inclusive, likewise
};

// The play range and loop of a sample: the end is playEnd, or the sample's
// last word when playEnd is not below length; a loop that runs past the end
// is shifted down; a looping sample starts no later than its loop; a loop
// that is defined but not played ends the data at the loop end. Values that
// would fall outside the words written are clamped into them.
PlayRange ComputePlayRange(const SampleRecord& sample, uint8_t zoneOverride);

// Writes WaveFolder/name.wav for the sample file at startBlock of partition
// (header of recordLength bytes) as named by zone of keygroup, and fills the
// tuning and loop fields of WaveTable row count (not counted here). The FAT
// of the partition must have been read. bar may be null.
// A chain that ends early or comes back to a block it has been through ends
// the copy; blocks that can't be read are written as silence; a rate of 0
// is written as 44100 Hz. Each is noted for the user (job_notes.h) and the
// file still counts as written.
// 1 when the file is complete; 0 with PendingError set and no file left
// (unless it could not even be created), also when the file is gone after
// closing (its folder removed meanwhile).
int WriteWaveFile(const char* name, ProgressBar* bar, uint16_t partition, uint16_t startBlock,
                  uint32_t recordLength, ByteView keygroup, ByteView zone, uint32_t groupIndex);

}  // namespace corvix
