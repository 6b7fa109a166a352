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
  bool Take(uint32_t tag, const uint8_t* bytes, uint32_t, bool readable) override {
    handed.push_back({tag, ReadU32LE(bytes), readable});
    return true;
  }
};

using ReadEngineTest = testing::DiscTest;

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

}  // namespace
}  // namespace corvix
