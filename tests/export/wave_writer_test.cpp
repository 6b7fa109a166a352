#include "export/wave_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "support/export_fixture.h"

namespace corvix {
namespace {

using discbuilder::SampleSpec;
using testing::Chunk;
using testing::Le16;
using testing::Le32;
using testing::PcmBytes;
using testing::ReadWithSndfile;
using testing::WalkFile;

// A keygroup record with the tuning fractions of the keygroup and zone 1.
std::vector<uint8_t> KeygroupWith(uint8_t keygroupFine, uint8_t zoneFine, uint32_t stride) {
  std::vector<uint8_t> kg(stride, 0);
  kg[kKeygroupTuneFraction] = keygroupFine;
  kg[kKeygroupFirstZone + kZoneTuneFraction] = zoneFine;
  return kg;
}

TEST(WaveTuningTest, UnityNoteFractionAndRowTuning) {
  struct Case {
    const char* what;
    uint16_t rate;
    uint8_t pitch, sampleFine;
    int8_t sampleSemitones;
    uint8_t keygroupFine, zoneFine;
    uint32_t unity, fraction;
    uint16_t root;
    int16_t fine;
  };
  const Case cases[] = {
      {"44100 Hz untuned", 44100, 60, 0, 0, 0, 0, 60, 0, 60, 0},
      {"22050 Hz: +12 semitones", 22050, 60, 0, 0, 0, 0, 48, 0, 48, 0},
      {"32000 Hz", 32000, 60, 0, 0, 0, 0, 54, 1932735283u, 54, -45},
      {"+0.5 semitone: the half goes down", 44100, 60, 0x80, 0, 0, 0, 59, 2147483648u, 59, -50},
      {"-0.5 semitone", 44100, 60, 0x80, -1, 0, 0, 60, 2147483648u, 60, -50},
      {"fine byte 0xFF rounds to a whole semitone", 44100, 60, 0xFF, 0, 0, 0, 59, 0, 59, 0},
      {"keygroup and zone fractions carry", 44100, 60, 0, 0, 200, 100, 58, 3564822855u, 59, 17},
      {"a rate of 0 counts as 44100 Hz", 0, 60, 0, 0, 0, 0, 60, 0, 60, 0},
      {"notes below 0 are clamped", 44100, 0, 0, 2, 0, 0, 0, 0, 0, 0},
      {"notes above 127 are clamped", 44100, 200, 0, 0, 0, 0, 127, 0, 127, 0},
  };
  for (const Case& c : cases) {
    SampleRecord sample{};
    sample.sampleRate = c.rate;
    sample.recordedPitch = c.pitch;
    sample.tuneFine = c.sampleFine;
    sample.tuneSemitones = c.sampleSemitones;
    const auto kg = KeygroupWith(c.keygroupFine, c.zoneFine, 150);
    const ByteView keygroup{kg.data(), kg.size()};
    const WaveTuning t = ComputeWaveTuning(sample, keygroup, ZoneBytes(keygroup, 0));
    EXPECT_EQ(std::tie(t.unityNote, t.pitchFraction, t.rootNote, t.fineTune),
              std::tie(c.unity, c.fraction, c.root, c.fine))
        << c.what;
  }
}

TEST(PlayRangeTest, LoopDecisionPlayRangeAndClamps) {
  struct Case {
    const char* what;
    uint32_t length, playStart, playEnd, loopPoint, loopLength;
    uint16_t loopTime;
    uint8_t playbackType, zoneOverride;
    PlayRange want;
  };
  constexpr uint32_t kMax = 0xFFFFFFFF;
  const Case cases[] = {
      {"a loop inside the sample", 20000, 0, 20000, 9999, 1000, 1, 0, 0, {0, 20000, true, 9000, 9999}},
      {"play start inside the loop starts at the loop", 20000, 9500, 20000, 9999, 1000, 1, 0, 0, {9000, 11000, true, 0, 999}},
      {"a loop past the end is shifted down", 20000, 0, 20000, 25000, 1000, 1, 0, 0, {0, 20000, true, 19000, 19999}},
      {"loop defined, not played: data ends at its end", 20000, 0, 20000, 9999, 1000, 0, 0, 0, {0, 10000, false, 9000, 9999}},
      {"override 1 loops a loop not played", 20000, 9500, 20000, 9999, 1000, 0, 0, 1, {9000, 11000, true, 0, 999}},
      {"an undefined override follows the sample", 20000, 0, 20000, 9999, 1000, 1, 0, 7, {0, 20000, true, 9000, 9999}},
      {"... also where the loop is not played", 20000, 0, 20000, 9999, 1000, 0, 0, 7, {0, 10000, false, 9000, 9999}},
      {"override 4: no loop, to the end", 20000, 0, 20000, 9999, 1000, 0, 0, 4, {0, 20000, false, 9000, 9999}},
      {"loop not played, ending at the play start", 20000, 9999, 20000, 9999, 1000, 0, 0, 0, {9999, 1, false, 0, 0}},
      {"play end inside the sample", 20000, 0, 15000, 9999, 1000, 1, 0, 0, {0, 15001, true, 9000, 9999}},
      // Clamps: none of these may give a huge count or a loop outside the data.
      {"play end past the length", 20000, 0, 25000, 9999, 1000, 1, 0, 0, {0, 20000, true, 9000, 9999}},
      {"a loop longer than its end point", 20000, 0, 20000, 100, 500, 1, 0, 0, {0, 20000, true, 0, 100}},
      {"play start past the end writes nothing", 20000, 30000, 20000, 9999, 1000, 1, 2, 0, {20000, 0, false, 0, 0}},
      {"an empty sample", 0, 0, 0, 0, 0, 1, 0, 0, {0, 0, false, 0, 0}},
      {"loop not played, behind the play start", 20000, 15000, 20000, 9999, 1000, 0, 0, 0, {15000, 5000, false, 0, 0}},
      {"not looping, starting inside its loop", 20000, 9500, 20000, 9999, 1000, 1, 3, 0, {9500, 10500, false, 0, 499}},
      {"loop length 0: its start after its end", 20000, 0, 20000, 100, 0, 1, 0, 0, {0, 20000, true, 101, 100}},
      {"huge header values", kMax, 0, kMax, kMax, kMax, 1, 0, 0, {0, kMax, true, 0, kMax - 1}},
  };
  for (const Case& c : cases) {
    SampleRecord s{};
    std::tie(s.length, s.playStart, s.playEnd, s.loopPoint, s.loopLength, s.loopTime, s.playbackType) =
        std::tie(c.length, c.playStart, c.playEnd, c.loopPoint, c.loopLength, c.loopTime, c.playbackType);
    const PlayRange r = ComputePlayRange(s, c.zoneOverride);
    EXPECT_EQ(std::tie(r.first, r.words, r.loops, r.loopStart, r.loopEnd),
              std::tie(c.want.first, c.want.words, c.want.loops, c.want.loopStart, c.want.loopEnd))
        << c.what;
  }
}

class WaveWriterTest : public testing::ExportTest {
 protected:
  // One volume holding the given samples and, interleaved with them when
  // fragmented, a filler; the FAT of partition 0 read.
  discbuilder::BuiltDisc UseSamples(std::vector<SampleSpec> samples, uint8_t type = 1, bool fragmented = false) {
    samples.push_back(testing::Sample("FILLER", 9000));
    auto volume = testing::Volume("VOLUME", {}, std::move(samples));
    volume.type = type;
    return UseVolumes({volume}, fragmented);
  }

  int Write(const discbuilder::BuiltDisc& disc, const std::string& name, uint32_t stride = 150) {
    const auto kg = KeygroupWith(0, 0, stride);
    const ByteView keygroup{kg.data(), kg.size()};
    auto dialog = progress_.CreateDialog(kTransferDialog);
    std::string padded = name;
    padded.resize(12, ' ');
    return WriteWaveFile(disc_, padded.c_str(), dialog->CreateProgressBar(), 0, disc.FindFile(name)->blocks[0], stride,
                         keygroup, ZoneBytes(keygroup, 0), 0);
  }
};

TEST_F(WaveWriterTest, WritesAFileThatReadersAgreeOn) {
  SampleSpec s = testing::Sample("VIOLIN", 5000);  // crosses into the second block
  s.sampleRate = 32000;
  s.loopPoint = 4999;
  s.loopLength = 1000;
  s.loopTime = 1;
  auto disc = UseSamples({s, testing::Sample("EMPTY", 0)});
  ImportWavesMode = 1;
  ASSERT_EQ(Write(disc, "VIOLIN"), 1);

  const Chunk root = WalkFile(dir_ / "VIOLIN.wav");
  EXPECT_EQ(testing::ChildIds(root), (std::vector<std::string>{"fmt ", "INFO", "data", "smpl"}));  // no 3gix
  EXPECT_EQ(root.Find("fmt ")->data, testing::Cat({Le16({1, 1}), Le32({32000, 64000}), Le16({2, 16})}));
  const auto& name = root.Find("INFO")->Find("INAM")->data;
  EXPECT_EQ(std::string(name.begin(), name.end()), "VIOLIN      ");
  EXPECT_EQ(root.Find("data")->data, PcmBytes(s.pcm));
  // Period, unity note and fraction of 32000 Hz; one forward loop.
  EXPECT_EQ(root.Find("smpl")->data, Le32({0, 0, 31250, 54, 1932735283u, 0, 0, 1, 0, 0, 0, 4000, 4999, 0, 0}));
  // libsndfile agrees; it reports the loop's end exclusive.
  const auto sound = ReadWithSndfile(dir_ / "VIOLIN.wav");
  EXPECT_EQ(std::tie(sound.channels, sound.sampleRate, sound.baseNote, sound.loopCount, sound.loopStart, sound.loopEnd),
            std::tuple(1, 32000, 54, 1, 4000u, 5000u));
  // The row being built (not counted); one further block: one step, one pump.
  EXPECT_EQ(WaveTable.count, 0u);
  EXPECT_EQ(std::tie(WaveTable.rows[0].fineTune, WaveTable.rows[0].loopStart), std::tuple(-45, 4000u));
  EXPECT_EQ(std::tie(progress_.record.steps, progress_.record.pumps), std::tuple(1, 1));

  ASSERT_EQ(Write(disc, "EMPTY"), 1);
  EXPECT_EQ(ReadWithSndfile(dir_ / "EMPTY.wav").frames, 0);
  EXPECT_EQ(testing::U32At(WalkFile(dir_ / "EMPTY.wav").Find("smpl")->data, 28), 0u);  // no loop
}

// The sound is copied unchanged along the chain from any start word, with
// either header length, contiguous or fragmented; sound longer than the
// writer's buffer (16 blocks) in several runs. (Reads refused by the drive:
// read_engine_test.cpp.)
TEST_F(WaveWriterTest, CopiesTheSoundAlongTheChain) {
  struct Case {
    uint32_t words;
    uint8_t type;
    bool fragmented;
    uint32_t playStart, playEnd;
  };
  constexpr uint32_t kHuge = 160000;  // 40 blocks: three runs
  const Case cases[] = {
      {20000, 1, false, 0, 20000},      {20000, 3, true, 0, 20000},          {20000, 1, true, 4021, 20000},
      {20000, 3, true, 4000, 9000},     {20000, 3, false, 19999, 20000},     {20000, 1, true, 4020, 4022},
      {kHuge, 1, true, 0, kHuge},       {kHuge, 1, true, 65536 - 75, kHuge}, {kHuge, 3, true, 4000, 4096 * 16 + 3},
      {kHuge, 1, true, 100000, 131071}, {kHuge, 1, false, 0, kHuge},         {kHuge, 1, false, 4096 * 9 - 75, 4096 * 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << &c - cases);
    SampleSpec s = testing::Sample("LONG", c.words);
    for (size_t i = 0; i < s.pcm.size(); ++i) s.pcm[i] = static_cast<int16_t>(i * 7919u + 13);
    s.playStart = c.playStart;
    s.playEnd = c.playEnd;
    s.playbackType = 2;
    auto disc = UseSamples({s}, c.type, c.fragmented);
    ASSERT_EQ(Write(disc, "LONG", RecordLength(c.type)), 1);
    const uint32_t words = std::min(c.playEnd, c.words - 1) + 1 - c.playStart;
    EXPECT_EQ(WalkFile(dir_ / "LONG.wav").Find("data")->data, PcmBytes(s.pcm, c.playStart, words));
  }
}

}  // namespace
}  // namespace corvix
