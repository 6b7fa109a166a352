#include "riff/chunk_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <string>

#include "support/wav_files.h"

namespace corvix {
namespace {

using testing::Cat;
using testing::ChunkBytes;
using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

class ChunkWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = RiffFile::Open(path_, OpenMode::kCreate);
    ASSERT_TRUE(file_);
  }
  Bytes Finish() {
    file_->Close();
    return testing::ReadBytes(path_);
  }

  testing::TempDir dir_;
  const std::string path_ = dir_ / "out.riff";
  std::unique_ptr<RiffFile> file_;
};

// Odd chunks get a pad byte that the list around them counts; a text of more
// than 256 characters is cut to 255, in the caller's buffer too.
TEST_F(ChunkWriterTest, ChunksArePaddedAndListsCountThePad) {
  ChunkInfo list;
  ASSERT_EQ(BeginListChunk(*file_, list, FourCC("test")), 1);
  ASSERT_EQ(WriteChunk(*file_, FourCC("five"), "abcde", 5), 1);
  ASSERT_EQ(WriteChunk(*file_, FourCC("empt"), nullptr, 0), 1);
  std::string texts[] = {"", "abc", std::string(256, 'x'), std::string(257, 'y')};
  for (std::string& text : texts) ASSERT_EQ(WriteStringChunk(*file_, FourCC("TEXT"), text.data()), 1);
  ASSERT_EQ(EndChunk(*file_, list), 1);
  EXPECT_EQ(std::strlen(texts[3].data()), 255u);
  const Bytes body = Cat({Text("test"), ChunkBytes("five", Text("abcde")), ChunkBytes("empt", {}),
                          ChunkBytes("TEXT", {}), ChunkBytes("TEXT", Text("abc")),
                          ChunkBytes("TEXT", Text(std::string(256, 'x'))), ChunkBytes("TEXT", Text(std::string(255, 'y')))});
  EXPECT_EQ(file_->Tell(), 8 + body.size());
  EXPECT_EQ(Finish(), ChunkBytes("LIST", body));
}

// A record is read as far as the chunk and the file hold it; the rest of it
// is zeros.
TEST_F(ChunkWriterTest, ReadChunkPaddedReadsWhatThereIsAndZeroesTheRest) {
  Bytes body(18);
  std::iota(body.begin(), body.end(), uint8_t{0xA0});
  testing::WriteBytes(path_, body);
  auto in = RiffFile::Open(path_, OpenMode::kRead);
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
