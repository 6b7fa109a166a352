#include "export/wave_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "common/messages.h"
#include "common/pending_error.h"
#include "media/akai_names.h"
#include "media/read_engine.h"
#include "records/job_notes.h"
#include "riff/chunk_writer.h"
#include "riff/file_system.h"

namespace corvix {
namespace {

constexpr double kCentsPerDecade = 3986.313713;  // 1200 / log10(2)
constexpr double kReferenceRate = 44100.0;

uint32_t ClampNote(int note) { return static_cast<uint32_t>(std::clamp(note, 0, 127)); }

void PutFormat(uint8_t* format, uint32_t sampleRate) {
  PutU16LE(format + 0, 1);   // PCM
  PutU16LE(format + 2, 1);   // mono
  PutU32LE(format + 4, sampleRate);
  PutU32LE(format + 8, 2 * sampleRate);
  PutU16LE(format + 12, 2);  // block align
  PutU16LE(format + 14, 16);
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
  tuning.unityKey = unity;
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


PlayRange SoundRange(const SampleRecord& sample) {
  // Override 1 (loop) starts the range no later than the loop and never
  // ends it at the loop; 3 (no loop) does neither, as for a sample whose
  // loop has no length.
  return ComputePlayRange(sample, sample.loopLength != 0 ? 1 : 3);
}

WaveLayout ComputeWaveLayout(const SampleRecord& sample, ByteView keygroup, ByteView zone,
                             uint32_t recordLength, uint32_t chainBlocks, const WaveStyle& style) {
  WaveLayout layout{};
  layout.rate = sample.sampleRate == 0 ? static_cast<uint32_t>(kReferenceRate) : sample.sampleRate;
  layout.noRate = sample.sampleRate == 0;
  SampleRecord tuned = sample;
  if (!style.rateCorrected) tuned.sampleRate = static_cast<uint16_t>(kReferenceRate);
  layout.tuning = ComputeWaveTuning(tuned, keygroup, zone);
  const uint8_t zoneOverride = zone.U8(kZonePlaybackMode);
  layout.range = ComputePlayRange(sample, zoneOverride);
  if (style.wholeSound) {
    // The file loops as the exporting zone plays the sample.
    const bool loops = layout.range.loops;
    layout.range = SoundRange(sample);
    layout.range.loops = loops && layout.range.words > 0;
  }
  const uint64_t headerBytes = std::min(recordLength, kBlockBytes);
  const uint64_t wanted = 2ull * layout.range.words;
  const uint64_t firstByte = headerBytes + 2ull * layout.range.first;
  layout.firstBlock = static_cast<uint32_t>(std::min<uint64_t>(firstByte / kBlockBytes, 0xFFFFFFFF));
  layout.offset = static_cast<uint32_t>(firstByte % kBlockBytes);
  // The sound runs from the first word as far as the play range goes or the
  // chain reaches, whichever ends first.
  if (layout.firstBlock < chainBlocks) {
    const uint64_t there = uint64_t{chainBlocks - layout.firstBlock} * kBlockBytes - layout.offset;
    layout.dataBytes = std::min(wanted, there);
  }
  layout.cutShort = layout.dataBytes < wanted;
  layout.blocks = static_cast<uint32_t>(layout.dataBytes > 0
                                            ? (layout.offset + layout.dataBytes + kBlockBytes - 1) / kBlockBytes
                                            : 0);
  // The loop as written: within the words that reach the file.
  const auto words = static_cast<uint32_t>(layout.dataBytes / 2);
  const uint32_t lastWord = words > 0 ? words - 1 : 0;
  layout.loops = layout.range.loops && words > 0;
  layout.loopStart = std::min(layout.range.loopStart, lastWord);
  layout.loopEnd = std::min(layout.range.loopEnd, lastWord);
  return layout;
}

std::vector<std::string> DamageNotes(const char* name, const WaveDamage& damage) {
  const std::string sample = "\"" + TrimmedName(name) + "\"";
  if (damage.headerUnreadable) return {sample + ": the sample could not be read from the disc; its file is empty"};
  std::vector<std::string> notes;
  if (damage.unreadable)
    notes.push_back(sample + ": part of the sample could not be read from the disc and is silent in the file");
  if (damage.cutShort)
    notes.push_back(sample + ": the sample ends early on the disc; the file holds the part that is there");
  if (damage.noRate) notes.push_back(sample + ": the sample has no sampling rate; it was written as 44100 Hz");
  return notes;
}

WaveFileWriter::~WaveFileWriter() {
  if (file_) file_->Close();
}

int WaveFileWriter::Fail(const char* message) {
  SetPendingError(message, kStyleError);
  Discard();
  return 0;
}

void WaveFileWriter::Discard() {
  stage_.reset();
  staged_ = 0;
  if (file_) file_->Close();
  file_.reset();
  if (!writing_.empty()) DeleteFileByName(writing_);
  writing_.clear();
  begun_ = false;
}

int WaveFileWriter::Begin(const std::string& path, const char* name, const WaveLayout& layout,
                          ByteView keygroup, ByteView zone, bool groupChunk, uint32_t groupIndex,
                          WaveEntry& row, WavePlace place) {
  path_ = path;
  place_ = place;
  layout_ = layout;
  if (place == WavePlace::kFinal) {
    file_ = CreateTempRiff(FolderOf(path), &writing_);
  } else {
    file_ = RiffFile::Open(path, OpenMode::kCreateNew);
    if (file_) writing_ = path;
  }
  if (!file_) {
    SetPendingError(kCantCreateFile, kStyleError, {"create file", path, CurrentFileSystem().LastFailure()});
    return 0;
  }
  row.unityNote = layout.tuning.rootNote;
  row.fineTune = layout.tuning.fineTune;
  row.zoneTuneFraction = zone.U8(kZoneTuneFraction);
  row.zoneTuneSemitones = zone.I8(kZoneTuneSemitones);
  row.keygroupTuneFraction = keygroup.U8(kKeygroupTuneFraction);
  row.keygroupTuneSemitones = keygroup.I8(kKeygroupTuneSemitones);
  row.loopMarker = layout.loops ? 0 : kNoLoop;
  row.loopType = 0;
  row.loopStart = layout.loopStart;
  row.loopEnd = layout.loopEnd;
  row.loopFraction = 0;
  row.loopPlayCount = 0;

  // The head, then a gap for the sound, then smpl (and 3gix) after it: every
  // size is known before the sound comes.
  RiffFile& file = *file_;
  ChunkInfo form;
  form.type = FourCC("WAVE");
  uint8_t format[kFormatBytes];
  PutFormat(format, layout.rate);
  ChunkInfo data;
  if (!file.CreateChunk(form, CreateFlag::kRiff) || !WriteChunk(file, FourCC("fmt "), format, kFormatBytes) ||
      !WriteInfoList(file, name) || !BeginChunk(file, data, FourCC("data"))) {
    return Fail(kDiskFull);
  }
  dataAt_ = file.Tell();
  if (!file.Seek(dataAt_ + layout.dataBytes) || !EndChunk(file, data)) return Fail(kDiskFull);
  uint8_t sampler[kSamplerRecordBytes] = {};
  PutU32LE(sampler + 0, FourCC("smpl"));
  PutU32LE(sampler + 4, kSamplerBytes);
  uint8_t* body = sampler + 8;
  PutU32LE(body + 8, static_cast<uint32_t>(1e9 * (1.0 / layout.rate)));
  PutU32LE(body + 12, layout.tuning.unityNote);
  PutU32LE(body + 16, layout.tuning.pitchFraction);
  PutU32LE(body + 28, layout.loops ? 1 : 0);
  PutU32LE(body + 36, 0);  // cue point id
  PutU32LE(body + 40, 0);  // forward
  PutU32LE(body + 44, layout.loopStart);
  PutU32LE(body + 48, layout.loopEnd);
  if (file.Write(sampler, kSamplerRecordBytes) != kSamplerRecordBytes) return Fail(kDiskFull);
  if (groupChunk) {
    uint8_t index[kGroupIndexBytes];
    PutU32LE(index, groupIndex);
    if (!WriteChunk(file, FourCC("3gix"), index, kGroupIndexBytes)) return Fail(kDiskFull);
  }
  if (!file.Ascend(form)) return Fail(kDiskFull);
  got_.assign(layout.blocks, false);
  put_ = 0;
  begun_ = true;
  damage.cutShort = layout.cutShort;
  damage.noRate = layout.noRate;
  return 1;
}

bool WaveFileWriter::WriteAt(uint64_t position, const uint8_t* bytes, uint32_t size) {
  if (!file_) {
    file_ = RiffFile::Open(writing_, OpenMode::kReadWrite);
    if (!file_) return false;
  }
  return file_->Seek(position) && file_->Write(bytes, size) == static_cast<int64_t>(size);
}

bool WaveFileWriter::Flush() {
  if (staged_ == 0) return true;
  const uint32_t bytes = staged_;
  staged_ = 0;
  return WriteAt(stageAt_, stage_.get(), bytes);
}

int WaveFileWriter::Put(uint32_t chainIndex, const uint8_t* block, bool readable) {
  if (!begun_ || chainIndex < layout_.firstBlock || chainIndex - layout_.firstBlock >= layout_.blocks) return 1;
  const uint32_t index = chainIndex - layout_.firstBlock;
  if (got_[index]) return 1;
  got_[index] = true;
  ++put_;
  if (!readable) damage.unreadable = true;
  const uint32_t from = index == 0 ? layout_.offset : 0;
  const uint64_t at = index == 0 ? 0 : uint64_t{index} * kBlockBytes - layout_.offset;
  const auto size = static_cast<uint32_t>(std::min<uint64_t>(kBlockBytes - from, layout_.dataBytes - at));
  const uint64_t position = dataAt_ + at;
  if (staged_ > 0 && stageAt_ + staged_ == position && staged_ + size <= kStageBytes) {
    std::memcpy(stage_.get() + staged_, block + from, size);
    staged_ += size;
    return 1;
  }
  if (!Flush()) return Fail(kDiskFull);
  if (!stage_) stage_.reset(new uint8_t[kStageBytes]);
  stageAt_ = position;
  staged_ = size;
  std::memcpy(stage_.get(), block + from, size);
  return 1;
}

int WaveFileWriter::Park() {
  if (!Flush()) return Fail(kDiskFull);
  stage_.reset();
  if (file_ && !file_->Close()) return Fail(kDiskFull);
  file_.reset();
  return 1;
}

int WaveFileWriter::Finish() {
  if (!Flush()) return Fail(kDiskFull);
  stage_.reset();
  // Where a folder can be removed with files open in it (POSIX), the writes
  // went to a file that no longer has a name.
  if (!CurrentFileSystem().FileExists(writing_)) return Fail(kFolderGone);
  if (place_ == WavePlace::kFinal) {
    if (!file_) file_ = RiffFile::Open(writing_, OpenMode::kReadWrite);
    if (!file_ || !PutRiffInPlace(*file_, writing_, path_)) return Fail(kDiskFull);
  } else if (file_ && !file_->Close()) {
    return Fail(kDiskFull);
  }
  file_.reset();
  writing_.clear();
  begun_ = false;
  return 1;
}

void WaveFileWriter::Abandon() { Discard(); }

namespace {

class NoBar : public ProgressBar {
 public:
  void SetRange(uint32_t, uint32_t) override {}
  void SetStep(uint32_t) override {}
  void StepIt() override {}
};

// One block kept as it was read.
struct BlockRead : public RunReader {
  uint8_t bytes[kBlockBytes] = {};
  bool readable = false;
  bool Take(uint32_t, const uint8_t* from, uint32_t size, bool ok) override {
    std::memcpy(bytes, from, std::min(size, kBlockBytes));
    readable = ok;
    return true;
  }
};

// The sound of one file, put as the blocks come, with the progress bar
// stepped, the interface's messages pumped and Cancel honoured before each.
class SoundReader : public RunReader {
 public:
  SoundReader(WaveFileWriter& writer, ProgressBar& bar) : writer_(writer), bar_(bar) {}
  bool Take(uint32_t chainIndex, const uint8_t* bytes, uint32_t, bool readable) override {
    if (CancelRequested) {
      cancelled = true;
      return false;
    }
    bar_.StepIt();
    if (!writer_.Put(chainIndex, bytes, readable)) return false;
    CurrentProgressUi().PumpMessages();
    return true;
  }
  bool cancelled = false;

 private:
  WaveFileWriter& writer_;
  ProgressBar& bar_;
};

}  // namespace

int WriteWaveFile(const JobDisc& disc, const char* name, ProgressBar* bar, uint16_t partition, uint16_t startBlock,
                  uint32_t recordLength, ByteView keygroup, ByteView zone, uint32_t groupIndex) {
  NoBar noBar;
  if (bar == nullptr) bar = &noBar;
  if (WaveTable.count >= kWaveTableRows) {
    SetPendingError(kTableFull, kStyleError);
    return 0;
  }
  WaveEntry& row = WaveTable.rows[WaveTable.count];

  // The header, then what it says of the sound.
  const std::vector<uint16_t> chain = disc.Chain(partition, startBlock, kFatEntries);
  BlockRead header;
  ReadPlan plan;
  plan.WantBlock(partition, startBlock, &header, 0);
  plan.Run();
  const SampleRecord sample = DecodeSampleRecord({header.bytes, std::min(recordLength, kBlockBytes)});
  const WaveLayout layout =
      ComputeWaveLayout(sample, keygroup, zone, recordLength, static_cast<uint32_t>(chain.size()));
  WaveFileWriter writer;
  if (!writer.Begin(WaveFilePath(name), name, layout, keygroup, zone, ImportWavesMode == 0, groupIndex, row))
    return 0;
  writer.damage.headerUnreadable = !header.readable;
  bar->SetRange(0, layout.blocks > 0 ? layout.blocks - 1 : 0);
  bar->SetStep(1);

  // The first block of the sound is taken as it comes; the others each
  // after a look at Cancel.
  SoundReader sound(writer, *bar);
  for (uint32_t i = 0; i < layout.blocks; ++i) {
    const uint32_t k = layout.firstBlock + i;
    if (i == 0) {
      if (k == 0) {
        writer.Put(0, header.bytes, header.readable);
      } else {
        BlockRead first;
        ReadPlan one;
        one.WantBlock(partition, chain[k], &first, 0);
        one.Run();
        writer.Put(k, first.bytes, first.readable);
      }
      continue;
    }
    plan.WantBlock(partition, chain[k], &sound, k);
  }
  if (!plan.Run()) {
    if (sound.cancelled) {
      writer.Abandon();
      SetPendingError(kCancelled, kStyleWarning);
    }
    return 0;
  }
  if (!writer.Finish()) return 0;
  for (const std::string& note : DamageNotes(name, writer.damage)) AddJobNote(note);
  return 1;
}

}  // namespace corvix
