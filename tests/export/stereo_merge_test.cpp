#include "export/stereo_merge.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>

#include "common/pending_error.h"
#include "support/export_fixture.h"

namespace corvix {
namespace {

using testing::Chunk;
using testing::ExportTest;
using testing::ListFolder;
using testing::ReadBytes;
using testing::ReadWithSndfile;
using testing::U16At;
using testing::U32At;
using testing::WriteBytes;

TEST(StereoNameTest, TheLaterOfTheLastLAndRBecomesLR) {
  struct Case {
    const char* name;
    const char* stereo;
  };
  const Case cases[] = {
      {"PIANO R     ", "PIANO LR"}, {"STRINGS R 1 ", "STRINGS LR"}, {"ABCDEFGHIJKL", "ABCDEFGHIJKLR"},
      {"KICK        ", "KICK        "}, {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char name[kWaveNameBytes] = {};
    std::strcpy(name, c.name);
    EXPECT_STREQ(MakeStereoName(name), c.stereo);
  }
}

TEST(StereoNameTest, PairsAreToldByTheLetterPositionOnly) {
  struct Case {
    const char* a;
    const char* b;
    int pair;
  };
  const Case cases[] = {
      {"STRINGS R   ", "STRINGS L   ", 1}, {"A L         ", "B R         ", 1},
      {"PIANO L     ", "PIANO L     ", 0}, {"KICK        ", "KICK        ", 0}, {"PIANO L", "PIANO", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.a << " / " << c.b);
    EXPECT_EQ(IsStereoPair(c.a, c.b), c.pair);
  }
}

class StereoMergeTest : public ExportTest {
 protected:
  void SetUp() override {
    ExportTest::SetUp();
    ImportWavesMode = 1;
  }

  // A mono WAV file as the writer makes it, assembled here.
  static std::vector<uint8_t> MonoWav(const std::string& name, const std::vector<int16_t>& pcm,
                                      uint32_t unity, std::optional<uint32_t> group = {}) {
    using namespace testing;
    return RiffBytes("WAVE", {ChunkBytes("fmt ", Cat({Le16({1, 1}), Le32({44100, 88200}), Le16({2, 16})})),
                              ChunkBytes("LIST", Cat({{'I', 'N', 'F', 'O'}, ChunkBytes("INAM", {name.begin(), name.end()})})),
                              ChunkBytes("data", PcmBytes(pcm)),
                              ChunkBytes("smpl", Le32({0, 0, 22675, unity, 0, 0, 0, 1, 0, 0, 0, 1, 2, 0, 0})),
                              group ? ChunkBytes("3gix", Le32({*group})) : std::vector<uint8_t>{}});
  }

  static std::vector<int16_t> Ramp(size_t words, int16_t from, int16_t step) {
    std::vector<int16_t> pcm(words);
    for (size_t i = 0; i < words; ++i) pcm[i] = static_cast<int16_t>(from + step * static_cast<int>(i % 1000));
    return pcm;
  }

  void Put(const std::string& name, const std::vector<uint8_t>& bytes) { WriteBytes(dir_ / FileName(name, ".wav"), bytes); }

  std::string Message(const std::string& text) { return text.substr(0, 79); }
};

TEST_F(StereoMergeTest, APairBecomesOneTwoChannelFile) {
  const auto left = Ramp(70000, -500, 3);
  const auto right = Ramp(70000, 700, -5);
  Put("PIANO L     ", MonoWav("PIANO L     ", left, 60));
  Put("PIANO R     ", MonoWav("PIANO R     ", right, 61));
  ASSERT_EQ(MergeStereoFiles("PIANO L     ", "PIANO R     "), 1);

  EXPECT_EQ(ListFolder(dir_.path()), std::vector<std::string>{"PIANO LR.wav"});
  const auto b = ReadBytes(dir_ / "PIANO LR.wav");
  Chunk root;
  ASSERT_EQ(testing::WalkRiff(b, &root), "");
  ASSERT_EQ(root.children.size(), 4u);  // fmt, INFO, data, smpl
  EXPECT_EQ(root.children[0].data, testing::Cat({testing::Le16({1, 2}), testing::Le32({44100, 176400}), testing::Le16({4, 16})}));
  const Chunk* info = root.Find("INFO");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(std::string(info->children[0].data.begin(), info->children[0].data.end()), "PIANO LR");
  // 140000 bytes a side: passes of 131072 and 8928; 280000 bytes out.
  const auto& data = root.Find("data")->data;
  ASSERT_EQ(data.size(), 280000u);
  for (size_t i : {size_t{0}, size_t{65535}, size_t{65536}, size_t{69999}}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(static_cast<int16_t>(U16At(data, 4 * i)), left[i]);
    EXPECT_EQ(static_cast<int16_t>(U16At(data, 4 * i + 2)), right[i]);
  }
  EXPECT_EQ(U32At(root.Find("smpl")->data, 12), 60u);  // the left file's

  const auto sound = ReadWithSndfile(dir_ / "PIANO LR.wav");
  EXPECT_EQ(sound.channels, 2);
  EXPECT_EQ(sound.frames, 70000);
  EXPECT_EQ(sound.loopStart, 1u);
}

TEST_F(StereoMergeTest, ConversionsCarryTheGroupIndexAndNeedIt) {
  ImportWavesMode = 0;
  Put("A L         ", MonoWav("A L         ", Ramp(10, 0, 1), 60, 7));
  Put("A R         ", MonoWav("A R         ", Ramp(10, 0, 2), 60, 9));
  ASSERT_EQ(MergeStereoFiles("A L         ", "A R         "), 1);
  Chunk root;
  ASSERT_EQ(testing::WalkRiff(ReadBytes(dir_ / "A LR.wav"), &root), "");
  ASSERT_EQ(root.children.size(), 5u);
  EXPECT_EQ(root.children[4].id, "3gix");
  EXPECT_EQ(U32At(root.children[4].data, 0), 7u);

  // A left file without its group index.
  Put("B L         ", MonoWav("B L         ", Ramp(10, 0, 1), 60));
  Put("B R         ", MonoWav("B R         ", Ramp(10, 0, 2), 60, 0));
  EXPECT_EQ(MergeStereoFiles("B L         ", "B R         "), 0);
  EXPECT_STREQ(PendingError.text, "Write error");
  EXPECT_EQ(ListFolder(dir_.path()),
            (std::vector<std::string>{"A LR.wav", "B L.wav", "B R.wav"}));
}

TEST_F(StereoMergeTest, FilesOfDifferentLengthsFollowTheLeftAndPadWithSilence) {
  struct Case {
    size_t leftWords, rightWords;
  };
  for (const Case c : {Case{15000, 9000}, Case{9000, 15000}, Case{10240, 10239}, Case{1, 0}}) {
    SCOPED_TRACE(::testing::Message() << c.leftWords << " / " << c.rightWords);
    const auto left = Ramp(c.leftWords, 100, 1);
    const auto right = Ramp(c.rightWords, -100, -1);
    Put("X L         ", MonoWav("X L         ", left, 60));
    // The right file's smpl chunk follows its sound: never read as sound.
    Put("X R         ", MonoWav("X R         ", right, 0x7777));
    ASSERT_EQ(MergeStereoFiles("X L         ", "X R         "), 1);
    const auto sound = ReadWithSndfile(dir_ / "X LR.wav");
    ASSERT_TRUE(sound.opened);
    ASSERT_EQ(sound.frames, static_cast<int64_t>(c.leftWords));
    for (size_t i = 0; i < c.leftWords; ++i) {
      ASSERT_EQ(sound.samples[2 * i], left[i]) << i;
      ASSERT_EQ(sound.samples[2 * i + 1], i < c.rightWords ? right[i] : 0) << i;
    }
  }
}

TEST_F(StereoMergeTest, AnOlderMergedFileIsReplacedAndAMonoFileOfTheMergedNameToo) {
  Put("PIANO LR", {1, 2, 3});
  Put("PIANO L     ", MonoWav("PIANO L     ", Ramp(10, 1, 1), 60));
  Put("PIANO R     ", MonoWav("PIANO R     ", Ramp(10, 2, 1), 60));
  ASSERT_EQ(MergeStereoFiles("PIANO L     ", "PIANO R     "), 1);
  EXPECT_EQ(ReadWithSndfile(dir_ / "PIANO LR.wav").channels, 2);

  // The right name is the merged name of the left: the result takes its place.
  Put("ABCDEFGHIJR ", MonoWav("ABCDEFGHIJR ", Ramp(10, 5, 1), 60));
  Put("ABCDEFGHIJLR", MonoWav("ABCDEFGHIJLR", Ramp(10, 6, 1), 60));
  ASSERT_EQ(IsStereoPair("ABCDEFGHIJR ", "ABCDEFGHIJLR"), 1);
  ASSERT_EQ(MergeStereoFiles("ABCDEFGHIJR ", "ABCDEFGHIJLR"), 1);
  EXPECT_EQ(ListFolder(dir_.path()), (std::vector<std::string>{"ABCDEFGHIJLR.wav", "PIANO LR.wav"}));
  const auto sound = ReadWithSndfile(dir_ / "ABCDEFGHIJLR.wav");
  EXPECT_EQ(sound.channels, 2);
  EXPECT_EQ(sound.samples[0], 5);
  EXPECT_EQ(sound.samples[1], 6);
}

// Every failure keeps both mono files and leaves no temporary file.
TEST_F(StereoMergeTest, FailuresKeepTheMonoFilesAndNoTemporaryFile) {
  const std::string leftPath = dir_ / "P L.wav";
  const std::string rightPath = dir_ / "P R.wav";
  const auto goodLeft = MonoWav("P L         ", Ramp(20000, 0, 1), 60);
  const auto goodRight = MonoWav("P R         ", Ramp(20000, 0, 1), 60);
  auto noFormat = goodLeft;
  std::memcpy(noFormat.data() + 12, "fmx ", 4);
  auto noData = goodLeft;
  std::memcpy(noData.data() + 12 + 24 + 32, "dat ", 4);
  std::vector<uint8_t> notWav(100, 'x');
  // Whichever step meets the full disk, the message says what happened.
  const std::string kDiskFull = "Can't write to file (disk full?)";

  struct Case {
    const char* what;
    std::vector<uint8_t> left, right;
    std::string message;
    std::function<void(testing::FaultyFileSystem&)> fault;
  };
  const std::vector<Case> cases = {
      {"no temporary file", goodLeft, goodRight, "Can't create temp file (disk full?)",
       [](auto& f) { f.failTempFile = true; }},
      {"left missing", {}, goodRight, Message("Can't open file  " + leftPath), nullptr},
      {"right missing", goodLeft, {}, Message("Can't open file  " + rightPath), nullptr},
      {"left not a WAV file", notWav, goodRight, Message(leftPath + "  is not a vaild .WAV file"), nullptr},
      {"right not a WAV file", goodLeft, notWav, Message(rightPath + "  is not a vaild .WAV file"), nullptr},
      {"no fmt chunk", noFormat, goodRight, Message("Can't find the fmt chunk in  " + leftPath), nullptr},
      {"no data chunk", noData, goodRight, "Can't find data chunk", nullptr},
      {"full disk at the form", goodLeft, goodRight, kDiskFull, [](auto& f) { f.writeBudget = 0; }},
      {"full disk in the sound", goodLeft, goodRight, kDiskFull, [](auto& f) { f.writeBudget = 50000; }},
      {"full disk at smpl", goodLeft, goodRight, kDiskFull, [](auto& f) { f.writeBudget = 80100; }},
      // Out: RIFF 12, fmt 24 + 4, INFO 12 + 12 + 4 + 4, data 8 + 80000 + 4,
      // smpl 68 + 4 (80156), then the RIFF size.
      {"full disk at the final size", goodLeft, goodRight, kDiskFull,
       [](auto& f) { f.writeBudget = 80158; }},
      {"the merged file can't take its name", goodLeft, goodRight, "Can't move temp file",
       [](auto& f) { f.failMove = true; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearPendingError();
    files_ = {};
    if (!c.left.empty()) WriteBytes(leftPath, c.left);
    if (!c.right.empty()) WriteBytes(rightPath, c.right);
    if (c.fault) c.fault(files_);
    EXPECT_EQ(MergeStereoFiles("P L         ", "P R         "), 0);
    EXPECT_STREQ(PendingError.text, c.message.c_str());
    EXPECT_EQ(PendingError.style, 16u);
    std::vector<std::string> expected;
    if (!c.left.empty()) expected.push_back("P L.wav");
    if (!c.right.empty()) expected.push_back("P R.wav");
    EXPECT_EQ(ListFolder(dir_.path()), expected);
    if (!c.left.empty()) {
      EXPECT_EQ(ReadBytes(leftPath), c.left);
    }
    if (!c.right.empty()) {
      EXPECT_EQ(ReadBytes(rightPath), c.right);
    }
    PlatformFileSystem().Delete(leftPath);
    PlatformFileSystem().Delete(rightPath);
  }
  files_ = {};
  WriteBytes(leftPath, goodLeft);
  WriteBytes(rightPath, goodRight);
  EXPECT_EQ(MergeStereoFiles("P L         ", "P R         "), 1);
}

TEST_F(StereoMergeTest, AlreadyExportedLooksAtRowsAndTheirStereoNames) {
  std::strcpy(WaveTable.rows[0].name, "PIANO LR");
  std::strcpy(WaveTable.rows[1].name, "KICK        ");
  std::strcpy(WaveTable.rows[2].name, "SNARE       ");  // beyond the count
  WaveTable.count = 2;
  EXPECT_EQ(IsAlreadyExported("PIANO R     "), 1);
  EXPECT_EQ(IsAlreadyExported("PIANO L     "), 1);
  EXPECT_EQ(IsAlreadyExported("KICK        "), 1);
  EXPECT_EQ(IsAlreadyExported("KICK"), 0);
  EXPECT_EQ(IsAlreadyExported("SNARE       "), 0);
  EXPECT_EQ(IsAlreadyExported("PIANO       "), 0);
  WaveTable.count = 0xFFFFFFFF;  // never read past the table
  EXPECT_EQ(IsAlreadyExported("NOWHERE     "), 0);
}

}  // namespace
}  // namespace corvix
