#include "media/akai_disk.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/byte_order.h"
#include "common/pending_error.h"
#include "media/akai_records.h"
#include "media/disc_listing.h"
#include "support/test_disc.h"

namespace corvix {
namespace {

using discbuilder::DiscSpec;
using discbuilder::ProgramSpec;
using discbuilder::VolumeSpec;
using testing::DiscTest;
using testing::Keygroup;
using testing::Sample;

DiscSpec OneVolume(VolumeSpec volume) {
  DiscSpec discSpec;
  discSpec.partitions.resize(1);
  discSpec.partitions[0].volumes.push_back(std::move(volume));
  return discSpec;
}

VolumeSpec Volume(const std::string& name, uint8_t type = 1) {
  VolumeSpec v;
  v.name = name;
  v.type = type;
  return v;
}

class AkaiDiskTest : public DiscTest {
 protected:
  // Reads partition 0 and the directory of its volume 0, as the browser does
  // when that volume is selected.
  void OpenFirstVolume() {
    ReadPartitionInfo();
    ReadVolumeTable(0);
    ASSERT_TRUE(ReadVolumeDirectory(0, 0));
  }
};

TEST_F(AkaiDiskTest, RecognisesTheCheckWordsAndNothingElse) {
  auto disc = UseDisc(OneVolume(Volume("V")));
  EXPECT_TRUE(IsAkaiDisk());

  // Every single check word matters, the last one included.
  for (uint32_t word : {0u, 48u, 96u}) {
    SCOPED_TRACE(word);
    std::vector<uint8_t> image = disc.image;
    PutU16LE(image.data() + kCheckWordOffset + 2 * word, 0);
    Use(image);
    EXPECT_FALSE(IsAkaiDisk());
  }
  Use(std::vector<uint8_t>(64 * 1024, 0));
  EXPECT_FALSE(IsAkaiDisk());
  Use({});
  EXPECT_FALSE(IsAkaiDisk());
  EXPECT_EQ(ReadPartitionInfo(), 0);
  EXPECT_EQ(AkaiDisk.partitionCount, 0u);
}

TEST_F(AkaiDiskTest, DecodesNamesAndMarksBytesOutsideTheTable) {
  const uint8_t letterA[12] = {11, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10};
  const uint8_t edges[12] = {0, 9, 36, 37, 38, 39, 40, 41, 200, 255, 10, 10};
  char out[13] = {};
  DecodeAkaiName(letterA, out, 12);
  EXPECT_STREQ(out, "A           ");
  std::memset(out, 0, sizeof out);
  DecodeAkaiName(edges, out, 12);
  EXPECT_STREQ(out, "09Z#+-.___  ");
  std::memset(out, 0, sizeof out);
  DecodeAkaiName(letterA, out, 0);
  EXPECT_STREQ(out, "");
}

TEST_F(AkaiDiskTest, ReadsPartitionsAndVolumeTypes) {
  DiscSpec discSpec;
  discSpec.partitions.resize(2);
  discSpec.partitions[0].volumes.push_back(Volume("PLAIN", 1));
  discSpec.partitions[0].volumes.push_back(Volume("WIDE", 3));
  discSpec.partitions[0].volumes.push_back(Volume("ODD TYPE", 200));
  discSpec.partitions[1].volumes.push_back(Volume("SECOND", 1));
  auto disc = UseDisc(discSpec);
  // A named slot of type 0 is not a volume.
  uint8_t* slot5 = disc.image.data() + kVolumeTableOffset + 5 * kVolumeEntryBytes;
  auto name = discbuilder::EncodeAkaiName("GHOST");
  std::memcpy(slot5, name.data(), 12);
  Use(disc.image);

  ASSERT_TRUE(ReadPartitionInfo());
  EXPECT_EQ(AkaiDisk.partitionCount, 2u);
  EXPECT_EQ(AkaiDisk.partitionSize, disc.partitionSize);

  ASSERT_TRUE(ReadVolumeTable(0));
  EXPECT_STREQ(AkaiDisk.volumes[0].name, "PLAIN       ");
  EXPECT_EQ(AkaiDisk.volumes[1].type, 3);
  EXPECT_EQ(AkaiDisk.volumes[5].type, 0);

  ASSERT_TRUE(ReadVolumeTable(1));
  EXPECT_STREQ(AkaiDisk.volumes[0].name, "SECOND      ");
  EXPECT_EQ(AkaiDisk.volumes[1].type, 0);

  const DiscListing listing = ListDisc();
  ASSERT_EQ(listing.partitions.size(), 2u);
  EXPECT_EQ(listing.partitions[0].volumes.size(), 3u);  // GHOST is not listed
  EXPECT_EQ(listing.partitions[1].label, "B");
}

TEST_F(AkaiDiskTest, DirectoryWalkFollowsTheTypeRules) {
  struct Case {
    const char* what;
    uint8_t type;
    uint16_t startBlock, tag;
    bool walkGoesOn;
  };
  const Case cases[] = {
      {"drum file 'd' is skipped", 0x64, 9, 0, true},
      {"'c', 'x', 'q' are skipped", 0x71, 9, 0, true},
      {"0xE4 is not 'd'", 0xE4, 9, 0, false},
      {"type 0 with block and tag", 0x00, 5, 7, true},
      {"type 0 without block", 0x00, 0, 7, false},
      {"type 0 without tag", 0x00, 5, 0, false},
      {"unknown type", 0x41, 9, 9, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VolumeSpec volume = Volume("V");
    volume.highBitTypes = true;  // the builder writes 0xF0 and 0xF3
    volume.samples.push_back(Sample("FIRST"));
    std::array<uint8_t, 24> odd{};
    odd[16] = c.type;
    PutU16LE(odd.data() + 20, c.startBlock);
    PutU16LE(odd.data() + 22, c.tag);
    std::array<uint8_t, 24> after{};
    auto name = discbuilder::EncodeAkaiName("AFTER");
    std::copy(name.begin(), name.end(), after.begin());
    after[16] = 0xF3;
    PutU24LE(after.data() + 17, 0x021000);  // bytes 00 10 02
    PutU16LE(after.data() + 20, 3);
    volume.extraEntries = {odd, after};
    UseDisc(OneVolume(volume));

    OpenFirstVolume();
    const VolumeEntry& v = AkaiDisk.volumes[0];
    ASSERT_EQ(v.sampleCount, c.walkGoesOn ? 2 : 1);
    EXPECT_STREQ(v.samples[0].name, "FIRST       ");
    if (c.walkGoesOn) {
      EXPECT_EQ(v.samples[1].length, 135168u);
    }
  }
}

TEST_F(AkaiDiskTest, FullDirectoryStaysInsideTheBlockAndTheLists) {
  VolumeSpec volume = Volume("FULL");
  for (int i = 0; i < 341; ++i) {
    std::array<uint8_t, 24> e{};
    auto name = discbuilder::EncodeAkaiName("P" + std::to_string(i));
    std::copy(name.begin(), name.end(), e.begin());
    e[16] = i < 200 ? 0x70 : 0x73;  // 200 programs, 141 samples
    PutU16LE(e.data() + 20, static_cast<uint16_t>(3 + i));
    volume.extraEntries.push_back(e);
  }
  UseDisc(OneVolume(volume));
  OpenFirstVolume();
  EXPECT_EQ(AkaiDisk.volumes[0].programCount, kMaxPrograms);
  EXPECT_EQ(AkaiDisk.volumes[0].sampleCount, 141);
  EXPECT_STREQ(AkaiDisk.volumes[0].programs[127].name, "P127        ");
  EXPECT_STREQ(AkaiDisk.volumes[0].samples[140].name, "P340        ");

  // 300 samples: the list keeps 255.
  for (int i = 0; i < 341; ++i) volume.extraEntries[i][16] = i < 300 ? 0x73 : 0x70;
  UseDisc(OneVolume(volume));
  OpenFirstVolume();
  EXPECT_EQ(AkaiDisk.volumes[0].sampleCount, kMaxSamples);
  EXPECT_EQ(AkaiDisk.volumes[0].programCount, 41);
}

TEST_F(AkaiDiskTest, SummaryTakesKeyRangeAndPresentZones) {
  VolumeSpec volume = Volume("V");
  volume.samples = {Sample("ONE"), Sample("TWO")};
  ProgramSpec program;
  program.name = "PROG";
  auto k0 = Keygroup(36, 47, {"ONE", "", "MISSING", "TWO"});
  k0.zones[3].lowVelocity = 64;
  k0.zones[3].highVelocity = 100;
  program.keygroups = {k0, Keygroup(48, 60, {"TWO"})};
  ProgramSpec empty;
  empty.name = "EMPTY";
  volume.programs = {program, empty};
  UseDisc(OneVolume(volume));

  OpenFirstVolume();
  ProgramSummary summary{};
  ASSERT_TRUE(ReadProgramSummary(0, 0, AkaiDisk.volumes[0].programs[0], &summary));
  EXPECT_EQ(summary.keygroupCount, 2);
  EXPECT_EQ(summary.lowestKey, 36);
  EXPECT_EQ(summary.highestKey, 60);
  const KeygroupSlot& slot = summary.keygroups[0];
  EXPECT_EQ(slot.present, 1u);
  EXPECT_EQ(slot.zones[0].present, 1u);
  EXPECT_EQ(slot.zones[1].present, 0u);  // twelve spaces
  EXPECT_EQ(slot.zones[2].present, 0u);  // not in the volume
  EXPECT_EQ(slot.zones[3].present, 1u);  // still examined after the gaps
  EXPECT_EQ(slot.zones[3].lowVelocity, 64);
  EXPECT_EQ(summary.keygroups[2].present, 0u);

  ASSERT_TRUE(ReadProgramSummary(0, 0, AkaiDisk.volumes[0].programs[1], &summary));
  EXPECT_EQ(summary.keygroupCount, 0);
  EXPECT_EQ(summary.lowestKey, 127);
  EXPECT_EQ(summary.highestKey, 0);
}

// The browser lists a volume's programs with their summaries: the FAT is
// read once, the program files in one round, and a program that can't be
// read is told apart.
TEST_F(AkaiDiskTest, AVolumesSummariesReadTheFatOnce) {
  VolumeSpec volume = Volume("V");
  volume.samples = {Sample("S")};
  ProgramSpec a, b;
  a.name = "A";
  a.keygroups = {Keygroup(36, 47, {"S"})};
  b.name = "B";
  b.keygroups = {Keygroup(50, 60, {"S"}), Keygroup(61, 70, {"S"})};
  volume.programs = {a, b};
  DiscSpec discSpec = OneVolume(volume);
  discSpec.fragmented = true;
  UseDisc(discSpec);
  OpenFirstVolume();
  AkaiDisk.volumes[0].programs[1].startBlock = 2;  // B can't be read
  source_->commands.clear();
  ProgramSummary summaries[3] = {};
  bool readable[3] = {};
  SummarizeVolumePrograms(0, 0, summaries, readable, 3);
  EXPECT_EQ(source_->commands.size(), 2u);  // the FAT, then A's block
  EXPECT_TRUE(readable[0]);
  EXPECT_EQ(summaries[0].lowestKey, 36);
  EXPECT_EQ(summaries[0].keygroups[0].zones[0].present, 1u);
  EXPECT_FALSE(readable[1]);
  EXPECT_EQ(summaries[1].keygroupCount, 0);
  EXPECT_EQ(summaries[1].lowestKey, 127);
}

// Drum kits often have more keygroups than the first block of the program
// holds; they are read along the file's chain, fragmented or not.
TEST_F(AkaiDiskTest, LargeProgramsAreReadWholeAtBothStrides) {
  struct Case {
    uint8_t type;
    int keygroups;
    bool fragmented;
  };
  for (const Case& c : {Case{1, 128, true}, Case{3, 45, false}}) {
    SCOPED_TRACE(::testing::Message() << "type " << int(c.type) << ", " << c.keygroups);
    VolumeSpec volume = Volume("KITS", c.type);
    volume.samples = {Sample("HIT")};
    ProgramSpec program;
    program.name = "KIT";
    for (int k = 0; k < c.keygroups; ++k)
      program.keygroups.push_back(Keygroup(static_cast<uint8_t>(k), static_cast<uint8_t>(k), {"HIT"}));
    volume.programs = {program, program, program};
    DiscSpec discSpec = OneVolume(volume);
    discSpec.fragmented = c.fragmented;
    auto disc = UseDisc(discSpec);
    if (c.fragmented) {
      const auto& chain = disc.FindFile("KIT")->blocks;
      ASSERT_GT(chain.size(), 1u);
      EXPECT_NE(chain[1], chain[0] + 1);
    }
    OpenFirstVolume();
    ProgramSummary summary{};
    ASSERT_TRUE(ReadProgramSummary(0, 0, AkaiDisk.volumes[0].programs[0], &summary));
    EXPECT_EQ(summary.keygroupCount, c.keygroups);
    EXPECT_EQ(summary.highestKey, c.keygroups - 1);
    const KeygroupSlot& last = summary.keygroups[c.keygroups - 1];
    EXPECT_EQ(last.lowKey, c.keygroups - 1);
    EXPECT_EQ(last.zones[0].present, 1u);
  }
}

TEST_F(AkaiDiskTest, KeygroupCountIsClippedToWhatTheChainHolds) {
  VolumeSpec volume = Volume("V");
  volume.samples = {Sample("S")};
  ProgramSpec program;
  program.name = "LIAR";
  program.keygroups = {Keygroup(10, 20, {"S"})};
  program.keygroupCount = 255;  // one block, one keygroup written
  volume.programs = {program};
  UseDisc(OneVolume(volume));
  OpenFirstVolume();
  ProgramSummary summary{};
  ASSERT_TRUE(ReadProgramSummary(0, 0, AkaiDisk.volumes[0].programs[0], &summary));
  // The one block holds 53 whole keygroups at stride 150; the rest of the
  // block is zeros, which read as keygroups 0-0.
  EXPECT_EQ(summary.keygroupCount, 53);
  EXPECT_EQ(summary.lowestKey, 0);
  EXPECT_EQ(summary.highestKey, 20);
}

TEST_F(AkaiDiskTest, ChainsEndAtBadOrLoopingFatEntries) {
  VolumeSpec volume = Volume("V");
  ProgramSpec program;
  program.name = "BIG";
  for (int k = 0; k < 128; ++k) program.keygroups.push_back(Keygroup(1, 2));
  volume.programs = {program};
  auto disc = UseDisc(OneVolume(volume));
  const auto chain = disc.FindFile("BIG")->blocks;
  ASSERT_EQ(chain.size(), 3u);  // 129 × 150 bytes

  struct Case {
    const char* what;
    uint16_t next;
    uint32_t keygroupsRead;
  };
  const Case cases[] = {
      {"loops back to itself", chain[0], 53},  // a file holds no block twice
      {"past the FAT", 8315, 53},
      {"past the partition", static_cast<uint16_t>(disc.partitionSize), 53},
      {"into the header", 0, 53},
      {"end mark", kChainEnd, 53},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> image = disc.image;
    PutU16LE(image.data() + kFatOffset + 2 * chain[0], c.next);
    Use(image);
    OpenFirstVolume();
    auto buffer = std::make_unique<ProgramBuffer>();
    ASSERT_TRUE(ReadProgramFile(0, AkaiDisk.volumes[0].programs[0], buffer.get()));
    EXPECT_LE(buffer->bytesRead, kProgramBufferBytes);
    EXPECT_EQ(ProgramKeygroupCount(*buffer, 150), c.keygroupsRead);
  }
}

TEST_F(AkaiDiskTest, UnreadableHeaderIsReportedOnceAndListingsStaySafe) {
  auto disc = UseDisc(OneVolume(Volume("V")));
  // A partition count of 255 on an image that holds one partition.
  std::vector<uint8_t> image = disc.image;
  image[8 * 2048 + kPartitionCountOffset] = 255;
  Use(image);
  ProgramSummary summary{};
  ReadPartitionInfo();
  DirEntry program{};
  program.startBlock = 3;
  EXPECT_EQ(ReadProgramSummary(7, 0, program, &summary), 0);
  EXPECT_STREQ(PendingError.text, "Can't Read FAT");
  EXPECT_EQ(PendingError.style, kStyleError);
  uint8_t block[kBlockBytes];
  EXPECT_EQ(ReadFileBlock(7, 3, block), 0);

  const DiscListing listing = ListDisc();
  ASSERT_EQ(listing.partitions.size(), 255u);
  EXPECT_EQ(listing.partitions[0].volumes.size(), 1u);
  for (size_t p = 1; p < listing.partitions.size(); ++p) EXPECT_TRUE(listing.partitions[p].volumes.empty());
  EXPECT_TRUE(recorder_.messages.empty());
}

// A program's first block that isn't there must not read as an empty
// program: the start block lies in the partition header, past the
// partition, or past the end of the image (as a drive that fails the read).
TEST_F(AkaiDiskTest, AProgramWhoseFirstBlockCantBeReadIsNotRead) {
  VolumeSpec volume = Volume("V");
  volume.samples = {Sample("S")};
  ProgramSpec program;
  program.name = "PIANO";
  program.keygroups = {Keygroup(40, 50, {"S"})};
  volume.programs = {program};
  auto disc = UseDisc(OneVolume(volume));
  const uint16_t start = disc.FindFile("PIANO")->blocks[0];
  struct Case {
    const char* what;
    uint16_t startBlock;
    size_t imageBytes;
  };
  const Case cases[] = {
      {"in the header", 2, disc.image.size()},
      {"past the partition", disc.partitionSize, disc.image.size()},
      {"past the image", start, static_cast<size_t>(disc.BlockOffset(0, start))},
      {"readable", start, disc.image.size()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> image = disc.image;
    image.resize(c.imageBytes);
    Use(image);
    OpenFirstVolume();
    DirEntry entry = AkaiDisk.volumes[0].programs[0];
    entry.startBlock = c.startBlock;
    auto buffer = std::make_unique<ProgramBuffer>();
    ClearPendingError();
    const bool readable = c.startBlock == start && c.imageBytes == disc.image.size();
    EXPECT_EQ(ReadProgramFile(0, entry, buffer.get()), readable ? 1 : 0);
    EXPECT_STREQ(PendingError.text, readable ? "" : "Can't read program PIANO");
    EXPECT_EQ(buffer->bytesRead, readable ? kBlockBytes : 0u);
  }
}

TEST_F(AkaiDiskTest, TruncatedImageListsWhatIsThere) {
  VolumeSpec volume = Volume("V");
  volume.samples = {Sample("EARLY", 10), Sample("LATE", 30000)};
  ProgramSpec program;
  program.name = "P";
  program.keygroups = {Keygroup(40, 50, {"EARLY"}), Keygroup(51, 60, {"LATE"})};
  volume.programs = {program};
  auto disc = UseDisc(OneVolume(volume));
  const auto* late = disc.FindFile("LATE");
  std::vector<uint8_t> image = disc.image;
  image.resize(disc.BlockOffset(0, late->blocks[0]) + 100);  // cut inside LATE's header
  Use(image);
  const DiscListing listing = ListDisc();
  ASSERT_EQ(listing.partitions.size(), 1u);
  const ListedVolume& v = listing.partitions[0].volumes.at(0);
  EXPECT_EQ(v.programs.at(0).keygroups, 2u);
  EXPECT_EQ(v.samples.at(0).lengthWords, 10u);
  EXPECT_EQ(v.samples.at(1).lengthWords, 0u);  // its header is gone
}

}  // namespace
}  // namespace corvix
