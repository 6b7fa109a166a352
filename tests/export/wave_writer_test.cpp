#include "export/wave_writer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/byte_order.h"
#include "common/pending_error.h"
#include "media/akai_disk.h"
#include "support/export_fixture.h"

namespace corvix {
namespace {

using discbuilder::DiscSpec;
using discbuilder::SampleSpec;
using discbuilder::VolumeSpec;
using testing::Chunk;
using testing::ExportTest;
using testing::ListFolder;
using testing::PcmBytes;
using testing::ReadBytes;
using testing::ReadWithSndfile;
using testing::U16At;
using testing::U32At;

// A keygroup record with the tuning pairs and zone 1's playback override.
struct ZoneSettings {
  uint8_t keygroupFine = 0;
  int8_t keygroupSemitones = 0;
  uint8_t zoneFine = 0;
  int8_t zoneSemitones = 0;
  uint8_t playbackOverride = 0;
};

std::vector<uint8_t> KeygroupWith(const ZoneSettings& s, uint32_t stride = 150) {
  std::vector<uint8_t> kg(stride, 0);
  kg[kKeygroupTuneFraction] = s.keygroupFine;
  kg[kKeygroupTuneSemitones] = static_cast<uint8_t>(s.keygroupSemitones);
  kg[kKeygroupFirstZone + kZoneTuneFraction] = s.zoneFine;
  kg[kKeygroupFirstZone + kZoneTuneSemitones] = static_cast<uint8_t>(s.zoneSemitones);
  kg[kKeygroupFirstZone + kZonePlaybackMode] = s.playbackOverride;
  return kg;
}

TEST(WaveTuningTest, UnityNoteFractionAndRowTuning) {
  struct Case {
    const char* what;
    uint16_t rate;
    uint8_t pitch;
    uint8_t sampleFine;
    int8_t sampleSemitones;
    ZoneSettings zone;
    uint32_t unity, fraction;
    uint16_t root;
    int16_t fine;
  };
  const Case cases[] = {
      {"44100 Hz untuned", 44100, 60, 0, 0, {}, 60, 0, 60, 0},
      {"22050 Hz: +12 semitones", 22050, 60, 0, 0, {}, 48, 0, 48, 0},
      {"32000 Hz", 32000, 60, 0, 0, {}, 54, 1932735283u, 54, -45},
      {"+0.5 semitone: the half goes down", 44100, 60, 0x80, 0, {}, 59, 2147483648u, 59, -50},
      {"-0.5 semitone", 44100, 60, 0x80, -1, {}, 60, 2147483648u, 60, -50},
      {"fine byte 0xFF rounds to a whole semitone", 44100, 60, 0xFF, 0, {}, 59, 0, 59, 0},
      {"keygroup and zone fractions carry", 44100, 60, 0, 0, {200, 0, 100, 0, 0}, 58, 3564822855u, 59, 17},
      {"a rate of 0 counts as 44100 Hz", 0, 60, 0, 0, {}, 60, 0, 60, 0},
      {"notes below 0 are clamped", 44100, 0, 0, 2, {}, 0, 0, 0, 0},
      {"notes above 127 are clamped", 44100, 200, 0, 0, {}, 127, 0, 127, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SampleRecord sample{};
    sample.sampleRate = c.rate;
    sample.recordedPitch = c.pitch;
    sample.tuneFine = c.sampleFine;
    sample.tuneSemitones = c.sampleSemitones;
    const auto kg = KeygroupWith(c.zone);
    const ByteView keygroup{kg.data(), kg.size()};
    const WaveTuning t = ComputeWaveTuning(sample, keygroup, ZoneBytes(keygroup, 0));
    EXPECT_EQ(t.unityNote, c.unity);
    EXPECT_EQ(t.pitchFraction, c.fraction);
    EXPECT_EQ(t.rootNote, c.root);
    EXPECT_EQ(t.fineTune, c.fine);
  }
}

SampleRecord Looped(uint32_t length, uint32_t loopPoint, uint32_t loopLength) {
  SampleRecord s{};
  s.length = length;
  s.playEnd = length;
  s.loopPoint = loopPoint;
  s.loopLength = loopLength;
  s.loopTime = 1;
  s.playbackType = 0;
  return s;
}

TEST(PlayRangeTest, LoopDecisionPlayRangeAndClamps) {
  struct Case {
    const char* what;
    SampleRecord sample;
    uint8_t zoneOverride;
    PlayRange want;
  };
  auto with = [](SampleRecord s, auto change) {
    change(s);
    return s;
  };
  const SampleRecord base = Looped(20000, 9999, 1000);
  const Case cases[] = {
      {"a loop inside the sample", base, 0, {0, 20000, true, 9000, 9999}},
      {"play start inside the loop starts at the loop", with(base, [](auto& s) { s.playStart = 9500; }),
       0, {9000, 11000, true, 0, 999}},
      {"a loop past the end is shifted down", with(base, [](auto& s) { s.loopPoint = 25000; }), 0,
       {0, 20000, true, 19000, 19999}},
      {"loop defined but not played: data ends at the loop end",
       with(base, [](auto& s) { s.loopTime = 0; }), 0, {0, 10000, false, 9000, 9999}},
      {"override 1 loops a sample whose loop is not played",
       with(base, [](auto& s) { s.loopTime = 0; s.playStart = 9500; }), 1, {9000, 11000, true, 0, 999}},
      {"an undefined override follows the sample", base, 7, {0, 20000, true, 9000, 9999}},
      {"... also where the loop is defined but not played",
       with(base, [](auto& s) { s.loopTime = 0; }), 7, {0, 10000, false, 9000, 9999}},
      {"play end inside the sample", with(base, [](auto& s) { s.playEnd = 15000; }), 0,
       {0, 15001, true, 9000, 9999}},
      // Clamps: none of these may give a huge count or a loop outside the data.
      {"play end past the length ends at the last word", with(base, [](auto& s) { s.playEnd = 25000; }),
       0, {0, 20000, true, 9000, 9999}},
      {"a loop longer than its end point starts at word 0",
       with(base, [](auto& s) { s.loopPoint = 100; s.loopLength = 500; }), 0, {0, 20000, true, 0, 100}},
      {"play start past the end writes nothing",
       with(base, [](auto& s) { s.playStart = 30000; s.playbackType = 2; }), 0, {20000, 0, false, 0, 0}},
      {"an empty sample", Looped(0, 0, 0), 0, {0, 0, false, 0, 0}},
      {"loop defined but not played, behind the play start",
       with(base, [](auto& s) { s.loopTime = 0; s.playStart = 15000; }), 0, {15000, 5000, false, 0, 0}},
      {"a non-looping sample starting inside its loop",
       with(base, [](auto& s) { s.playbackType = 3; s.playStart = 9500; }), 0,
       {9500, 10500, false, 0, 499}},
      {"loop length 0 inside the sample keeps its start after its end",
       with(base, [](auto& s) { s.loopPoint = 100; s.loopLength = 0; }), 0, {0, 20000, true, 101, 100}},
      {"huge header values", with(base, [](auto& s) {
         s.length = 0xFFFFFFFF; s.playEnd = 0xFFFFFFFF; s.loopPoint = 0xFFFFFFFF; s.loopLength = 0xFFFFFFFF;
       }), 0, {0, 0xFFFFFFFF, true, 0, 0xFFFFFFFE}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const PlayRange r = ComputePlayRange(c.sample, c.zoneOverride);
    EXPECT_EQ(r.first, c.want.first);
    EXPECT_EQ(r.words, c.want.words);
    EXPECT_EQ(r.loops, c.want.loops);
    EXPECT_EQ(r.loopStart, c.want.loopStart);
    EXPECT_EQ(r.loopEnd, c.want.loopEnd);
  }
}

class WaveWriterTest : public ExportTest {
 protected:
  // One volume holding the given samples; the FAT of partition 0 read.
  discbuilder::BuiltDisc UseSamples(std::vector<SampleSpec> samples, uint8_t type = 1,
                                    bool fragmented = false) {
    DiscSpec discSpec;
    discSpec.fragmented = fragmented;
    discSpec.partitions.resize(1);
    VolumeSpec v;
    v.name = "VOLUME";
    v.type = type;
    v.samples = std::move(samples);
    // A second file interleaves with the samples when fragmented.
    v.samples.push_back(testing::Sample("FILLER", 9000));
    discSpec.partitions[0].volumes.push_back(v);
    auto disc = UseDisc(discSpec);
    EXPECT_TRUE(ReadPartitionInfo());
    EXPECT_TRUE(ReadFAT(0));
    return disc;
  }

  int Write(const discbuilder::BuiltDisc& disc, const std::string& name, const ZoneSettings& zone = {},
            uint32_t stride = 150, uint32_t groupIndex = 0) {
    const auto* file = disc.FindFile(name);
    EXPECT_NE(file, nullptr) << name;
    if (file == nullptr) return 0;
    const auto kg = KeygroupWith(zone, stride);
    const ByteView keygroup{kg.data(), kg.size()};
    bar_ = progress_.CreateDialog(kTransferDialog);
    std::string padded = name;
    padded.resize(12, ' ');
    return WriteWaveFile(padded.c_str(), bar_->CreateProgressBar(), 0, file->blocks[0], stride,
                         keygroup, ZoneBytes(keygroup, 0), groupIndex);
  }

  std::string PathOf(const std::string& name) { return dir_ / (name + ".wav"); }

  std::unique_ptr<ProgressDialog> bar_;
};

TEST_F(WaveWriterTest, WritesTheFileByteForByte) {
  SampleSpec s = testing::Sample("VIOLIN", 5000);
  s.sampleRate = 32000;
  s.loopPoint = 4999;
  s.loopLength = 1000;
  s.loopTime = 1;
  ImportWavesMode = 1;
  auto disc = UseSamples({s});
  ASSERT_EQ(Write(disc, "VIOLIN"), 1);

  const auto b = ReadBytes(PathOf("VIOLIN"));
  Chunk root;
  ASSERT_EQ(testing::WalkRiff(b, &root), "");
  EXPECT_EQ(root.type, "WAVE");
  ASSERT_EQ(root.children.size(), 4u);  // fmt, LIST INFO, data, smpl: no 3gix for Import Waves
  // fmt at 12: PCM, mono, 32000 Hz, 64000 bytes/s, align 2, 16 bits.
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 12, b.begin() + 36),
            (std::vector<uint8_t>{'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0, 0x00, 0x7D, 0, 0, 0x00, 0xFA, 0, 0, 2, 0, 16, 0}));
  // LIST INFO { INAM "VIOLIN      " } at 36, 32 bytes.
  EXPECT_EQ(U32At(b, 40), 4u + 8u + 12u);
  EXPECT_EQ(std::string(b.begin() + 56, b.begin() + 68), "VIOLIN      ");
  // data header at 68, sound from 76: the words crossing into block 2.
  EXPECT_EQ(std::string(b.begin() + 68, b.begin() + 72), "data");
  EXPECT_EQ(U32At(b, 72), 10000u);
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 76, b.begin() + 10076), PcmBytes(s.pcm, 0, 5000));
  // smpl: period, unity and fraction of 32000 Hz, one loop.
  const size_t smpl = 10076;
  EXPECT_EQ(std::string(b.begin() + smpl, b.begin() + smpl + 4), "smpl");
  EXPECT_EQ(U32At(b, smpl + 4), 60u);
  const size_t body = smpl + 8;
  EXPECT_EQ(U32At(b, body + 0), 0u);
  EXPECT_EQ(U32At(b, body + 8), 31250u);
  EXPECT_EQ(U32At(b, body + 12), 54u);
  EXPECT_EQ(U32At(b, body + 16), 1932735283u);
  EXPECT_EQ(U32At(b, body + 28), 1u);
  EXPECT_EQ(U32At(b, body + 32), 0u);
  EXPECT_EQ(U32At(b, body + 44), 4000u);
  EXPECT_EQ(U32At(b, body + 48), 4999u);
  EXPECT_EQ(U32At(b, body + 56), 0u);
  EXPECT_EQ(b.size(), smpl + 68);

  // The row being built (not counted).
  EXPECT_EQ(WaveTable.count, 0u);
  EXPECT_EQ(WaveTable.rows[0].fineTune, -45);
  EXPECT_EQ(WaveTable.rows[0].loopStart, 4000u);

  // One further block: range 0 … 1, one step, one pump.
  ASSERT_EQ(progress_.record.ranges.size(), 1u);
  EXPECT_EQ(progress_.record.ranges[0], std::make_pair(0u, 1u));
  EXPECT_EQ(progress_.record.steps, 1);
  EXPECT_EQ(progress_.record.pumps, 1);
}

TEST_F(WaveWriterTest, ConversionsAddTheGroupIndex) {
  ImportWavesMode = 0;
  auto disc = UseSamples({testing::Sample("KICK", 100)});
  ZoneSettings zone{5, -1, 7, 2, 3};
  ASSERT_EQ(Write(disc, "KICK", zone, 150, 3), 1);
  Chunk root;
  ASSERT_EQ(testing::WalkRiff(ReadBytes(PathOf("KICK")), &root), "");
  ASSERT_EQ(root.children.size(), 5u);
  EXPECT_EQ(root.children[3].id, "smpl");
  EXPECT_EQ(root.children[4].id, "3gix");
  EXPECT_EQ(U32At(root.children[4].data, 0), 3u);
  EXPECT_EQ(U32At(root.children[3].data, 28), 0u);  // override 3: no loop
  EXPECT_EQ(WaveTable.rows[0].loopMarker, kNoLoop);
  // A sample inside its first block: one write, range 0 … 0, no Cancel check.
  EXPECT_EQ(progress_.record.ranges[0], std::make_pair(0u, 0u));
  EXPECT_EQ(progress_.record.steps, 0);
}

// The sound is copied unchanged along the chain, from any start word, with
// either header length, contiguous or fragmented.
TEST_F(WaveWriterTest, CopiesTheSoundAlongFragmentedChains) {
  struct Case {
    uint8_t type;
    bool fragmented;
    uint32_t playStart;
    uint32_t playEnd;
  };
  const Case cases[] = {
      {1, false, 0, 20000},    {1, true, 0, 20000},   {3, true, 0, 20000},
      {1, true, 4021, 20000},  {3, true, 4000, 9000}, {1, true, 12345, 19999},
      {3, false, 19999, 20000}, {1, true, 4020, 4022},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "type " << int(c.type) << " fragmented " << c.fragmented
                                      << " from " << c.playStart << " to " << c.playEnd);
    SampleSpec s = testing::Sample("LONG", 20000);
    for (size_t i = 0; i < s.pcm.size(); ++i) s.pcm[i] = static_cast<int16_t>(i * 7919u);
    s.playStart = c.playStart;
    s.playEnd = c.playEnd;
    s.playbackType = 2;
    auto disc = UseSamples({s}, c.type, c.fragmented);
    if (c.fragmented) {
      const auto* f = disc.FindFile("LONG");
      ASSERT_NE(f->blocks[1], f->blocks[0] + 1);
    }
    ASSERT_EQ(Write(disc, "LONG", {}, RecordLength(c.type)), 1);
    const auto b = ReadBytes(PathOf("LONG"));
    const uint32_t last = c.playEnd < 20000 ? c.playEnd : 19999;
    const uint32_t words = last + 1 - c.playStart;
    ASSERT_EQ(U32At(b, 72), 2 * words);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 76, b.begin() + 76 + 2 * words),
              PcmBytes(s.pcm, c.playStart, words));
  }
}

TEST_F(WaveWriterTest, ChainsThatEndEarlyEndTheCopyAndTheLoopStaysInTheData) {
  struct Case {
    const char* what;
    uint32_t cutAfterBlock;  // the FAT entry of this block of the chain is replaced
    uint16_t entry;
    uint32_t playStart;
    uint32_t wordsWritten;
  };
  const Case cases[] = {
      {"end mark after the first block", 0, kChainEnd, 0, 4021},
      {"end mark after the second block", 1, kChainEnd, 0, 4021 + 4096},
      {"successor outside the FAT", 0, 9000, 0, 4021},
      {"successor in the partition header", 0, 1, 0, 4021},
      {"play start beyond the end of the chain", 0, kChainEnd, 12000, 0},
      {"play start in the last block of a short chain", 1, kChainEnd, 5000, 4021 + 4096 - 5000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SampleSpec s = testing::Sample("SHORT", 20000);
    s.loopPoint = 15000;
    s.loopLength = 2000;
    s.loopTime = 1;
    s.playStart = c.playStart;
    s.playbackType = 0;
    auto disc = UseSamples({s});
    const auto* f = disc.FindFile("SHORT");
    PutU16LE(source_->image().data() + kFatOffset + 2 * f->blocks[c.cutAfterBlock], c.entry);
    ASSERT_TRUE(ReadFAT(0));
    ASSERT_EQ(Write(disc, "SHORT"), 1);
    const auto b = ReadBytes(PathOf("SHORT"));
    Chunk root;
    ASSERT_EQ(testing::WalkRiff(b, &root), "");
    const std::vector<uint8_t>& data = root.Find("data")->data;
    ASSERT_EQ(data.size(), 2u * c.wordsWritten);
    const uint32_t first = std::min<uint32_t>(c.playStart, 13001);
    EXPECT_EQ(data, PcmBytes(s.pcm, first, c.wordsWritten));
    const std::vector<uint8_t>& smpl = root.Find("smpl")->data;
    EXPECT_EQ(U32At(smpl, 28), c.wordsWritten > 0 ? 1u : 0u);
    if (c.wordsWritten > 0) {
      EXPECT_LT(U32At(smpl, 44), c.wordsWritten);
      EXPECT_LT(U32At(smpl, 48), c.wordsWritten);
    }
  }
}

// A source that refuses every read of more than one block, as a drive whose
// adapter moves less at once might.
class OneBlockPerRead : public SectorSource {
 public:
  explicit OneBlockPerRead(SectorSource& inner) : inner_(inner) {}
  bool ReadSectors(uint32_t lba, uint16_t count, uint8_t* buffer, uint32_t size) override {
    if (count > kSectorsPerBlock) {
      ++refused;
      return false;
    }
    return inner_.ReadSectors(lba, count, buffer, size);
  }
  std::string Describe() const override { return "one block per read"; }
  int refused = 0;

 private:
  SectorSource& inner_;
};

// Sound longer than the writer's buffer (16 blocks) is written in several
// runs, and blocks that follow each other on the disc are read together; the
// file must be the same as for a copy block by block, whichever block the
// play range starts in, contiguous or fragmented, also when the source
// refuses reads of several blocks. A full disk or Cancel in a later run must
// leave no file.
TEST_F(WaveWriterTest, SoundLongerThanTheBufferIsCopiedWhole) {
  constexpr uint32_t kWords = 160000;  // 40 blocks: three runs
  SampleSpec s = testing::Sample("HUGE", kWords);
  for (size_t i = 0; i < s.pcm.size(); ++i) s.pcm[i] = static_cast<int16_t>(i * 7919u + 13);
  s.playbackType = 2;
  struct Case {
    uint8_t type;
    bool fragmented;
    bool oneBlockPerRead;
    uint32_t playStart;
    uint32_t playEnd;
  };
  const Case cases[] = {
      {1, true, false, 0, kWords},         {3, true, false, 0, kWords},
      {1, true, false, 65536 - 75, kWords}, {3, true, false, 4000, 4096 * 16 + 3},
      {1, true, false, 100000, 131071},    {1, true, false, 0, 4096 * 16 - 75},
      {1, false, false, 0, kWords},        {3, false, false, 4000, 4096 * 16 + 3},
      {1, false, false, 100000, 131071},   {1, false, false, 4096 * 9 - 75, 4096 * 11},
      {1, false, true, 0, kWords},         {3, false, true, 65536 - 75, kWords},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "type " << int(c.type) << " fragmented " << c.fragmented
                                      << " one block per read " << c.oneBlockPerRead << " from "
                                      << c.playStart << " to " << c.playEnd);
    s.playStart = c.playStart;
    s.playEnd = c.playEnd;
    auto disc = UseSamples({s}, c.type, c.fragmented);
    OneBlockPerRead oneBlock(*source_);
    if (c.oneBlockPerRead) SetSectorSource(&oneBlock);
    const int written = Write(disc, "HUGE", {}, RecordLength(c.type));
    SetSectorSource(source_.get());
    ASSERT_EQ(written, 1);
    if (c.oneBlockPerRead) {
      EXPECT_GT(oneBlock.refused, 0);
    }
    const auto b = ReadBytes(PathOf("HUGE"));
    const uint32_t last = c.playEnd < kWords ? c.playEnd : kWords - 1;
    const uint32_t words = last + 1 - c.playStart;
    ASSERT_EQ(U32At(b, 72), 2 * words);
    ASSERT_GE(b.size(), 76u + 2 * words);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 76, b.begin() + 76 + 2 * words),
              PcmBytes(s.pcm, c.playStart, words));
  }

  s.playStart = 0;
  s.playEnd = kWords;
  auto disc = UseSamples({s}, 1, true);
  // Head 88 bytes, then the first run of 16 blocks less the header's 150.
  for (int64_t budget : {88 + 131072 - 150, 88 + 200000}) {
    SCOPED_TRACE(budget);
    ClearPendingError();
    files_.writeBudget = budget;
    EXPECT_EQ(Write(disc, "HUGE"), 0);
    EXPECT_STREQ(PendingError.text, "Can't write to file (disk full?)");
    EXPECT_TRUE(ListFolder(dir_.path()).empty());
  }
  files_.writeBudget = -1;
  ClearPendingError();
  progress_.record = {};
  progress_.cancelAtPump = 25;
  EXPECT_EQ(Write(disc, "HUGE"), 0);
  EXPECT_STREQ(PendingError.text, "Conversion cancelled by user");
  EXPECT_EQ(progress_.record.steps, 25);
  EXPECT_TRUE(ListFolder(dir_.path()).empty());
}

// Cancel before a further block: the first such check, one in the middle
// and the last one; a press after the last block comes too late to matter.
TEST_F(WaveWriterTest, CancelDeletesThePartialFile) {
  SampleSpec s = testing::Sample("LONG", 20000);  // 5 blocks: 4 Cancel checks
  auto disc = UseSamples({s});
  struct Case {
    const char* what;
    bool pressedBefore;
    int cancelAtPump;
    bool completes;
    int steps;
  };
  const Case cases[] = {
      {"before the second block", true, 0, false, 0},
      {"in the middle", false, 2, false, 2},
      {"after the last block", false, 4, true, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearPendingError();
    CancelRequested = c.pressedBefore ? 1 : 0;
    progress_.record = {};
    progress_.cancelAtPump = c.cancelAtPump;
    EXPECT_EQ(Write(disc, "LONG"), c.completes ? 1 : 0);
    EXPECT_EQ(progress_.record.steps, c.steps);
    if (c.completes) {
      EXPECT_TRUE(ReadWithSndfile(PathOf("LONG")).opened);
      continue;
    }
    EXPECT_STREQ(PendingError.text, "Conversion cancelled by user");
    EXPECT_EQ(PendingError.style, 48u);
    EXPECT_TRUE(ListFolder(dir_.path()).empty());
  }
}

// A full disk at every stage of the file: the head, the sound, the smpl
// record, the group index and the final size fix. Each leaves no file and
// the same message.
TEST_F(WaveWriterTest, AFullDiskLeavesNoFile) {
  ImportWavesMode = 0;
  auto disc = UseSamples({testing::Sample("LONG", 9000)});
  // The test disk counts every byte written, size fixes included: RIFF
  // header 12, fmt 24 + 4, LIST INFO 12 + INAM 20 + 4 + 4, data header 8
  // (88 in all), sound 18000, data size 4, smpl 68 (18160), 3gix 12 + 4,
  // RIFF size 4 (18180).
  for (int64_t budget : {0, 12, 40, 87, 8192, 18088, 18150, 18170, 18179}) {
    SCOPED_TRACE(budget);
    ClearPendingError();
    files_.writeBudget = budget;
    EXPECT_EQ(Write(disc, "LONG"), 0);
    EXPECT_STREQ(PendingError.text, "Can't write to file (disk full?)");
    EXPECT_EQ(PendingError.style, 16u);
    EXPECT_TRUE(ListFolder(dir_.path()).empty());
  }
  files_.writeBudget = -1;
  ASSERT_EQ(Write(disc, "LONG"), 1);
}

TEST_F(WaveWriterTest, FailuresBeforeTheFirstByte) {
  auto disc = UseSamples({testing::Sample("KICK", 100)});
  ASSERT_TRUE(SetWaveFolder(dir_ / "missing"));
  EXPECT_EQ(Write(disc, "KICK"), 0);
  EXPECT_STREQ(PendingError.text, "Can't create file");

  ASSERT_TRUE(SetWaveFolder(dir_.path()));
  WaveTable.count = kWaveTableRows;
  EXPECT_EQ(Write(disc, "KICK"), 0);
  EXPECT_STREQ(PendingError.text, "Too many samples for one job (1024 at most)");
  EXPECT_TRUE(ListFolder(dir_.path()).empty());
}

TEST_F(WaveWriterTest, LibsndfileReadsWhatIsWritten) {
  SampleSpec looped = testing::Sample("LOOPED", 6000);
  looped.loopPoint = 5000;
  looped.loopLength = 1001;
  looped.loopTime = 1;
  looped.recordedPitch = 72;
  looped.sampleRate = 22050;
  SampleSpec empty = testing::Sample("EMPTY", 0);
  auto disc = UseSamples({looped, empty}, 1, true);
  ASSERT_EQ(Write(disc, "LOOPED"), 1);
  ASSERT_EQ(Write(disc, "EMPTY"), 1);

  const auto a = ReadWithSndfile(PathOf("LOOPED"));
  ASSERT_TRUE(a.opened);
  EXPECT_EQ(a.channels, 1);
  EXPECT_EQ(a.sampleRate, 22050);
  EXPECT_EQ(a.frames, 6000);
  EXPECT_EQ(a.samples, looped.pcm);
  ASSERT_TRUE(a.hasInstrument);
  EXPECT_EQ(a.baseNote, 60);
  EXPECT_EQ(a.loopCount, 1);
  EXPECT_EQ(a.loopStart, 4000u);
  EXPECT_EQ(a.loopEnd, 5001u);  // libsndfile reports the end exclusive

  EXPECT_EQ(ReadWithSndfile(PathOf("EMPTY")).frames, 0);
}

}  // namespace
}  // namespace corvix
