#include "instrument/regions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <tuple>

#include "jobs/conversion_list.h"
#include "records/job_notes.h"
#include "support/export_fixture.h"

namespace corvix {
namespace {

using discbuilder::DiscSpec;
using discbuilder::KeygroupSpec;
using discbuilder::ProgramSpec;
using discbuilder::VolumeSpec;
using testing::Chunk;
using testing::ExportTest;
using testing::Keygroup;
using testing::ReadBytes;
using testing::Sample;
using testing::U16At;
using testing::U32At;

struct Zone {
  std::string sample;
  uint8_t low = 0, high = 127;
};

KeygroupSpec Group(uint8_t lowKey, uint8_t highKey, std::vector<Zone> zones) {
  KeygroupSpec k = Keygroup(lowKey, highKey);
  for (size_t z = 0; z < zones.size() && z < 4; ++z) {
    k.zones[z].sample = zones[z].sample;
    k.zones[z].lowVelocity = zones[z].low;
    k.zones[z].highVelocity = zones[z].high;
  }
  return k;
}

using testing::Program;

// An entry as the tests compare it: its wave's name and its indices.
struct Entry {
  std::string wave;
  int velocity, programLayer, layer;
  bool operator==(const Entry&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Entry& e) {
  return out << '{' << e.wave << ' ' << e.velocity << ',' << e.programLayer << ',' << e.layer << '}';
}

class RegionTest : public ExportTest {
 protected:
  void TearDown() override {
    FreeConversionList(list_);
    ResetJobNotes();
    ExportTest::TearDown();
  }

  // Volume "V" holding the programs and a short sample of each name given.
  void UsePrograms(std::vector<ProgramSpec> programs, std::vector<std::string> samples) {
    DiscSpec discSpec;
    discSpec.partitions.resize(1);
    VolumeSpec v;
    v.name = "V";
    for (const std::string& s : samples) v.samples.push_back(Sample(s, 10));
    v.programs = std::move(programs);
    const size_t count = v.programs.size();
    discSpec.partitions[0].volumes = {v};
    UseDisc(discSpec);
    ASSERT_TRUE(ReadPartitionInfo());
    FreeConversionList(list_);
    for (size_t i = 0; i < count; ++i) {
      auto item = MakeConversionItem(0, 0, static_cast<uint16_t>(i), nullptr);
      ASSERT_TRUE(item) << PendingError.text;
      AppendConversionItem(list_, std::move(item));
    }
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

  RegionLayout LayoutAt(int key, int single = 1) {
    programs_ = CollectRegionPrograms(list_.get(), single);
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
      out.push_back({TrimmedWave(s.sample), s.velocityIndex, s.programLayerIndex, s.layerIndex});
    }
    return out;
  }
  static std::string TrimmedWave(uint32_t row) {
    std::string name = WaveTable.rows[row].name;
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
  }

  // The instrument's LIST "lrgn", written into a form of its own.
  Chunk WrittenRegions(int single = 1) {
    const std::string path = dir_ / "regions.riff";
    {
      auto file = RiffFile::Open(path, OpenMode::kCreate);
      EXPECT_TRUE(file);
      ChunkInfo form;
      form.type = FourCC("TEST");
      EXPECT_TRUE(file->CreateChunk(form, CreateFlag::kRiff));
      EXPECT_EQ(WriteRegions(*file, list_.get(), single), 1) << PendingError.text;
      EXPECT_TRUE(file->Ascend(form));
      EXPECT_TRUE(file->Close());
    }
    Chunk root;
    EXPECT_EQ(testing::WalkRiff(ReadBytes(path), &root), "");
    const Chunk* lrgn = root.Find("lrgn");
    return lrgn != nullptr ? *lrgn : Chunk{};
  }

  std::unique_ptr<ConversionItem> list_;
  RegionPrograms programs_;
};

TEST_F(RegionTest, ZonesGetTheirIndicesPerTheDimensionRules) {
  struct Case {
    const char* what;
    std::vector<Zone> zones;
    std::vector<std::pair<std::string, uint32_t>> waves;  // name, stereo
    std::vector<Entry> entries;
    int bitsVelocity, bitsLayer;
    uint32_t stereo;
    size_t notes;
  };
  const std::vector<Case> cases = {
      {"four velocity splits",
       {{"A", 0, 31}, {"B", 32, 63}, {"C", 64, 95}, {"D", 96, 127}},
       {{"A", 0}, {"B", 0}, {"C", 0}, {"D", 0}},
       {{"A", 0, 0, 0}, {"B", 1, 0, 0}, {"C", 2, 0, 0}, {"D", 3, 0, 0}}, 2, 0, 0, 0},
      {"two stereo pairs: the right zones are in the merged waves",
       {{"P1 L", 0, 63}, {"P1 R", 0, 63}, {"P2 L", 64, 127}, {"P2 R", 64, 127}},
       {{"P1 LR", 1}, {"P2 LR", 1}},
       {{"P1 LR", 0, 0, 0}, {"P2 LR", 1, 0, 0}}, 1, 0, 1, 0},
      {"two zones at the same velocities are layers",
       {{"A"}, {"B"}}, {{"A", 0}, {"B", 0}},
       {{"A", 0, 0, 0}, {"B", 0, 0, 1}}, 0, 1, 0, 0},
      {"splits are numbered by velocity, not by zone order",
       {{"HIGH", 64, 127}, {"LOW", 0, 63}}, {{"HIGH", 0}, {"LOW", 0}},
       {{"HIGH", 1, 0, 0}, {"LOW", 0, 0, 0}}, 1, 0, 0, 0},
      // The layer counter restarts after the split at 127; 97-109 then lands
      // on 7-117's indices and must move up a layer instead of vanishing.
      {"a layer after a split gets a triple of its own",
       {{"A", 19, 72}, {"B", 7, 117}, {"C", 127, 127}, {"D", 97, 109}},
       {{"A", 0}, {"B", 0}, {"C", 0}, {"D", 0}},
       {{"A", 0, 0, 0}, {"B", 0, 0, 1}, {"C", 1, 0, 0}, {"D", 0, 0, 2}}, 1, 2, 0, 0},
      {"a mono zone in a stereo region is left out and noted",
       {{"P L", 0, 63}, {"P R", 0, 63}, {"M", 64, 127}},
       {{"P LR", 1}, {"M", 0}},
       {{"P LR", 0, 0, 0}}, 0, 0, 1, 1},
      {"a zone whose wave was not exported is left out and noted",
       {{"A", 0, 63}, {"X", 64, 127}}, {{"A", 0}},
       {{"A", 0, 0, 0}}, 0, 0, 0, 1},
      // A pair is told by its letters alone: PR1 R is the right channel of
      // the file named after PR2 L, in the region and not "left out".
      {"a loosely matched pair is one stereo zone",
       {{"PR2 L"}, {"PR1 R"}}, {{"PR2 LR", 1}},
       {{"PR2 LR", 0, 0, 0}}, 0, 0, 1, 0},
      // Only the other channel of the same wave follows a stereo zone.
      {"the zone after a stereo zone is skipped only when it is its partner",
       {{"P L"}, {"Q L"}}, {{"P LR", 1}, {"Q LR", 1}},
       {{"P LR", 0, 0, 0}, {"Q LR", 0, 0, 1}}, 0, 1, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetJobNotes();
    std::vector<std::string> samples;
    for (const Zone& z : c.zones)
      if (z.sample != "ELSEWHERE") samples.push_back(z.sample);
    UsePrograms({Program("PROG", {Group(36, 60, c.zones)})}, samples);
    WaveTable.count = 0;
    for (const auto& [name, stereo] : c.waves) AddWave(name, stereo);

    const RegionLayout l = LayoutAt(40);
    EXPECT_EQ(Entries(l), c.entries);
    EXPECT_EQ(DimensionBits(l.velocityMax), c.bitsVelocity);
    EXPECT_EQ(DimensionBits(l.layerMax), c.bitsLayer);
    EXPECT_EQ(l.programLayerMax, 0);
    EXPECT_EQ(l.stereo, c.stereo);
    EXPECT_EQ(JobNotes.lines.size(), c.notes);
  }
}

TEST_F(RegionTest, NotesNameTheProgramKeygroupZoneAndReason) {
  UsePrograms({Program("PIANO", {Group(36, 60, {{"P L", 0, 63}, {"P R", 0, 63}, {"M", 64, 127}, {"X"}})})},
              {"P L", "P R", "M"});
  AddWave("P LR", 1);
  AddWave("M");
  LayoutAt(36);
  EXPECT_EQ(JobNotes.lines,
            (std::vector<std::string>{
                "PIANO: keygroup 1, zone 3 (\"M\"): left out of keys 36-60, stereo and mono samples "
                "can't share a region",
                "PIANO: keygroup 1, zone 4 (\"X\"): the sample is not in the volume"}));
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
      const std::string name = "S" + std::to_string(k) + "-" + std::to_string(z);
      zones.push_back({name, static_cast<uint8_t>(32 * z), static_cast<uint8_t>(32 * z + 31)});
      samples.push_back(name);
    }
    keygroups.push_back(Group(36, 60, zones));
  }
  UsePrograms({Program("BIG", keygroups)}, samples);
  for (const std::string& s : samples) AddWave(s);

  const RegionLayout l = LayoutAt(36);
  ASSERT_EQ(l.count, 32u);
  EXPECT_LE(DimensionBits(l.velocityMax) + DimensionBits(l.layerMax) + DimensionBits(l.programLayerMax), 5);
  std::set<std::tuple<int, int, int>> triples;
  for (const Entry& e : Entries(l)) triples.insert({e.velocity, e.programLayer, e.layer});
  EXPECT_EQ(triples.size(), 32u);
  EXPECT_EQ(TrimmedWave(l.entries[31].sample), "S7-3");
  ASSERT_EQ(JobNotes.lines.size(), 4u);
  EXPECT_EQ(JobNotes.lines[0], "BIG: keygroup 9, zone 1 (\"S8-0\"): left out of keys 36-60, more than 32 sub-regions");

  // Written whole: 32 sub-regions, each with its articulation.
  const Chunk lrgn = WrittenRegions();
  ASSERT_EQ(lrgn.children.size(), 1u);
  EXPECT_EQ(U32At(lrgn.children[0].Find("3lnk")->data, 0), 32u);
  EXPECT_EQ(lrgn.children[0].Find("3prg")->children.size(), 32u);
}

// Each chosen key range as rgnh writes it, and the sweep's clipping.
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
    ResetJobNotes();
    std::vector<KeygroupSpec> keygroups;
    for (auto [low, high] : c.keygroups) keygroups.push_back(Group(low, high, {{"S"}}));
    UsePrograms({Program("PROG", keygroups)}, {"S"});
    WaveTable.count = 0;
    AddWave("S");
    const Chunk lrgn = WrittenRegions();
    std::vector<std::pair<int, int>> regions;
    for (const Chunk& rgn : lrgn.children) {
      const Chunk* header = rgn.Find("rgnh");
      ASSERT_NE(header, nullptr);
      regions.emplace_back(U16At(header->data, 0), U16At(header->data, 2));
      EXPECT_EQ(U16At(header->data, 4), 0);
      EXPECT_EQ(U16At(header->data, 6), 127);
    }
    EXPECT_EQ(regions, c.regions);
    EXPECT_EQ(RegionCount, c.regions.size());
    EXPECT_EQ(JobNotes.lines, c.notes);
  }
}

TEST_F(RegionTest, CombinedProgramsAreCutAtTheSameKeys) {
  UsePrograms({Program("ONE", {Group(36, 72, {{"A"}})}), Program("TWO", {Group(36, 60, {{"B"}})})}, {"A", "B"});
  AddWave("A");
  AddWave("B");
  std::vector<std::pair<int, int>> regions;
  std::vector<uint32_t> subRegions;
  for (const Chunk& rgn : WrittenRegions(0).children) {
    regions.emplace_back(U16At(rgn.Find("rgnh")->data, 0), U16At(rgn.Find("rgnh")->data, 2));
    subRegions.push_back(U32At(rgn.Find("3lnk")->data, 0));
  }
  EXPECT_EQ(regions, (std::vector<std::pair<int, int>>{{36, 60}, {61, 72}}));
  EXPECT_EQ(subRegions, (std::vector<uint32_t>{2, 1}));
}

std::vector<uint32_t> WaveIndices(const Chunk& link) {
  std::vector<uint32_t> out;
  for (int s = 0; s < 32; ++s) out.push_back(U32At(link.data, 44 + 4 * s));
  return out;
}

TEST_F(RegionTest, TheLinkChunkDescribesDimensionsAndWaves) {
  struct Case {
    const char* what;
    std::vector<Zone> zones;
    std::vector<std::pair<std::string, uint32_t>> waves;
    uint32_t count;
    std::vector<std::vector<uint8_t>> dimensions;  // code, bits, first bit, mask
    std::vector<uint32_t> indices;                 // the rest are 0xFFFFFFFF
  };
  const std::vector<Case> cases = {
      {"two stereo pairs",
       {{"P1 L", 0, 63}, {"P1 R", 0, 63}, {"P2 L", 64, 127}, {"P2 R", 64, 127}},
       {{"P1 LR", 1}, {"P2 LR", 1}},
       4, {{0x80, 1, 0, 0x01}, {0x82, 1, 1, 0x02}}, {0, 0, 1, 1}},
      {"layers and splits",
       {{"A", 0, 63}, {"B", 0, 63}, {"C", 64, 127}},
       {{"A", 0}, {"B", 0}, {"C", 0}},
       // (velocity 1, layer 1) has no zone: it falls back to layer 1 below.
       4, {{0x81, 1, 0, 0x01}, {0x82, 1, 1, 0x02}}, {0, 1, 2, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> samples;
    for (const Zone& z : c.zones) samples.push_back(z.sample);
    UsePrograms({Program("PROG", {Group(36, 60, c.zones)})}, samples);
    WaveTable.count = 0;
    for (const auto& [name, stereo] : c.waves) AddWave(name, stereo);
    const Chunk lrgn = WrittenRegions();
    ASSERT_EQ(lrgn.children.size(), 1u);
    const Chunk& rgn = lrgn.children[0];

    std::vector<std::string> order;
    for (const Chunk& child : rgn.children) order.push_back(child.id == "LIST" ? child.type : child.id);
    EXPECT_EQ(order, (std::vector<std::string>{"rgnh", "wsmp", "wlnk", "3lnk", "3prg", "3dnl"}));
    EXPECT_EQ(rgn.Find("wlnk")->data, std::vector<uint8_t>(12, 0));
    EXPECT_TRUE(rgn.Find("3dnl")->children.empty());

    const Chunk& link = *rgn.Find("3lnk");
    ASSERT_EQ(link.data.size(), 172u);
    EXPECT_EQ(U32At(link.data, 0), c.count);
    for (size_t d = 0; d < 5; ++d) {
      std::vector<uint8_t> expected(8, 0);
      if (d < c.dimensions.size()) std::copy(c.dimensions[d].begin(), c.dimensions[d].end(), expected.begin());
      EXPECT_EQ(std::vector<uint8_t>(link.data.begin() + 4 + 8 * d, link.data.begin() + 12 + 8 * d), expected)
          << "dimension " << d;
    }
    std::vector<uint32_t> indices = c.indices;
    indices.resize(32, 0xFFFFFFFF);
    EXPECT_EQ(WaveIndices(link), indices);
    EXPECT_EQ(rgn.Find("3prg")->children.size(), c.count);
  }
}

// Keygroups past the first 8192 bytes of the program (the 54th on at
// stride 150) are read from the following blocks like the others.
TEST_F(RegionTest, KeygroupsBeyondTheFirstBlockBecomeRegions) {
  std::vector<KeygroupSpec> keygroups;
  std::vector<std::string> samples;
  for (int k = 0; k < 60; ++k) {
    samples.push_back("S" + std::to_string(k));
    keygroups.push_back(Group(static_cast<uint8_t>(k), static_cast<uint8_t>(k), {{samples.back()}}));
  }
  UsePrograms({Program("WIDE", keygroups)}, samples);
  for (const std::string& s : samples) AddWave(s);
  const Chunk lrgn = WrittenRegions();
  ASSERT_EQ(lrgn.children.size(), 60u);
  EXPECT_EQ(RegionCount, 60u);
  for (uint32_t k = 50; k < 60; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(U16At(lrgn.children[k].Find("rgnh")->data, 0), k);
    EXPECT_EQ(WaveIndices(*lrgn.children[k].Find("3lnk"))[0], k);
  }
}

// The region's own sample block comes from zone 1 of its first keygroup;
// when that zone has no wave the region is still written, with the block
// of its first sub-region's wave.
TEST_F(RegionTest, ARegionWithoutAWaveInZoneOneTakesItsFirstSubRegionsWave) {
  UsePrograms({Program("PROG", {Group(36, 60, {{"ELSEWHERE"}, {"B"}})})}, {"B"});
  AddWave("OTHER", 0, 50);
  AddWave("B", 0, 70);
  const Chunk lrgn = WrittenRegions();
  ASSERT_EQ(lrgn.children.size(), 1u);
  EXPECT_EQ(U16At(lrgn.children[0].Find("wsmp")->data, 4), 70);
  EXPECT_EQ(WaveIndices(*lrgn.children[0].Find("3lnk"))[0], 1u);
}

TEST_F(RegionTest, FindWaveEntryFallsBackToTheMergedName) {
  AddWave("PIANO LR", 1);
  AddWave("KICK");
  char left[kWaveNameBytes] = "PIANO R";
  EXPECT_EQ(FindWaveEntry(left), 0);
  EXPECT_STREQ(left, "PIANO LR");
  char kick[kWaveNameBytes] = "KICK        ";
  EXPECT_EQ(FindWaveEntry(kick), 1);
  char none[kWaveNameBytes] = "SNARE";
  EXPECT_EQ(FindWaveEntry(none), -1);
  EXPECT_STREQ(PendingError.text, "Can't find sample for this velocity zone");
  EXPECT_EQ(PendingError.style, kStyleError);
}

}  // namespace
}  // namespace corvix
