#include "instrument/regions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <tuple>

#include "instrument/articulation_values.h"
#include "jobs/conversion_list.h"
#include "jobs/wave_import.h"
#include "records/job_notes.h"
#include "support/export_fixture.h"

namespace corvix {
namespace {

using discbuilder::KeygroupSpec;
using discbuilder::ProgramSpec;
using discbuilder::SampleSpec;
using testing::Chunk;
using testing::Program;
using testing::U16At;
using testing::U32At;

struct Zone {
  std::string sample;
  uint8_t low = 0, high = 127;
};

KeygroupSpec Group(uint8_t lowKey, uint8_t highKey, std::vector<Zone> zones) {
  KeygroupSpec k = testing::Keygroup(lowKey, highKey);
  for (size_t z = 0; z < zones.size() && z < 4; ++z) {
    k.zones[z].sample = zones[z].sample;
    k.zones[z].lowVelocity = zones[z].low;
    k.zones[z].highVelocity = zones[z].high;
  }
  return k;
}

// An entry as the tests compare it: its wave's name, its velocity, program
// layer and layer index.
using Entry = std::tuple<std::string, int, int, int>;

class RegionTest : public testing::ExportTest {
 protected:
  // Volume "V" holding the programs and samples (by default a short one of
  // each name); every program in the list; the WaveTable emptied.
  void UsePrograms(std::vector<ProgramSpec> programs, std::vector<std::string> names,
                   std::vector<SampleSpec> samples = {}) {
    for (const std::string& name : names) samples.push_back(testing::Sample(name, 10));
    const size_t count = programs.size();
    UseVolumes({testing::Volume("V", std::move(programs), samples)});
    FreeConversionList(list_);
    for (size_t i = 0; i < count; ++i) AppendConversionItem(list_, MakeConversionItem(disc_, 0, 0, static_cast<uint16_t>(i), nullptr));
    WaveTable.count = 0;
    ResetJobNotes();
  }

  // A WaveTable row as the wave import leaves it: a mono wave under its
  // 12-character sample name, a merged one under its "…LR" name.
  void AddWave(const std::string& name, uint32_t stereo = 0, uint16_t unity = 60) {
    WaveEntry& row = WaveTable.rows[WaveTable.count++];
    row = {};
    std::string stored = name;
    if (!stereo) stored.resize(kAkaiNameBytes, ' ');
    std::memcpy(row.name, stored.data(), std::min(stored.size(), kWaveNameBytes - 1));
    row.unityNote = unity;
    row.loopMarker = kNoLoop;
    row.stereo = stereo;
  }

  RegionLayout LayoutAt(int key) {
    programs_ = CollectRegionPrograms(list_.get(), 1);
    EXPECT_TRUE(MarkKeygroupsAtKey(key, programs_));
    RegionLayout layout{};
    const int entered = BuildRegionLayout(programs_, &layout);
    EXPECT_EQ(entered, static_cast<int>(layout.count));
    RenumberVelocitySplits(&layout);
    return layout;
  }

  static std::vector<Entry> Entries(const RegionLayout& l) {
    std::vector<Entry> out;
    for (uint32_t e = 0; e < l.count; ++e) {
      const SubRegion& s = l.entries[e];
      std::string name = WaveTable.rows[s.sample].name;
      name.erase(name.find_last_not_of(' ') + 1);
      out.emplace_back(name, s.velocityIndex, s.programLayerIndex, s.layerIndex);
    }
    return out;
  }

  // The first program's regions, its waves exported as the job does.
  std::vector<Chunk> ConvertedRegions() {
    EXPECT_EQ(ImportProgramWaves(disc_, *list_, 0), 1) << PendingError.text;
    return WrittenRegions();
  }
  // The "wsmp" or "3fra" of sub-region s of a region.
  static const std::vector<uint8_t>& Of(const Chunk& region, size_t s, const char* id) {
    return region.Find("3prg")->children.at(s).Find(id)->data;
  }

  // The instrument's regions, written into a form of its own.
  std::vector<Chunk> WrittenRegions() {
    const std::string path = dir_ / "regions.riff";
    {
      auto file = RiffFile::Open(path, OpenMode::kCreate);
      ChunkInfo form;
      form.type = FourCC("TEST");
      EXPECT_TRUE(file->CreateChunk(form, CreateFlag::kRiff));
      EXPECT_EQ(WriteRegions(*file, list_.get(), 1), 1) << PendingError.text;
      EXPECT_TRUE(file->Ascend(form) && file->Close());
    }
    const Chunk root = testing::WalkFile(path);
    return root.Find("lrgn") != nullptr ? root.Find("lrgn")->children : std::vector<Chunk>{};
  }
  // Each region's keys as rgnh has them.
  static std::vector<std::pair<int, int>> Keys(const std::vector<Chunk>& regions) {
    std::vector<std::pair<int, int>> keys;
    for (const Chunk& rgn : regions) keys.emplace_back(U16At(rgn.Find("rgnh")->data, 0), U16At(rgn.Find("rgnh")->data, 2));
    return keys;
  }
  // The wave of each of the 32 sub-region slots of a region's link chunk.
  static std::vector<uint32_t> WaveIndices(const Chunk& rgn) {
    std::vector<uint32_t> out;
    for (int s = 0; s < 32; ++s) out.push_back(U32At(rgn.Find("3lnk")->data, 44 + 4 * s));
    return out;
  }

  RegionPrograms programs_;
};

// Where given, the region as written: its link chunk's dimensions (code,
// bits, first bit, mask; five of 8 bytes, the rest 0) and the wave of each
// sub-region slot (the rest 0xFFFFFFFF); a slot without a zone falls back to
// the one of the layer below.
TEST_F(RegionTest, ZonesGetTheirIndicesPerTheDimensionRules) {
  struct Case {
    const char* what;
    std::vector<Zone> zones;
    std::vector<std::pair<std::string, uint32_t>> waves;  // name, stereo
    std::vector<Entry> entries;
    int bitsVelocity, bitsLayer;
    uint32_t stereo;
    std::vector<std::string> notes;
    std::vector<uint8_t> dimensions = {};
    std::vector<uint32_t> slots = {};
  };
  const std::vector<Case> cases = {
      {"four velocity splits", {{"A", 0, 31}, {"B", 32, 63}, {"C", 64, 95}, {"D", 96, 127}},
       {{"A", 0}, {"B", 0}, {"C", 0}, {"D", 0}}, {{"A", 0, 0, 0}, {"B", 1, 0, 0}, {"C", 2, 0, 0}, {"D", 3, 0, 0}}, 2, 0, 0, {}},
      {"two stereo pairs: the right zones are in the merged waves",
       {{"P1 L", 0, 63}, {"P1 R", 0, 63}, {"P2 L", 64, 127}, {"P2 R", 64, 127}}, {{"P1 LR", 1}, {"P2 LR", 1}},
       {{"P1 LR", 0, 0, 0}, {"P2 LR", 1, 0, 0}}, 1, 0, 1, {}, {0x80, 1, 0, 0x01, 0, 0, 0, 0, 0x82, 1, 1, 0x02},
       {0, 0, 1, 1}},
      // (velocity 1, layer 1) has no zone: it falls back to layer 1 below.
      {"layers and splits", {{"A", 0, 63}, {"B", 0, 63}, {"C", 64, 127}}, {{"A", 0}, {"B", 0}, {"C", 0}},
       {{"A", 0, 0, 0}, {"B", 0, 0, 1}, {"C", 1, 0, 0}}, 1, 1, 0, {}, {0x81, 1, 0, 0x01, 0, 0, 0, 0, 0x82, 1, 1, 0x02},
       {0, 1, 2, 1}},
      {"two zones at the same velocities are layers", {{"A"}, {"B"}}, {{"A", 0}, {"B", 0}},
       {{"A", 0, 0, 0}, {"B", 0, 0, 1}}, 0, 1, 0, {}},
      {"splits are numbered by velocity, not by zone order", {{"HIGH", 64, 127}, {"LOW", 0, 63}},
       {{"HIGH", 0}, {"LOW", 0}}, {{"HIGH", 1, 0, 0}, {"LOW", 0, 0, 0}}, 1, 0, 0, {}},
      // The layer counter restarts after the split at 127; 97-109 then lands
      // on 7-117's indices and must move up a layer instead of vanishing.
      {"a layer after a split gets a triple of its own", {{"A", 19, 72}, {"B", 7, 117}, {"C", 127, 127}, {"D", 97, 109}},
       {{"A", 0}, {"B", 0}, {"C", 0}, {"D", 0}}, {{"A", 0, 0, 0}, {"B", 0, 0, 1}, {"C", 1, 0, 0}, {"D", 0, 0, 2}}, 1, 2, 0, {}},
      {"a mono zone in a stereo region is left out and noted", {{"P L", 0, 63}, {"P R", 0, 63}, {"M", 64, 127}},
       {{"P LR", 1}, {"M", 0}}, {{"P LR", 0, 0, 0}}, 0, 0, 1,
       {"PROG: keygroup 1, zone 3 (\"M\"): left out of keys 40-60, stereo and mono samples can't share a region"}},
      {"a zone whose wave was not exported is left out and noted", {{"A", 0, 63}, {"X", 64, 127}}, {{"A", 0}},
       {{"A", 0, 0, 0}}, 0, 0, 0, {"PROG: keygroup 1, zone 2 (\"X\"): left out, no wave was exported for it"}},
      // A pair is told by its letters alone: PR1 R is the right channel of
      // the file named after PR2 L, in the region and not "left out".
      {"a loosely matched pair is one stereo zone", {{"PR2 L"}, {"PR1 R"}}, {{"PR2 LR", 1}}, {{"PR2 LR", 0, 0, 0}}, 0, 0, 1, {}},
      // Only the other channel of the same wave follows a stereo zone.
      {"the zone after a stereo zone is skipped only when it is its partner", {{"P L"}, {"Q L"}},
       {{"P LR", 1}, {"Q LR", 1}}, {{"P LR", 0, 0, 0}, {"Q LR", 0, 0, 1}}, 0, 1, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> samples;
    for (const Zone& z : c.zones) samples.push_back(z.sample);
    UsePrograms({Program("PROG", {Group(36, 60, c.zones)})}, samples);
    for (const auto& [name, stereo] : c.waves) AddWave(name, stereo);
    const RegionLayout l = LayoutAt(40);
    EXPECT_EQ(Entries(l), c.entries);
    EXPECT_EQ(std::tuple(DimensionBits(l.velocityMax), DimensionBits(l.layerMax), l.programLayerMax, l.stereo),
              std::tuple(c.bitsVelocity, c.bitsLayer, 0, c.stereo));
    EXPECT_EQ(JobNotes.lines, c.notes);
    if (c.slots.empty()) continue;
    const std::vector<Chunk> regions = WrittenRegions();
    ASSERT_EQ(regions.size(), 1u);
    const Chunk& rgn = regions[0];
    EXPECT_EQ(testing::ChildIds(rgn), (std::vector<std::string>{"rgnh", "wsmp", "wlnk", "3lnk", "3prg", "3dnl"}));
    const std::vector<uint8_t>& link = rgn.Find("3lnk")->data;
    ASSERT_EQ(link.size(), 172u);
    EXPECT_EQ(U32At(link, 0), c.slots.size());
    std::vector<uint8_t> dimensions = c.dimensions;
    dimensions.resize(40, 0);
    EXPECT_EQ(std::vector<uint8_t>(link.begin() + 4, link.begin() + 44), dimensions);
    std::vector<uint32_t> slots = c.slots;
    slots.resize(32, 0xFFFFFFFF);
    EXPECT_EQ(WaveIndices(rgn), slots);
    EXPECT_EQ(rgn.Find("3prg")->children.size(), c.slots.size());
  }
}

// Nine keygroups of four splits over one key: eight fill the 5 bits (2 for
// velocity, 3 for program layers); the ninth's zones are left out, each
// noted, and no entry is written past the 32.
TEST_F(RegionTest, ARegionNeverHoldsMoreThan32SubRegions) {
  std::vector<KeygroupSpec> keygroups;
  std::vector<std::string> samples;
  for (int k = 0; k < 9; ++k) {
    std::vector<Zone> zones;
    for (int z = 0; z < 4; ++z) {
      samples.push_back("S" + std::to_string(k) + "-" + std::to_string(z));
      zones.push_back({samples.back(), static_cast<uint8_t>(32 * z), static_cast<uint8_t>(32 * z + 31)});
    }
    keygroups.push_back(Group(36, 60, zones));
  }
  UsePrograms({Program("BIG", keygroups)}, samples);
  for (const std::string& s : samples) AddWave(s);
  const RegionLayout l = LayoutAt(36);
  ASSERT_EQ(l.count, 32u);
  EXPECT_LE(DimensionBits(l.velocityMax) + DimensionBits(l.layerMax) + DimensionBits(l.programLayerMax), 5);
  std::set<std::tuple<int, int, int>> triples;
  for (const auto& [wave, v, b, c] : Entries(l)) triples.insert({v, b, c});
  EXPECT_EQ(triples.size(), 32u);
  EXPECT_EQ(std::get<0>(Entries(l)[31]), "S7-3");
  ASSERT_EQ(JobNotes.lines.size(), 4u);
  EXPECT_EQ(JobNotes.lines[0], "BIG: keygroup 9, zone 1 (\"S8-0\"): left out of keys 36-60, more than 32 sub-regions");
  // Written whole: 32 sub-regions, each with its articulation.
  const std::vector<Chunk> regions = WrittenRegions();
  ASSERT_EQ(regions.size(), 1u);
  EXPECT_EQ(U32At(regions[0].Find("3lnk")->data, 0), 32u);
  EXPECT_EQ(regions[0].Find("3prg")->children.size(), 32u);
}

// Each chosen key range as rgnh writes it, and the sweep's clipping. (The
// programs of a combined file: ConvertJobTest and the command line's combine.)
TEST_F(RegionTest, TheSweepCutsRegionsWhereKeygroupsBegin) {
  struct Case {
    const char* what;
    std::vector<std::pair<uint8_t, uint8_t>> keygroups;
    std::vector<std::pair<int, int>> regions;
    std::vector<std::string> notes;
  };
  const std::vector<Case> cases = {
      {"overlapping keygroups give overlapping regions", {{36, 60}, {48, 72}}, {{36, 60}, {48, 72}}, {}},
      {"a shared start is cut at the lower end", {{36, 96}, {36, 60}}, {{36, 60}, {61, 96}}, {}},
      {"a region reaching above 60 covers 37 keys", {{0, 127}}, {{0, 36}},
       {"PROG: keys 37-127 get no region (a region spans at most 37 keys)"}},
      {"37 keys below 61 stay whole", {{0, 60}}, {{0, 60}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<KeygroupSpec> keygroups;
    for (auto [low, high] : c.keygroups) keygroups.push_back(Group(low, high, {{"S"}}));
    UsePrograms({Program("PROG", keygroups)}, {"S"});
    AddWave("S");
    const std::vector<Chunk> regions = WrittenRegions();
    EXPECT_EQ(Keys(regions), c.regions);
    for (const Chunk& rgn : regions) EXPECT_EQ(U32At(rgn.Find("rgnh")->data, 4), 127u << 16);  // velocities 0-127
    EXPECT_EQ(RegionCount, c.regions.size());
    EXPECT_EQ(JobNotes.lines, c.notes);
  }
}

// What the program, keygroup and zone set reaches each sub-region's body.
// A stereo wave has no pan, and both channels the body of the left zone,
// whose key byte the pair's row keeps.
TEST_F(RegionTest, TheArticulationCarriesTheProgramKeygroupZoneAndWave) {
  ProgramSpec p = Program("LEAD", {Group(36, 60, {{"SAW", 0, 63}, {"SQUARE", 64, 127}}),
                                   Group(61, 72, {{"PIANO L"}, {"PIANO R"}})});
  p.velocityToLoudness = 0;
  p.lfoSpeed = 0;
  p.modWheelToLfoDepth = 10;
  p.keygroups[0].env1 = {0, 0, 99, 0};
  p.keygroups[0].filterFrequency = 50;
  p.keygroups[0].env2ToFilter = 10;
  p.keygroups[0].zones[0].pan = p.keygroups[1].zones[0].pan = -50;
  p.keygroups[0].zones[1].pan = p.keygroups[1].zones[1].pan = 50;
  p.keygroups[0].zones[0].flag = 0x2A;
  p.keygroups[0].zones[1].flag = 0x15;
  p.keygroups[1].zones[0].flag = 0x11;
  p.keygroups[1].zones[1].flag = 0x22;
  UsePrograms({p}, {"SAW", "SQUARE", "PIANO L", "PIANO R"});
  const std::vector<Chunk> regions = ConvertedRegions();
  ASSERT_EQ(regions.size(), 2u);
  const std::tuple<uint8_t, uint8_t, uint32_t> expected[] = {{0x2A, 127, 63}, {0x15, 63, 127}};  // pan −50, +50
  for (size_t s = 0; s < 2; ++s) {
    const std::vector<uint8_t>& a = Of(regions[0], s, "3fra");
    EXPECT_EQ(U32At(a, 4), 0x80000000u) << s;   // LFO speed 0: no rate
    EXPECT_EQ(U32At(a, 24), 40u * 65536) << s;  // modulation wheel 10: depth 40
    EXPECT_EQ(U32At(a, 28), 0x80000000u) << s;  // no attack
    EXPECT_EQ(static_cast<int32_t>(U32At(a, 32)), TimeCents(0.005)) << s;  // the decay's floor
    EXPECT_EQ(U32At(a, 96), 0x0909u) << s;      // loudness by velocity 0: the flattest curve
    EXPECT_EQ(std::tuple(a[108], a[109], U32At(a, 124)), expected[s]) << s;  // key byte, pan, top velocity
    EXPECT_EQ(a[132], 0x80 | FilterCutoff(70)) << s;  // the filter at 50, opened by envelope 2's 10 × 2
  }
  EXPECT_EQ(FilterCutoff(255), 125);  // an input above 99 is read as 99, never past the table
  ASSERT_EQ(regions[1].Find("3prg")->children.size(), 2u);
  EXPECT_EQ(std::tuple(Of(regions[1], 0, "3fra")[108], Of(regions[1], 0, "3fra")[109]), std::tuple(0x11, 0));
  EXPECT_EQ(Of(regions[1], 0, "3fra"), Of(regions[1], 1, "3fra"));
}

// The sample block: unity note and loop start and length, the same as the
// WAV file's smpl chunk (length end − start + 1). A loop of length 0 has its
// start one word after its end, and length 0 here. A wave exported for one
// zone and played by another zone tuned otherwise is retuned in that
// sub-region (300/256 semitone down: 58.83, one semitone lower if the carry
// were lost); the region's own block keeps the wave's tune. A region whose
// first zone has no wave is still written, with the block of its first
// sub-region's wave (ONCE's, without a loop; not the first row's, LOOPED).
TEST_F(RegionTest, TheSampleBlockCarriesTheLoopAndTheZonesTune) {
  SampleSpec looped = testing::Sample("LOOPED", 1000), once = testing::Sample("ONCE", 1000),
             zero = testing::Sample("ZERO", 1000);
  looped.loopPoint = 899;
  looped.loopLength = 400;
  once.playbackType = 2;
  zero.loopPoint = 499;
  zero.loopLength = 0;
  looped.loopTime = zero.loopTime = 1;
  KeygroupSpec retuned = Group(73, 84, {{"ONCE"}});
  retuned.tuneFraction = 200;
  retuned.zones[0].tuneFraction = 100;
  UsePrograms({Program("LOOPS", {Group(36, 47, {{"LOOPED"}}), Group(48, 60, {{"ONCE"}}), Group(61, 72, {{"ZERO"}}),
                                 retuned, Group(85, 96, {{"NOWHERE"}, {"ONCE"}})})},
              {}, {looped, once, zero});
  const std::vector<Chunk> regions = ConvertedRegions();
  ASSERT_EQ(regions.size(), 5u);
  const std::vector<uint8_t>& loop = Of(regions[0], 0, "wsmp");
  ASSERT_EQ(loop.size(), 36u);
  EXPECT_EQ(U16At(loop, 4), 60);  // unity note
  EXPECT_EQ(std::tuple(U32At(loop, 16), U32At(loop, 28), U32At(loop, 32)), std::tuple(1u, 500u, 400u));  // 899 − 400 + 1
  EXPECT_EQ(regions[0].Find("wsmp")->data, loop);  // the region's own block is the same
  EXPECT_EQ(Of(regions[1], 0, "wsmp").size(), 20u);  // no loop
  Chunk wav;
  ASSERT_EQ(testing::WalkRiff(testing::ReadBytes(dir_ / "ZERO.wav"), &wav), "");
  EXPECT_EQ(std::tuple(U32At(wav.Find("smpl")->data, 44), U32At(wav.Find("smpl")->data, 48)), std::tuple(500u, 499u));
  EXPECT_EQ(std::tuple(U32At(Of(regions[2], 0, "wsmp"), 28), U32At(Of(regions[2], 0, "wsmp"), 32)), std::tuple(500u, 0u));
  const std::vector<uint8_t>& tuned = Of(regions[3], 0, "wsmp");
  EXPECT_EQ(std::tuple(U16At(tuned, 4), static_cast<int16_t>(U16At(tuned, 6))), std::tuple(59, 17));
  EXPECT_EQ(std::tuple(U16At(regions[3].Find("wsmp")->data, 4), U16At(regions[3].Find("wsmp")->data, 6)), std::tuple(60, 0));
  EXPECT_EQ(regions[4].Find("wsmp")->data, Of(regions[1], 0, "wsmp"));
}

}  // namespace
}  // namespace corvix
