#include "riff/riff_file.h"

#include <gtest/gtest.h>

#include <numeric>

#include "riff/chunk_writer.h"
#include "support/wav_files.h"

namespace corvix {
namespace {

using namespace testing;

// RIFF WAVE { "fmt " (3 bytes + pad), LIST INFO { INAM (2) }, "data" (4) }
// followed by a chunk outside the form.
std::vector<uint8_t> SampleForm() {
  return Cat({RiffBytes("WAVE", {ChunkBytes("fmt ", {1, 2, 3}),
                                 ChunkBytes("LIST", Cat({{'I', 'N', 'F', 'O'}, ChunkBytes("INAM", {'N', 'M'})})),
                                 ChunkBytes("data", {9, 8, 7, 6})}),
              ChunkBytes("smpl", {})});
}

// Looks for a chunk from the file's position: an id, or a LIST or RIFF type.
bool Find(RiffFile& file, ChunkInfo& ck, const char (&code)[5], const ChunkInfo* parent, FindFlag flag) {
  ck = {};
  (flag == FindFlag::kChunk ? ck.id : ck.type) = FourCC(code);
  return file.Descend(ck, parent, flag);
}

TEST(RiffFileTest, DescendFindsChunksInsideTheirParentOnly) {
  TempDir dir;
  WriteBytes(dir / "form.wav", SampleForm());
  auto file = RiffFile::Open(dir / "form.wav", OpenMode::kRead);
  ASSERT_TRUE(file);
  ChunkInfo form, data, other, list, name;
  ASSERT_TRUE(Find(*file, form, "WAVE", nullptr, FindFlag::kRiff));
  ASSERT_TRUE(Find(*file, data, "data", &form, FindFlag::kChunk));
  EXPECT_EQ(data.size, 4u);
  EXPECT_EQ(data.dataOffset, 12u + 12u + 22u + 8u);
  // Inside the form the chunk behind it is not found.
  ASSERT_TRUE(file->Seek(12));
  EXPECT_FALSE(Find(*file, other, "smpl", &form, FindFlag::kChunk));
  ASSERT_TRUE(file->Seek(12));
  ASSERT_TRUE(Find(*file, list, "INFO", &form, FindFlag::kList));
  ASSERT_TRUE(Find(*file, name, "INAM", &list, FindFlag::kChunk));
  ASSERT_TRUE(file->Ascend(name));
  ASSERT_TRUE(file->Ascend(list));
  EXPECT_EQ(file->Tell(), 12u + 12u + 22u);
  EXPECT_FALSE(Find(*file, other, "fmt ", &form, FindFlag::kChunk));  // a search only runs forward
}

// What the chunk writer relies on after a failure closed the file.
TEST(RiffFileTest, AClosedFileRefusesEverything) {
  TempDir dir;
  auto file = RiffFile::Open(dir / "x.riff", OpenMode::kCreate);
  ASSERT_TRUE(file);
  ChunkInfo ck;
  ASSERT_TRUE(file->CreateChunk(ck, CreateFlag::kPlain));
  EXPECT_TRUE(file->Close());
  EXPECT_FALSE(file->Close());
  EXPECT_EQ(file->Write("a", 1), -1);
  EXPECT_EQ(file->Read(&ck, 1), -1);
  EXPECT_FALSE(file->Seek(0));
  EXPECT_EQ(EndChunk(*file, ck), 0);
}

// A record is read as far as the chunk and the file hold it; the rest of it
// is zeros.
TEST(ChunkWriterTest, ReadChunkPaddedReadsWhatThereIsAndZeroesTheRest) {
  TempDir dir;
  const std::string path = dir / "out.riff";
  std::vector<uint8_t> body(18);
  std::iota(body.begin(), body.end(), uint8_t{0xA0});
  WriteBytes(path, body);
  auto in = RiffFile::Open(path, OpenMode::kRead);
  ASSERT_TRUE(in);
  // from: where the read starts; available: what the chunk claims.
  struct Case { uint32_t from, available, read; };
  for (const Case c : {Case{0, 14, 14}, Case{0, 18, 16}, Case{16, 1000, 2}}) {
    SCOPED_TRACE(::testing::Message() << c.from << ", " << c.available);
    ASSERT_TRUE(in->Seek(c.from));
    std::vector<uint8_t> record(16, 0xEE), expected(16, 0);
    ReadChunkPadded(*in, record.data(), 16, c.available);
    std::copy_n(body.begin() + c.from, c.read, expected.begin());
    EXPECT_EQ(record, expected);
    EXPECT_EQ(in->Tell(), c.from + c.read);
  }
}

}  // namespace
}  // namespace corvix
