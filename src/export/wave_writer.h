// The WAV file writer: one Akai sample becomes one mono 16-bit PCM WAV file,
// with a `smpl` chunk carrying its unity note, pitch fraction and loop, and
// (for conversions) a `3gix` chunk with its group index.
//
// The sound is the sample's blocks, unchanged: the writer takes them as the
// disc gives them, in any order, and puts each at its place in the file.
// What the file will hold is known once the sample's first block (its
// header) is there and its chain of blocks is known (WaveLayout); the writer
// then writes everything but the sound, and each block's sound as it comes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "export/wave_style.h"
#include "media/akai_records.h"
#include "media/job_disc.h"
#include "records/job_state.h"
#include "records/progress.h"
#include "riff/riff_file.h"

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
  int32_t unityKey;        // unityNote before it is held to 0 … 127
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

// The words any zone may play of a sample: from the earlier of its play
// start and its loop start to its play end, the loop as the sample defines
// it (loops false when it defines none). A zone's PlayRange lies within it.
PlayRange SoundRange(const SampleRecord& sample);

// What a sample's file holds: computed from its header and from how many
// blocks its chain has (chainBlocks, from the first one).
struct WaveLayout {
  uint32_t rate;        // as written: the header's, or 44100 for a rate of 0
  WaveTuning tuning;
  PlayRange range;
  uint32_t firstBlock;  // chain index of the block holding the first word written
  uint32_t offset;      // where in that block it lies
  uint32_t blocks;      // chain blocks the sound takes, from firstBlock on
  uint64_t dataBytes;   // sound bytes: the play range, as far as the chain reaches
  bool loops;           // loop count 1
  uint32_t loopStart;   // as written: within the words written
  uint32_t loopEnd;
  bool cutShort;        // the chain ends before the play range does
  bool noRate;          // the header's rate is 0
};
WaveLayout ComputeWaveLayout(const SampleRecord& sample, ByteView keygroup, ByteView zone,
                             uint32_t recordLength, uint32_t chainBlocks, const WaveStyle& style = {});

// What the disc did not give of a sample: the file is still written, with
// what there is, and the user told (DamageNotes, one line each).
struct WaveDamage {
  bool headerUnreadable = false;  // its first block could not be read
  bool unreadable = false;        // some of its blocks could not be read: silence there
  bool cutShort = false;          // the chain ends before the play range does
  bool noRate = false;            // a rate of 0, written as 44100 Hz
};
std::vector<std::string> DamageNotes(const char* name, const WaveDamage& damage);

// Sound gathered per file before it is written: a sample read in disc order
// costs one write per 64 KiB rather than one per block.
constexpr uint32_t kStageBytes = 8 * 8192;

// Where a WAV file is written.
enum class WavePlace {
  kFinal,         // under a temporary name beside path; over path once whole
  kIntermediate,  // at path itself, which must be new (the job's work folder)
};

// One WAV file written from its sample's blocks.
class WaveFileWriter {
 public:
  WaveFileWriter() = default;
  ~WaveFileWriter();
  WaveFileWriter(const WaveFileWriter&) = delete;
  WaveFileWriter& operator=(const WaveFileWriter&) = delete;

  // Creates the file (as place says) and writes all but the sound (a gap
  // of layout.dataBytes that Put fills): the head with its final sizes,
  // `smpl` and, with groupChunk, `3gix`. Fills the tuning and loop fields
  // of row. 1, or 0 with PendingError set ("Can't create file", "Can't
  // write to file (disk full?)") and no file of the writer left.
  int Begin(const std::string& path, const char* name, const WaveLayout& layout, ByteView keygroup,
            ByteView zone, bool groupChunk, uint32_t groupIndex, WaveEntry& row,
            WavePlace place = WavePlace::kFinal);
  // The sound of chain block `chainIndex` (kBlockBytes), at its place; a
  // block outside the sound is passed over. readable false notes the damage
  // (the block's zeros are written). Sound put at following places is
  // gathered and written kStageBytes at a time. 1, or 0 with PendingError set
  // and the file gone.
  int Put(uint32_t chainIndex, const uint8_t* block, bool readable);
  // True once every block the sound needs has been put.
  bool complete() const { return begun_ && put_ >= layout_.blocks; }
  // Writes what the stage holds of it and closes the file; a final file is
  // flushed to the disk and takes its name, replacing an earlier file of
  // that name. 1 when the file stands whole under path (0 with PendingError
  // set, the writer's file gone and an earlier file of the name untouched
  // otherwise, also when the folder vanished).
  int Finish();
  // Writes what is gathered and closes the file for now (a job keeps few
  // open at once, and so little gathered); Put opens it again. 1, or 0 with
  // PendingError set and the file gone.
  int Park();
  bool open() const { return file_ != nullptr; }
  // Closes and deletes the file being written (nothing when it was never
  // made or is finished).
  void Abandon();

  const WaveLayout& layout() const { return layout_; }
  WaveDamage damage;

 private:
  int Fail(const char* message);
  void Discard();
  bool Flush();
  bool WriteAt(uint64_t position, const uint8_t* bytes, uint32_t size);
  std::string path_;     // the file's name once finished
  std::string writing_;  // the file the writes go to until then
  WavePlace place_ = WavePlace::kFinal;
  std::unique_ptr<RiffFile> file_;
  WaveLayout layout_{};
  uint64_t dataAt_ = 0;  // file position of the first sound byte
  uint32_t put_ = 0;     // blocks put
  std::vector<bool> got_;  // per block of the sound: put already
  bool begun_ = false;
  std::unique_ptr<uint8_t[]> stage_;  // sound gathered, to be written at stageAt_
  uint64_t stageAt_ = 0;
  uint32_t staged_ = 0;
};

// Writes WaveFolder/name.wav for the sample file at startBlock of partition
// (header of recordLength bytes) as named by zone of keygroup, and fills the
// tuning and loop fields of WaveTable row count (not counted here): the
// sample's first block, then the blocks of its chain (from disc's FAT of the
// partition, which must have been read) that its sound needs, in disc order.
// bar (may be null) is stepped per block; Cancel is honoured and
// the interface's messages pumped between blocks. Damage is noted
// (job_notes.h) and the file still counts as written.
// 1 when the file is complete; 0 with PendingError set and no file left.
int WriteWaveFile(const JobDisc& disc, const char* name, ProgressBar* bar, uint16_t partition, uint16_t startBlock,
                  uint32_t recordLength, ByteView keygroup, ByteView zone, uint32_t groupIndex);

}  // namespace corvix
