#include "riff/chunk_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>

#include "common/pending_error.h"
#include "support/fault_file_system.h"
#include "support/wav_files.h"

namespace corvix {
namespace {

using testing::Chunk;
using testing::FaultyFileSystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::U32At;

class ChunkWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearPendingError();
    ResetGroupNameTable();
    SetFileSystem(&files_);
    path_ = dir_ / "out.riff";
    file_ = RiffFile::Open(path_, OpenMode::kCreate);
    ASSERT_TRUE(file_);
  }
  void TearDown() override { SetFileSystem(nullptr); }

  std::vector<uint8_t> Finish() {
    file_->Close();
    return ReadBytes(path_);
  }

  TempDir dir_;
  FaultyFileSystem files_;
  std::string path_;
  std::unique_ptr<RiffFile> file_;
};

TEST_F(ChunkWriterTest, OddChunksArePaddedAndListsCountThePad) {
  ChunkInfo list;
  ASSERT_EQ(BeginListChunk(*file_, list, FourCC("test")), 1);
  ASSERT_EQ(WriteChunk(*file_, FourCC("five"), "abcde", 5), 1);
  ASSERT_EQ(WriteChunk(*file_, FourCC("empt"), nullptr, 0), 1);
  ASSERT_EQ(EndChunk(*file_, list), 1);
  EXPECT_EQ(file_->Tell(), 12u + 14u + 8u);
  const auto b = Finish();

  ASSERT_EQ(b.size(), 34u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "LIST");
  EXPECT_EQ(U32At(b, 4), 4u + 14u + 8u);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 12), "test");
  EXPECT_EQ(std::string(b.begin() + 12, b.begin() + 16), "five");
  EXPECT_EQ(U32At(b, 16), 5u);
  EXPECT_EQ(std::string(b.begin() + 20, b.begin() + 25), "abcde");
  EXPECT_EQ(b[25], 0);
  // The next chunk starts 14 bytes after the first one.
  EXPECT_EQ(std::string(b.begin() + 26, b.begin() + 30), "empt");
  EXPECT_EQ(U32At(b, 30), 0u);
}

TEST_F(ChunkWriterTest, StringChunksKeep256CharactersAndCutLongerTextsTo255) {
  struct Case {
    size_t length;
    uint32_t size;
    bool pad;
  };
  const Case cases[] = {{0, 0, false}, {3, 3, true}, {256, 256, false}, {257, 255, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    std::string text(c.length, 'x');
    for (size_t i = 0; i < c.length; ++i) text[i] = static_cast<char>('a' + i % 26);
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    const uint32_t start = file_->Tell();
    ASSERT_EQ(WriteStringChunk(*file_, FourCC("TEXT"), buffer.data()), 1);
    EXPECT_EQ(file_->Tell() - start, 8 + c.size + (c.pad ? 1 : 0));
    // The cut stays in the caller's buffer.
    EXPECT_EQ(std::strlen(buffer.data()), c.size);
  }
  const auto b = Finish();
  size_t at = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(U32At(b, at + 4), c.size);
    if (c.pad) {
      EXPECT_EQ(b[at + 8 + c.size], 0);
    }
    at += 8 + c.size + (c.pad ? 1 : 0);
  }
  EXPECT_EQ(at, b.size());
}

TEST_F(ChunkWriterTest, InfoListsHoldTheirTextsInOrder) {
  ASSERT_EQ(WriteInfoList(*file_, "PIANO L     "), 1);
  ASSERT_EQ(WriteInfoListStamped(*file_, "STRINGS"), 1);
  ASSERT_EQ(WriteInfoListSoftware(*file_, "BASS"), 1);
  const auto b = Finish();

  Chunk root;  // wrapped in a form so the walker checks every size
  ASSERT_EQ(testing::WalkRiff(testing::RiffBytes("TEST", {b}), &root), "");
  ASSERT_EQ(root.children.size(), 3u);

  const Chunk& plain = root.children[0];
  ASSERT_EQ(plain.children.size(), 1u);
  EXPECT_EQ(std::string(plain.children[0].data.begin(), plain.children[0].data.end()), "PIANO L     ");

  const Chunk& stamped = root.children[1];
  ASSERT_EQ(stamped.children.size(), 3u);
  EXPECT_EQ(stamped.children[1].id, "ICRD");
  const std::string date(stamped.children[1].data.begin(), stamped.children[1].data.end());
  EXPECT_TRUE(std::regex_match(date, std::regex(R"(\d\d/\d\d/\d\d    \d\d:\d\d:\d\d)"))) << date;
  EXPECT_EQ(std::string(stamped.children[2].data.begin(), stamped.children[2].data.end()),
            "Veltrex Corvix 1.0");

  const Chunk& software = root.children[2];
  ASSERT_EQ(software.children.size(), 2u);
  EXPECT_EQ(std::string(software.children[1].data.begin(), software.children[1].data.end()), "Farreach");
}

TEST(CreationStampTest, IsMonthDayYearThenTheTimeIn20Characters) {
  std::tm t{};
  t.tm_year = 2024 - 1900;
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
  GroupNameTable.count = 2;
  ASSERT_EQ(WriteGroupNameList(*file_), 1);
  GroupNameTable.count = 0;
  ASSERT_EQ(WriteGroupNameList(*file_), 1);
  GroupNameTable.count = 1000;
  ASSERT_EQ(WriteGroupNameList(*file_), 1);
  const auto b = Finish();

  EXPECT_EQ(U32At(b, 4), 148u);
  EXPECT_EQ(std::string(b.begin() + 12, b.begin() + 16), "3gnm");
  EXPECT_EQ(U32At(b, 16), 64u);
  EXPECT_EQ(std::string(b.begin() + 20, b.begin() + 32), "STRINGS     ");
  EXPECT_EQ(b[32], 0);
  EXPECT_EQ(std::string(b.begin() + 92, b.begin() + 97), "PIANO");
  EXPECT_EQ(U32At(b, 156 + 4), 4u);  // an empty list holds only its type
  EXPECT_EQ(U32At(b, 168 + 4), 4u + 64u * 72u);
  EXPECT_EQ(b.size(), 168u + 12u + 64u * 72u);
}

TEST_F(ChunkWriterTest, ReadChunkPaddedReadsWhatThereIsAndZeroesTheRest) {
  uint8_t body[18];
  for (int i = 0; i < 18; ++i) body[i] = static_cast<uint8_t>(0xA0 + i);
  ASSERT_EQ(WriteChunk(*file_, FourCC("abcd"), body, 18), 1);
  file_->Close();

  auto in = RiffFile::Open(path_, OpenMode::kRead);
  ASSERT_TRUE(in);
  struct Case {
    uint32_t available;
    uint32_t readBytes;
  };
  for (const Case c : {Case{14, 14}, Case{18, 16}, Case{0, 0}}) {
    SCOPED_TRACE(c.available);
    ASSERT_TRUE(in->Seek(8));
    uint8_t record[16];
    std::memset(record, 0xEE, sizeof record);
    ReadChunkPadded(*in, record, 16, c.available);
    for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(record[i], i < c.readBytes ? 0xA0 + i : 0) << i;
    EXPECT_EQ(in->Tell(), 8 + c.readBytes);
  }
  // A chunk whose size runs past the end of the file: what is missing reads
  // as zeros.
  ASSERT_TRUE(in->Seek(8 + 16));
  uint8_t record[16];
  std::memset(record, 0xEE, sizeof record);
  ReadChunkPadded(*in, record, 16, 1000);
  EXPECT_EQ(record[0], 0xA0 + 16);
  EXPECT_EQ(record[1], 0xA0 + 17);
  EXPECT_EQ(record[2], 0);
}

// A full disk at each point of an INFO list: the operation stops at the
// first failure, records the right message, closes the file and writes
// nothing more; the owner's own close afterwards does no harm.
TEST_F(ChunkWriterTest, FullDiskStopsAnInfoListAtTheFirstFailure) {
  struct Case {
    int64_t budget;
    const char* message;
  };
  // Bytes written in order (the test disk counts the size patches of the
  // ascents too): LIST header 12; INAM header 8, "NAME" 4, size 4; ICRD
  // header 8, text 20, size 4; ISFT header 8, text 18, size 4; LIST size 4.
  const Case cases[] = {
      {0, "Error creating list chunk"}, {12, "Error Creating Chunk"}, {20, "Error closing chunk"},
      {28, "Error Creating Chunk"},     {56, "Error closing chunk"},  {90, "Error closing chunk"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.budget);
    ClearPendingError();
    file_ = RiffFile::Open(path_, OpenMode::kCreate);
    ASSERT_TRUE(file_);
    files_.writeBudget = c.budget;
    EXPECT_EQ(WriteInfoListStamped(*file_, "NAME"), 0);
    EXPECT_STREQ(PendingError.text, c.message);
    EXPECT_EQ(PendingError.style, 16u);
    EXPECT_TRUE(file_->closed());
    EXPECT_EQ(file_->Write("x", 1), -1);
    EXPECT_FALSE(file_->Close());
    EXPECT_LE(ReadBytes(path_).size(), static_cast<size_t>(c.budget));
    files_.writeBudget = -1;
  }
}

}  // namespace
}  // namespace corvix
