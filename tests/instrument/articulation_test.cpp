#include "instrument/articulation.h"

#include <gtest/gtest.h>

#include "jobs/wave_import.h"
#include "instrument/articulation_values.h"
#include "instrument/regions.h"
#include "jobs/conversion_list.h"
#include "support/export_fixture.h"

namespace corvix {
namespace {

using discbuilder::DiscSpec;
using discbuilder::KeygroupSpec;
using discbuilder::ProgramSpec;
using discbuilder::SampleSpec;
using discbuilder::VolumeSpec;
using testing::Chunk;
using testing::ExportTest;
using testing::Keygroup;
using testing::ReadBytes;
using testing::Sample;
using testing::U16At;
using testing::U32At;

// Programs converted the way the job does it: the samples exported by the
// wave import, then the regions written from the WaveTable it left.
class ArticulationTest : public ExportTest {
 protected:
  void TearDown() override {
    FreeConversionList(item_);
    ExportTest::TearDown();
  }

  void Convert(const ProgramSpec& program, std::vector<SampleSpec> samples) {
    DiscSpec discSpec;
    discSpec.partitions.resize(1);
    VolumeSpec v;
    v.name = "V";
    v.samples = std::move(samples);
    v.programs = {program};
    discSpec.partitions[0].volumes = {v};
    UseDisc(discSpec);
    ASSERT_TRUE(ReadPartitionInfo());
    ImportWavesMode = 0;
    WaveTable.count = 0;
    item_ = MakeConversionItem(0, 0, 0, nullptr);
    ASSERT_TRUE(item_);
    ASSERT_EQ(ImportProgramWaves(*item_, 0), 1) << PendingError.text;

    const std::string path = dir_ / "regions.riff";
    {
      auto file = RiffFile::Open(path, OpenMode::kCreate);
      ChunkInfo form;
      form.type = FourCC("TEST");
      ASSERT_TRUE(file->CreateChunk(form, CreateFlag::kRiff));
      ASSERT_EQ(WriteRegions(*file, item_.get(), 1), 1) << PendingError.text;
      ASSERT_TRUE(file->Ascend(form));
      ASSERT_TRUE(file->Close());
    }
    Chunk root;
    ASSERT_EQ(testing::WalkRiff(ReadBytes(path), &root), "");
    ASSERT_NE(root.Find("lrgn"), nullptr);
    regions_ = root.Find("lrgn")->children;
  }

  // The "wsmp" and "3fra" of sub-region s of region r.
  const Chunk& SubSample(size_t r, size_t s) const { return *Articulation(r, s).Find("wsmp"); }
  const Chunk& Body(size_t r, size_t s) const { return *Articulation(r, s).Find("3fra"); }
  const Chunk& Articulation(size_t r, size_t s) const { return regions_.at(r).Find("3prg")->children.at(s); }

  std::unique_ptr<ConversionItem> item_;
  std::vector<Chunk> regions_;
};

TEST_F(ArticulationTest, TheBodyCarriesTheProgramKeygroupZoneAndWave) {
  ProgramSpec p;
  p.name = "LEAD";
  p.velocityToLoudness = 0;
  p.lfoSpeed = 0;
  p.modWheelToLfoDepth = 10;
  KeygroupSpec k = Keygroup(36, 60, {"SAW", "SQUARE"});
  k.filterFrequency = 50;
  k.env2ToFilter = 10;
  k.env1 = {0, 0, 99, 0};
  k.zones[0].highVelocity = 63;
  k.zones[0].pan = -50;
  k.zones[0].flag = 0x2A;
  k.zones[1].lowVelocity = 64;
  k.zones[1].pan = 0;
  k.zones[1].flag = 0x15;
  p.keygroups = {k};
  Convert(p, {Sample("SAW"), Sample("SQUARE")});
  ASSERT_EQ(regions_.size(), 1u);

  struct Expected {
    uint8_t keyByte, pan;
    uint32_t velocityHigh;
  };
  const Expected expected[] = {{0x2A, 127, 63}, {0x15, 1, 127}};
  for (size_t s = 0; s < 2; ++s) {
    SCOPED_TRACE(s);
    const std::vector<uint8_t>& a = Body(0, s).data;
    ASSERT_EQ(a.size(), 140u);
    EXPECT_EQ(U32At(a, 0), 140u);
    EXPECT_EQ(U32At(a, 4), 0x80000000u);    // LFO speed 0: no rate
    EXPECT_EQ(U32At(a, 24), 40u * 65536);   // modulation wheel 10: depth 40
    EXPECT_EQ(U32At(a, 28), 0x80000000u);   // no attack
    EXPECT_EQ(static_cast<int32_t>(U32At(a, 32)), TimeCents(0.005));  // decay floor
    EXPECT_EQ(U32At(a, 92), 9830400u);
    EXPECT_EQ(U32At(a, 96), 0x0909u);
    EXPECT_EQ(a[108], expected[s].keyByte);
    EXPECT_EQ(a[109], expected[s].pan);
    EXPECT_EQ(U32At(a, 124), expected[s].velocityHigh);
    EXPECT_EQ(a[132], 0xBC);
    EXPECT_EQ(U32At(a, 136), 0x00030000u);
  }
}

TEST_F(ArticulationTest, AStereoWaveHasNoPanAndTheSameBodyForBothChannels) {
  ProgramSpec p;
  p.name = "PAIR";
  KeygroupSpec k = Keygroup(36, 60, {"PIANO L", "PIANO R"});
  k.zones[0].pan = -50;
  k.zones[1].pan = 50;
  p.keygroups = {k};
  Convert(p, {Sample("PIANO L"), Sample("PIANO R")});
  ASSERT_EQ(regions_.size(), 1u);
  ASSERT_EQ(regions_[0].Find("3prg")->children.size(), 2u);
  EXPECT_EQ(Body(0, 0).data[109], 0);
  EXPECT_EQ(Body(0, 0).data, Body(0, 1).data);
}

TEST_F(ArticulationTest, TheSampleBlockCarriesTheLoop) {
  SampleSpec looped = Sample("LOOPED", 1000);
  looped.loopPoint = 899;
  looped.loopLength = 400;
  looped.loopTime = 1;
  SampleSpec once = Sample("ONCE", 1000);
  once.playbackType = 2;
  SampleSpec zero = Sample("ZERO", 1000);  // a loop of length 0: its start lies after its end
  zero.loopPoint = 499;
  zero.loopLength = 0;
  zero.loopTime = 1;
  ProgramSpec p;
  p.name = "LOOPS";
  p.keygroups = {Keygroup(36, 47, {"LOOPED"}), Keygroup(48, 60, {"ONCE"}), Keygroup(61, 72, {"ZERO"})};
  Convert(p, {looped, once, zero});
  ASSERT_EQ(regions_.size(), 3u);

  const std::vector<uint8_t>& loop = SubSample(0, 0).data;
  ASSERT_EQ(loop.size(), 36u);
  EXPECT_EQ(U32At(loop, 0), 20u);
  EXPECT_EQ(U16At(loop, 4), 60);  // unity note
  EXPECT_EQ(U32At(loop, 16), 1u);
  EXPECT_EQ(U32At(loop, 20), 16u);
  EXPECT_EQ(U32At(loop, 24), 0u);
  EXPECT_EQ(U32At(loop, 28), 500u);  // 899 − 400 + 1
  EXPECT_EQ(U32At(loop, 32), 400u);
  EXPECT_EQ(regions_[0].Find("wsmp")->data, loop);  // the region's own block is the same

  const std::vector<uint8_t>& plain = SubSample(1, 0).data;
  ASSERT_EQ(plain.size(), 20u);
  EXPECT_EQ(U32At(plain, 16), 0u);

  // The same start and end as the WAV file's smpl chunk: length end − start + 1.
  Chunk wav;
  ASSERT_EQ(testing::WalkRiff(ReadBytes(dir_ / "ZERO.wav"), &wav), "");
  EXPECT_EQ(U32At(wav.Find("smpl")->data, 44), 500u);
  EXPECT_EQ(U32At(wav.Find("smpl")->data, 48), 499u);
  const std::vector<uint8_t>& empty = SubSample(2, 0).data;
  ASSERT_EQ(empty.size(), 36u);
  EXPECT_EQ(U32At(empty, 28), 500u);
  EXPECT_EQ(U32At(empty, 32), 0u);
}

// A wave exported for one zone and played by another zone tuned otherwise
// is retuned in that sub-region (300/256 semitone down: 58.83, one semitone
// lower if the carry were lost); the region's own block keeps the wave's tune.
TEST_F(ArticulationTest, AZoneTunedOtherwiseThanItsWaveIsRetuned) {
  ProgramSpec p;
  p.name = "TUNES";
  KeygroupSpec second = Keygroup(48, 60, {"TONE"});
  second.tuneFraction = 200;
  second.zones[0].tuneFraction = 100;
  p.keygroups = {Keygroup(36, 47, {"TONE"}), second};
  Convert(p, {Sample("TONE")});
  ASSERT_EQ(regions_.size(), 2u);
  const std::vector<uint8_t>& block = SubSample(1, 0).data;
  EXPECT_EQ(U16At(block, 4), 59);
  EXPECT_EQ(static_cast<int16_t>(U16At(block, 6)), 17);
  EXPECT_EQ(U16At(SubSample(0, 0).data, 4), 60);
  EXPECT_EQ(U16At(regions_[1].Find("wsmp")->data, 4), 60);
  EXPECT_EQ(U16At(regions_[1].Find("wsmp")->data, 6), 0);
}

}  // namespace
}  // namespace corvix
