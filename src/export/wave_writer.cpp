#include "export/wave_writer.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "common/pending_error.h"
#include "records/job_notes.h"
#include "records/job_state.h"
#include "media/akai_disk.h"
#include "media/akai_names.h"
#include "riff/chunk_writer.h"
#include "riff/riff_file.h"

namespace corvix {
namespace {

constexpr double kCentsPerDecade = 3986.313713;  // 1200 / log10(2)
constexpr double kReferenceRate = 44100.0;
constexpr const char* kCantCreate = "Can't create file";
constexpr const char* kNoMemory = "Read Buffer Malloc";
constexpr const char* kDiskFull = "Can't write to file (disk full?)";
constexpr const char* kCancelled = "Conversion cancelled by user";
constexpr const char* kTableFull = "Too many samples for one job (1024 at most)";
constexpr const char* kFolderGone = "The target folder was removed while the job was running";
// Blocks of sound gathered before they are written: one write per 128 KiB
// rather than one per 8 KiB block.
constexpr uint32_t kStagedBlocks = 16;
constexpr uint32_t kStageBytes = kStagedBlocks * kBlockBytes;

class NoBar : public ProgressBar {
 public:
  void SetRange(uint32_t, uint32_t) override {}
  void SetStep(uint32_t) override {}
  void StepIt() override {}
};

uint32_t ClampNote(int note) { return static_cast<uint32_t>(std::clamp(note, 0, 127)); }

// The file and its clean-up: a failure closes (if still open) and deletes it.
class WaveOutput {
 public:
  WaveOutput(std::unique_ptr<RiffFile> file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}
  RiffFile& file() { return *file_; }
  int Fail(const char* message, uint32_t style = kStyleError) {
    SetPendingError(message, style);
    file_->Close();
    DeleteFileByName(path_);
    return 0;
  }
  bool WriteAll(const void* data, uint64_t bytes) {
    return bytes == 0 || file_->Write(data, static_cast<size_t>(bytes)) == static_cast<int64_t>(bytes);
  }

 private:
  std::unique_ptr<RiffFile> file_;
  std::string path_;
};

void PutFormat(uint8_t* format, uint32_t sampleRate) {
  PutU16LE(format + 0, 1);   // PCM
  PutU16LE(format + 2, 1);   // mono
  PutU32LE(format + 4, sampleRate);
  PutU32LE(format + 8, 2 * sampleRate);
  PutU16LE(format + 12, 2);  // block align
  PutU16LE(format + 14, 16);
}

// What the disc did not give of a sample, for the user to hear when the job
// ends: the file is still written, with what there is.
void NoteDamage(const char* name, bool headerUnreadable, bool unreadable, bool cutShort, bool noRate) {
  const std::string sample = "\"" + TrimmedName(name) + "\"";
  if (headerUnreadable) {
    AddJobNote(sample + ": the sample could not be read from the disc; its file is empty");
    return;
  }
  if (unreadable) AddJobNote(sample + ": part of the sample could not be read from the disc and is silent in the file");
  if (cutShort) AddJobNote(sample + ": the sample ends early on the disc; the file holds the part that is there");
  if (noRate) AddJobNote(sample + ": the sample has no sampling rate; it was written as 44100 Hz");
}

}  // namespace

WaveTuning ComputeWaveTuning(const SampleRecord& sample, ByteView keygroup, ByteView zone) {
  const double rate = sample.sampleRate == 0 ? kReferenceRate : sample.sampleRate;
  // Rate correction in whole semitones S and cents C (0 … 100).
  const double c = kCentsPerDecade * std::log10(kReferenceRate / rate);
  int semitones = static_cast<int>(c / 100.0);
  double f = c - 100.0 * semitones;
  if (f > 0) f += 0.5;
  if (f < 0) f -= 0.5;
  int cents = static_cast<int>(f);
  if (cents < 0) {
    cents += 100;
    semitones -= 1;
  }
  const auto rateFine = static_cast<uint32_t>(2.56 * cents);

  // All tuning pairs added as 16-bit fixed-point semitones.
  const uint32_t fineSum = sample.tuneFine + rateFine + zone.U8(kZoneTuneFraction) +
                           keygroup.U8(kKeygroupTuneFraction);
  const int semitoneSum = static_cast<int>(fineSum / 256) + sample.tuneSemitones + semitones +
                          keygroup.I8(kKeygroupTuneSemitones) + zone.I8(kZoneTuneSemitones);
  const int semis = static_cast<int8_t>(static_cast<uint8_t>(semitoneSum & 0xFF));

  const double r = (fineSum % 256) * 100.0 / 256.0;
  const int fractionCents = 100 - static_cast<int>(std::floor(r + 0.5));
  const int unity = sample.recordedPitch - semis - 1 + (fractionCents == 100 ? 1 : 0);
  const auto fraction =
      static_cast<uint32_t>(static_cast<uint64_t>(fractionCents / 100.0 * 4294967296.0));

  int rowCents = fractionCents == 100 ? 0 : fractionCents;
  int root = unity;
  if (rowCents > 50) {
    root += 1;
    rowCents -= 100;
  }
  WaveTuning tuning{};
  tuning.unityNote = ClampNote(unity);
  tuning.pitchFraction = fraction;
  tuning.rootNote = static_cast<uint16_t>(ClampNote(root));
  tuning.fineTune = static_cast<int16_t>(-rowCents);
  return tuning;
}

bool SampleLoops(const SampleRecord& sample, uint8_t zoneOverride) {
  if (zoneOverride == 1 || zoneOverride == 2) return true;
  if (zoneOverride == 3 || zoneOverride == 4) return false;
  if (sample.loopTime == 0) return false;
  return sample.playbackType <= 1;
}

PlayRange ComputePlayRange(const SampleRecord& sample, uint8_t zoneOverride) {
  PlayRange range{};
  if (sample.length == 0) return range;
  const bool loops = SampleLoops(sample, zoneOverride);

  // Signed 64-bit throughout: no step can wrap.
  const int64_t last = sample.playEnd < sample.length ? sample.playEnd : int64_t{sample.length} - 1;
  int64_t end = sample.loopPoint;
  int64_t start = std::max<int64_t>(0, end - int64_t{sample.loopLength} + 1);
  if (end > last) {
    const int64_t shift = end - last;
    end = last;
    start = std::max<int64_t>(0, start - shift);
  }
  int64_t first = sample.playStart;
  if (loops && first > start) first = start;
  if (first > last) first = last + 1;  // nothing of the sample is played
  int64_t words = last + 1 - first;

  // A loop that is defined but not played ends the data at the loop end
  // (when the loop end lies in the play range at all).
  // An override above 4 means nothing and counts as 0, as in SampleLoops.
  const bool definedNotPlayed = (zoneOverride == 0 || zoneOverride == 3 || zoneOverride > 4) &&
                                sample.loopTime == 0 && sample.playbackType <= 1 &&
                                sample.loopLength != 0;
  if (definedNotPlayed && end >= first) words = end - first + 1;

  range.first = static_cast<uint32_t>(std::min<int64_t>(first, 0xFFFFFFFF));
  range.words = static_cast<uint32_t>(words);
  if (words > 0) {
    range.loopStart = static_cast<uint32_t>(std::clamp<int64_t>(start - first, 0, words - 1));
    range.loopEnd = static_cast<uint32_t>(std::clamp<int64_t>(end - first, 0, words - 1));
    range.loops = loops;
  }
  return range;
}

int WriteWaveFile(const char* name, ProgressBar* bar, uint16_t partition, uint16_t startBlock,
                  uint32_t recordLength, ByteView keygroup, ByteView zone, uint32_t groupIndex) {
  NoBar noBar;
  if (bar == nullptr) bar = &noBar;
  if (WaveTable.count >= kWaveTableRows) {
    SetPendingError(kTableFull, kStyleError);
    return 0;
  }
  WaveEntry& row = WaveTable.rows[WaveTable.count];

  // 1. The file.
  const std::string path = WaveFilePath(name);
  std::unique_ptr<RiffFile> file = RiffFile::Open(path, OpenMode::kCreate);
  if (!file) {
    SetPendingError(kCantCreate, kStyleError);
    return 0;
  }
  WaveOutput out(std::move(file), path);

  // 2. The first block: header and the first sound. The buffer holds
  // kStagedBlocks blocks; the first one is read into its start.
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kStageBytes]);
  if (!buffer) return out.Fail(kNoMemory);
  std::memset(buffer.get(), 0, kBlockBytes);
  // A block that can't be read stays silent; the user is told at the end.
  const bool headerUnreadable = !ReadDiscBlock(partition, startBlock, buffer.get());
  bool unreadable = false;
  const uint32_t headerBytes = std::min(recordLength, kBlockBytes);
  const SampleRecord sample = DecodeSampleRecord({buffer.get(), headerBytes});

  // 3, 4, 5. Pitch, loop and play range.
  const WaveTuning tuning = ComputeWaveTuning(sample, keygroup, zone);
  const PlayRange range = ComputePlayRange(sample, zone.U8(kZonePlaybackMode));
  row.unityNote = tuning.rootNote;
  row.fineTune = tuning.fineTune;
  row.zoneTuneFraction = zone.U8(kZoneTuneFraction);
  row.zoneTuneSemitones = zone.I8(kZoneTuneSemitones);
  row.keygroupTuneFraction = keygroup.U8(kKeygroupTuneFraction);
  row.keygroupTuneSemitones = keygroup.I8(kKeygroupTuneSemitones);

  // 6. The head.
  ChunkInfo form;
  form.type = FourCC("WAVE");
  if (!out.file().CreateChunk(form, CreateFlag::kRiff)) return out.Fail(kDiskFull);
  // A rate of 0 has no meaning (and would make the period infinite); the
  // file says 44100 Hz, the rate the tuning was computed for.
  const uint32_t rate = sample.sampleRate == 0 ? static_cast<uint32_t>(kReferenceRate) : sample.sampleRate;
  uint8_t format[kFormatBytes];
  PutFormat(format, rate);
  ChunkInfo data;
  if (!WriteChunk(out.file(), FourCC("fmt "), format, kFormatBytes) ||
      !WriteInfoList(out.file(), name) || !BeginChunk(out.file(), data, FourCC("data"))) {
    return out.Fail(kDiskFull);
  }

  // 7. The sound, from the word `first` on, along the chain. A chain ends
  // at a block it has been through already: a file holds no block twice, so
  // a chain that loops back on itself is damaged there.
  std::bitset<kFatEntries> visited;
  if (startBlock < kFatEntries) visited.set(startBlock);
  auto follow = [&visited](uint16_t from) -> uint16_t {
    const uint16_t to = NextFileBlock(from);
    if (to == kChainEnd || visited.test(to)) return kChainEnd;
    visited.set(to);
    return to;
  };
  const uint64_t bytesWanted = 2ull * range.words;
  const uint64_t firstByte = headerBytes + 2ull * range.first;
  const uint64_t firstBlockIndex = firstByte / kBlockBytes;
  const auto offset = static_cast<uint32_t>(firstByte % kBlockBytes);
  uint16_t block = startBlock;
  bool haveBlock = firstBlockIndex < kFatEntries;
  for (uint64_t i = 0; haveBlock && i < firstBlockIndex; ++i) {
    block = follow(block);
    if (block == kChainEnd) haveBlock = false;
  }
  if (haveBlock && firstBlockIndex > 0) {
    std::memset(buffer.get(), 0, kBlockBytes);
    if (!ReadDiscBlock(partition, block, buffer.get())) unreadable = true;
  }
  const uint64_t total = offset + bytesWanted;
  const uint64_t blocks =
      std::clamp<uint64_t>((total + kBlockBytes - 1) / kBlockBytes, 1, kFatEntries);
  bar->SetRange(0, static_cast<uint32_t>(blocks - 1));
  bar->SetStep(1);

  // Blocks are read one at a time, each into the next free part of the
  // buffer, and the sound gathered there is written when the buffer is full
  // and after the last block. The gathered bytes are always one run: only
  // the first block starts inside it (at offset), only the last one may end
  // short, and every block between is whole.
  uint64_t written = 0;  // bytes taken into the file, gathered or written
  uint32_t runFrom = offset, runEnd = offset;
  auto writeRun = [&]() {
    if (!out.WriteAll(buffer.get() + runFrom, runEnd - runFrom)) return false;
    runFrom = runEnd = 0;
    return true;
  };
  uint16_t next = kChainEnd;
  if (haveBlock) {
    const uint64_t n = std::min<uint64_t>(bytesWanted, kBlockBytes - offset);
    runEnd += static_cast<uint32_t>(n);
    written += n;
    next = follow(block);
  }
  // Where the chain goes on to the next block of the disc, the blocks that
  // follow are read with the block at hand, in one read of up to
  // kMaxBlocksPerRead blocks (as far as the buffer and the range reach);
  // they are then taken from the buffer, each still in a step of its own.
  uint64_t done = kBlockBytes;
  uint32_t blocksInBuffer = 0;  // blocks read ahead, from runEnd on
  for (uint64_t counter = 1; next != kChainEnd && counter < blocks; ++counter) {
    if (CancelRequested) return out.Fail(kCancelled, kStyleWarning);
    bar->StepIt();
    if (blocksInBuffer == 0) {
      if (runEnd + kBlockBytes > kStageBytes && !writeRun()) return out.Fail(kDiskFull);
      const uint64_t room = std::min<uint64_t>(
          {(kStageBytes - runEnd) / kBlockBytes, blocks - counter, kMaxBlocksPerRead});
      // Only a peek along the chain: follow() below still decides where it
      // ends, so blocks read ahead past a loop are never used.
      uint16_t count = 1;
      for (uint16_t last = next; count < room; ++count) {
        const uint16_t after = NextFileBlock(last);
        if (after != static_cast<uint16_t>(last + 1)) break;
        last = after;
      }
      uint8_t* slot = buffer.get() + runEnd;
      std::memset(slot, 0, size_t{count} * kBlockBytes);
      if (count == 1) {
        if (!ReadDiscBlock(partition, next, slot)) unreadable = true;
      } else if (!ReadDiscBlocks(partition, next, count, slot)) {
        // A failed read may have delivered none of its blocks: block by
        // block, each that can be read is.
        for (uint16_t i = 0; i < count; ++i) {
          uint8_t* into = slot + size_t{i} * kBlockBytes;
          std::memset(into, 0, kBlockBytes);
          if (!ReadDiscBlock(partition, static_cast<uint16_t>(next + i), into)) unreadable = true;
        }
      }
      blocksInBuffer = count;
    }
    const uint64_t n = std::min<uint64_t>(kBlockBytes, total - done);
    runEnd += static_cast<uint32_t>(n);
    written += n;
    --blocksInBuffer;
    next = follow(next);
    done += kBlockBytes;
    CurrentProgressUi().PumpMessages();
  }
  if (!writeRun()) return out.Fail(kDiskFull);

  // The loop as written: within the words that reached the file (a chain
  // that ends early leaves fewer than the play range asked for).
  const auto wordsWritten = static_cast<uint32_t>(written / 2);
  const bool loops = range.loops && wordsWritten > 0;
  const uint32_t lastWord = wordsWritten > 0 ? wordsWritten - 1 : 0;
  const uint32_t loopStart = std::min(range.loopStart, lastWord);
  const uint32_t loopEnd = std::min(range.loopEnd, lastWord);

  // 8. Close the data and write smpl.
  if (!EndChunk(out.file(), data)) return out.Fail(kDiskFull);
  uint8_t sampler[kSamplerRecordBytes] = {};
  PutU32LE(sampler + 0, FourCC("smpl"));
  PutU32LE(sampler + 4, kSamplerBytes);
  uint8_t* body = sampler + 8;
  PutU32LE(body + 8, static_cast<uint32_t>(1e9 * (1.0 / rate)));
  PutU32LE(body + 12, tuning.unityNote);
  PutU32LE(body + 16, tuning.pitchFraction);
  PutU32LE(body + 28, loops ? 1 : 0);
  PutU32LE(body + 36, 0);  // cue point id
  PutU32LE(body + 40, 0);  // forward
  PutU32LE(body + 44, loopStart);
  PutU32LE(body + 48, loopEnd);
  if (!out.WriteAll(sampler, kSamplerRecordBytes)) return out.Fail(kDiskFull);
  row.loopMarker = loops ? 0 : kNoLoop;
  row.loopType = 0;
  row.loopStart = loopStart;
  row.loopEnd = loopEnd;
  row.loopFraction = 0;
  row.loopPlayCount = 0;

  // 9. The group index, for conversions.
  if (ImportWavesMode == 0) {
    uint8_t index[kGroupIndexBytes];
    PutU32LE(index, groupIndex);
    if (!WriteChunk(out.file(), FourCC("3gix"), index, kGroupIndexBytes)) return out.Fail(kDiskFull);
  }

  // 10. Fix the form's size and close; a file that didn't reach the disk whole
  // is not reported as written.
  if (!out.file().Ascend(form) || !out.file().Close()) return out.Fail(kDiskFull);
  // Where a folder can be removed with files open in it (POSIX), the writes
  // above went to a file that no longer has a name.
  if (!CurrentFileSystem().FileExists(path)) return out.Fail(kFolderGone);
  NoteDamage(name, headerUnreadable, unreadable, written < bytesWanted, sample.sampleRate == 0);
  return 1;
}

}  // namespace corvix
