#include "riff/chunk_writer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "support/wav_files.h"

namespace corvix {
namespace {

using Bytes = std::vector<uint8_t>;

// A record is read as far as the chunk and the file hold it; the rest of it
// is zeros.
TEST(ChunkWriterTest, ReadChunkPaddedReadsWhatThereIsAndZeroesTheRest) {
  testing::TempDir dir;
  const std::string path = dir / "out.riff";
  Bytes body(18);
  std::iota(body.begin(), body.end(), uint8_t{0xA0});
  testing::WriteBytes(path, body);
  auto in = RiffFile::Open(path, OpenMode::kRead);
  ASSERT_TRUE(in);
  // from: where the read starts; available: what the chunk claims.
  struct Case { uint32_t from, available, read; };
  for (const Case c : {Case{0, 14, 14}, Case{0, 18, 16}, Case{16, 1000, 2}}) {
    SCOPED_TRACE(::testing::Message() << c.from << ", " << c.available);
    ASSERT_TRUE(in->Seek(c.from));
    Bytes record(16, 0xEE), expected(16, 0);
    ReadChunkPadded(*in, record.data(), 16, c.available);
    std::copy_n(body.begin() + c.from, c.read, expected.begin());
    EXPECT_EQ(record, expected);
    EXPECT_EQ(in->Tell(), c.from + c.read);
  }
}

}  // namespace
}  // namespace corvix
