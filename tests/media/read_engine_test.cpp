#include "media/read_engine.h"

#include <gtest/gtest.h>

#include "common/byte_order.h"
#include "support/test_disc.h"

namespace corvix {
namespace {

// Each sector of the image holds its own number in its first bytes.
std::vector<uint8_t> Numbered(uint32_t sectors) {
  std::vector<uint8_t> image(size_t{sectors} * kSectorBytes);
  for (uint32_t s = 0; s < sectors; ++s) PutU32LE(image.data() + size_t{s} * kSectorBytes, s + 1);
  return image;
}

// What a reader was handed: tag, the first sector's number, readable.
struct Handed {
  uint32_t tag, first;
  bool readable;
  bool operator==(const Handed&) const = default;
};

struct Recorder : RunReader {
  std::vector<Handed> handed;
  ReadPlan* more = nullptr;  // asks for more in the next round when set
  size_t stopAfter = SIZE_MAX;
  bool Take(uint32_t tag, const uint8_t* bytes, uint32_t, bool readable) override {
    handed.push_back({tag, ReadU32LE(bytes), readable});
    if (more != nullptr && tag == 1) more->Want(500, 1, this, 9);
    return handed.size() < stopAfter;
  }
};

using ReadEngineTest = testing::DiscTest;

// Runs asked in any order are read in disc order, in commands of at most
// 32 sectors that take runs following or overlapping each other, each
// sector once; every reader of a run gets it.
TEST_F(ReadEngineTest, ReadsInDiscOrderInFewCommandsEachSectorOnce) {
  testing::MemorySource& disc = Use(Numbered(600));
  Recorder a, b;
  ReadPlan plan;
  plan.Want(100, 4, &a, 1);
  plan.Want(8, 4, &a, 2);
  plan.Want(104, 4, &b, 3);  // follows 100
  plan.Want(100, 4, &b, 4);  // the same run, another reader
  plan.Want(12, 30, &a, 5);  // follows 8, beyond one command with it
  plan.Want(300, 1, &b, 6);
  EXPECT_EQ(plan.Sectors(), 4u + 30 + 8 + 1);
  ASSERT_TRUE(plan.Run());
  EXPECT_TRUE(plan.empty());
  EXPECT_EQ(disc.commands, (std::vector<std::pair<uint32_t, uint16_t>>{{8, 4}, {12, 30}, {100, 8}, {300, 1}}));
  EXPECT_EQ(a.handed, (std::vector<Handed>{{2, 9, true}, {5, 13, true}, {1, 101, true}}));
  EXPECT_EQ(b.handed, (std::vector<Handed>{{4, 101, true}, {3, 105, true}, {6, 301, true}}));
}

// A drive that refuses long reads, or a bad sector: the command's runs are
// read one by one (a run two readers want, once), and only the run that
// can't be read is lost (as zeros).
TEST_F(ReadEngineTest, AFailedCommandIsTriedRunByRun) {
  struct Case { const char* what; uint16_t longestRead; std::vector<uint32_t> bad; std::vector<Handed> handed; };
  const Case cases[] = {
      {"long reads refused", 4, {}, {{1, 9, true}, {4, 9, true}, {2, 13, true}, {3, 17, true}}},
      {"a bad sector", 0xFFFF, {13}, {{1, 9, true}, {4, 9, true}, {2, 0, false}, {3, 17, true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::MemorySource& disc = Use(Numbered(64));
    disc.longestRead = c.longestRead;
    disc.badSectors = c.bad;
    Recorder r;
    ReadPlan plan;
    for (uint32_t i = 0; i < 3; ++i) plan.Want(8 + 4 * i, 4, &r, i + 1);
    plan.Want(8, 4, &r, 4);
    ASSERT_TRUE(plan.Run());
    EXPECT_EQ(r.handed, c.handed);
    EXPECT_EQ(disc.commands.size(), 4u);  // the command, then its three runs
  }
}

// Blocks that are no file blocks are handed over unreadable, unread; a
// reader may ask for more (the next round) or stop the round.
TEST_F(ReadEngineTest, RoundsAndStops) {
  testing::MemorySource& disc = Use(Numbered(600));
  AkaiDisk.partitionSize = 100;
  Recorder r;
  ReadPlan plan;
  r.more = &plan;
  plan.WantBlock(0, 1, &r, 7);  // in the header: not a file block
  plan.Want(40, 1, &r, 1);
  ASSERT_TRUE(plan.Run());
  EXPECT_EQ(r.handed, (std::vector<Handed>{{7, 0, false}, {1, 41, true}}));
  EXPECT_FALSE(plan.empty());
  ASSERT_TRUE(plan.Run());
  EXPECT_EQ(r.handed.back(), (Handed{9, 501, true}));
  EXPECT_EQ(disc.commands.size(), 2u);

  Recorder stopper;
  stopper.stopAfter = 1;
  plan.Want(10, 1, &stopper, 1);
  plan.Want(400, 1, &stopper, 2);
  EXPECT_FALSE(plan.Run());
  EXPECT_EQ(stopper.handed.size(), 1u);
  EXPECT_EQ(disc.commands.size(), 3u);  // the second run is not read
}

}  // namespace
}  // namespace corvix
