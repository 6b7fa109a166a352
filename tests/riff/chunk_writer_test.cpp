#include "riff/chunk_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <regex>
#include <string>

#include "common/pending_error.h"
#include "support/fault_file_system.h"
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
    ClearPendingError();
    ResetGroupNameTable();
    SetFileSystem(&files_);
    file_ = RiffFile::Open(path_, OpenMode::kCreate);
    ASSERT_TRUE(file_);
  }
  void TearDown() override { SetFileSystem(nullptr); }
  Bytes Finish() {
    file_->Close();
    return testing::ReadBytes(path_);
  }

  testing::TempDir dir_;
  testing::FaultyFileSystem files_;
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

// The name, then the program (and in a stamped list the local date and
// time before it, as MM/DD/YY HH:MM:SS).
TEST_F(ChunkWriterTest, InfoListsHoldTheirTextsInOrder) {
  ASSERT_EQ(WriteInfoListSoftware(*file_, "BASS"), 1);
  ASSERT_EQ(WriteInfoListStamped(*file_, "STRINGS"), 1);
  const Bytes b = Finish();
  EXPECT_TRUE(std::regex_match(std::string(b.begin(), b.end()),
                               std::regex(R"(LIST\x20\x00\x00\x00INFOINAM\x04\x00\x00\x00BASSISFT\x08\x00\x00\x00Farreach)"
                                          R"(LIST\x4A\x00\x00\x00INFOINAM\x07\x00\x00\x00STRINGS\x00)"
                                          R"(ICRD\x14\x00\x00\x00\d\d/\d\d/\d\d    \d\d:\d\d:\d\d)"
                                          R"(ISFT\x12\x00\x00\x00Veltrex Corvix 1\.0)")));
  std::tm t{};
  t.tm_year = 124;
  t.tm_mon = 2;
  t.tm_mday = 7;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 1;
  EXPECT_EQ(FormatCreationStamp(t), "03/07/24    09:05:01");
}

TEST_F(ChunkWriterTest, GroupNameListWritesTheEntriesInUseAndNeverPastTheTable) {
  std::strcpy(reinterpret_cast<char*>(GroupNameTable.names[0]), "STRINGS     ");
  std::strcpy(reinterpret_cast<char*>(GroupNameTable.names[1]), "PIANO");
  for (uint32_t count : {2u, 0u, 1000u}) {
    GroupNameTable.count = count;
    ASSERT_EQ(WriteGroupNameList(*file_), 1);
  }
  const auto name = [](const std::string& text) {
    Bytes bytes = Text(text);
    bytes.resize(64);
    return ChunkBytes("3gnm", bytes);
  };
  const Bytes two = Cat({Text("3gnl"), name("STRINGS     "), name("PIANO")});
  Bytes all = two;
  for (int i = 2; i < 64; ++i) all = Cat({all, name("")});
  EXPECT_EQ(Finish(), Cat({ChunkBytes("LIST", two), ChunkBytes("LIST", Text("3gnl")), ChunkBytes("LIST", all)}));
}

TEST_F(ChunkWriterTest, ReadChunkPaddedReadsWhatThereIsAndZeroesTheRest) {
  Bytes body(18);
  std::iota(body.begin(), body.end(), uint8_t{0xA0});
  ASSERT_EQ(WriteChunk(*file_, FourCC("abcd"), body.data(), 18), 1);
  file_->Close();
  auto in = RiffFile::Open(path_, OpenMode::kRead);
  ASSERT_TRUE(in);
  // from: where in the body the read starts; available: what the chunk
  // claims. The last claims more than the file holds.
  struct Case { uint32_t from, available, read; };
  for (const Case c : {Case{0, 14, 14}, Case{0, 18, 16}, Case{0, 0, 0}, Case{16, 1000, 2}}) {
    SCOPED_TRACE(::testing::Message() << c.from << ", " << c.available);
    ASSERT_TRUE(in->Seek(8 + c.from));
    Bytes record(16, 0xEE), expected(16, 0);
    ReadChunkPadded(*in, record.data(), 16, c.available);
    std::copy_n(body.begin() + c.from, c.read, expected.begin());
    EXPECT_EQ(record, expected);
    EXPECT_EQ(in->Tell(), 8 + c.from + c.read);
  }
}

// A full disk at each point of an INFO list: the operation stops at the
// first failure, records the right message, closes the file and writes
// nothing more; the owner's own close afterwards does no harm.
TEST_F(ChunkWriterTest, FullDiskStopsAnInfoListAtTheFirstFailure) {
  // Bytes written in order (the test disk counts the size patches of the
  // ascents too): LIST header 12; INAM header 8, "NAME" 4, size 4; ICRD
  // header 8, text 20, size 4; ISFT header 8, text 18, size 4; LIST size 4.
  const std::pair<int64_t, const char*> cases[] = {
      {0, "Error creating list chunk"}, {12, "Error Creating Chunk"}, {20, "Error closing chunk"},
      {28, "Error Creating Chunk"},     {56, "Error closing chunk"},  {90, "Error closing chunk"},
  };
  for (const auto& [budget, message] : cases) {
    SCOPED_TRACE(budget);
    ClearPendingError();
    file_ = RiffFile::Open(path_, OpenMode::kCreate);
    ASSERT_TRUE(file_);
    files_.writeBudget = budget;
    EXPECT_EQ(WriteInfoListStamped(*file_, "NAME"), 0);
    EXPECT_STREQ(PendingError.text, message);
    EXPECT_EQ(PendingError.style, 16u);
    EXPECT_TRUE(file_->closed());
    EXPECT_EQ(file_->Write("x", 1), -1);
    EXPECT_FALSE(file_->Close());
    EXPECT_LE(testing::ReadBytes(path_).size(), static_cast<size_t>(budget));
    files_.writeBudget = -1;
  }
}

}  // namespace
}  // namespace corvix
