#include "export/stereo_merge.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "common/pending_error.h"
#include "support/export_fixture.h"

namespace corvix {
namespace {

using testing::ListFolder;
using testing::ReadBytes;
using testing::ReadWithSndfile;
using testing::WriteBytes;

TEST(StereoNameTest, TheLaterOfTheLastLAndRMarksThePair) {
  const std::pair<const char*, const char*> names[] = {
      {"PIANO R     ", "PIANO LR"}, {"STRINGS R 1 ", "STRINGS LR"}, {"ABCDEFGHIJKL", "ABCDEFGHIJKLR"},
      {"KICK        ", "KICK        "}, {"", ""}};
  for (const auto& [name, stereo] : names) {
    char text[kWaveNameBytes] = {};
    std::strcpy(text, name);
    EXPECT_STREQ(MakeStereoName(text), stereo) << name;
  }
  // Pairs are told by the letter's position only.
  const std::tuple<const char*, const char*, int> pairs[] = {
      {"STRINGS R   ", "STRINGS L   ", 1}, {"A L         ", "B R         ", 1}, {"PIANO L     ", "PIANO L     ", 0},
      {"KICK        ", "KICK        ", 0}, {"PIANO L", "PIANO", 0}};
  for (const auto& [a, b, pair] : pairs) EXPECT_EQ(IsStereoPair(a, b), pair) << a << " / " << b;
}

class StereoMergeTest : public testing::ExportTest {
 protected:
  void SetUp() override {
    ExportTest::SetUp();
    ImportWavesMode = 1;
  }

  // A mono WAV file as the writer makes it: a ramp of words from `from`.
  void Put(const std::string& name, size_t words, int16_t from, int16_t step, uint32_t unity = 60) {
    using namespace testing;
    std::vector<int16_t> pcm(words);
    for (size_t i = 0; i < words; ++i) pcm[i] = static_cast<int16_t>(from + step * static_cast<int>(i % 1000));
    WriteBytes(dir_ / FileName(name, ".wav"),
               RiffBytes("WAVE", {ChunkBytes("fmt ", Cat({Le16({1, 1}), Le32({44100, 88200}), Le16({2, 16})})),
                                  ChunkBytes("LIST", Cat({{'I', 'N', 'F', 'O'}, ChunkBytes("INAM", {name.begin(), name.end()})})),
                                  ChunkBytes("data", PcmBytes(pcm)),
                                  ChunkBytes("smpl", Le32({0, 0, 22675, unity, 0, 0, 0, 1, 0, 0, 0, 1, 2, 0, 0}))}));
  }
};

// The merged file follows the left file's length, header and smpl; a short
// right side is padded with silence, and the right file's smpl chunk after
// its sound is never read as sound. 70000 words take several passes.
TEST_F(StereoMergeTest, APairBecomesOneTwoChannelFile) {
  const std::pair<size_t, size_t> lengths[] = {{70000, 70000}, {15000, 9000}, {9000, 15000}, {10240, 10239}, {1, 0}};
  for (const auto& [leftWords, rightWords] : lengths) {
    SCOPED_TRACE(::testing::Message() << leftWords << " / " << rightWords);
    WriteBytes(dir_ / "PIANO LR.wav", {1, 2, 3});  // an older merged file gives way
    Put("PIANO L     ", leftWords, -500, 3, 60);
    Put("PIANO R     ", rightWords, 700, -5, 0x7777);
    ASSERT_EQ(MergeStereoFiles("PIANO L     ", "PIANO R     "), 1);
    EXPECT_EQ(ListFolder(dir_.path()), std::vector<std::string>{"PIANO LR.wav"});
    testing::Chunk root;
    ASSERT_EQ(testing::WalkRiff(ReadBytes(dir_ / "PIANO LR.wav"), &root), "");
    EXPECT_EQ(testing::ChildIds(root), (std::vector<std::string>{"fmt ", "INFO", "data", "smpl"}));
    EXPECT_EQ(root.Find("fmt ")->data,
              testing::Cat({testing::Le16({1, 2}), testing::Le32({44100, 176400}), testing::Le16({4, 16})}));
    const auto& name = root.Find("INFO")->Find("INAM")->data;
    EXPECT_EQ(std::string(name.begin(), name.end()), "PIANO LR");
    EXPECT_EQ(testing::U32At(root.Find("smpl")->data, 12), 60u);
    const auto sound = ReadWithSndfile(dir_ / "PIANO LR.wav");
    ASSERT_EQ(sound.frames, static_cast<int64_t>(leftWords));
    for (size_t i = 0; i < leftWords; ++i) {
      ASSERT_EQ(sound.samples[2 * i], static_cast<int16_t>(-500 + 3 * static_cast<int>(i % 1000))) << i;
      ASSERT_EQ(sound.samples[2 * i + 1], i < rightWords ? static_cast<int16_t>(700 - 5 * static_cast<int>(i % 1000)) : 0) << i;
    }
    EXPECT_EQ(sound.loopStart, 1u);
    std::filesystem::remove(dir_ / "PIANO LR.wav");
  }
}

// Every failure keeps both mono files and leaves no temporary file. (A full
// disk at every write of a merge, a failed move: fault_catalogue_test.cpp,
// file_system_test.cpp.)
TEST_F(StereoMergeTest, FailuresKeepTheMonoFilesAndNoTemporaryFile) {
  const std::string leftPath = dir_ / "P L.wav", rightPath = dir_ / "P R.wav";
  Put("P L         ", 20000, 0, 1);
  Put("P R         ", 20000, 0, 1);
  const auto goodLeft = ReadBytes(leftPath), goodRight = ReadBytes(rightPath);
  auto noData = goodLeft;
  std::memcpy(noData.data() + 12 + 24 + 32, "dat ", 4);
  // Left, right (none for no bytes) and the message, cut to the buffer.
  const std::tuple<std::vector<uint8_t>, std::vector<uint8_t>, std::string> cases[] = {
      {goodLeft, std::vector<uint8_t>(100, 'x'), rightPath + "  is not a vaild .WAV file"},
      {{}, goodRight, "Can't open file  " + leftPath},
      {noData, goodRight, "Can't find data chunk"},
  };
  for (const auto& [left, right, message] : cases) {
    SCOPED_TRACE(message);
    ClearPendingError();
    if (!left.empty()) WriteBytes(leftPath, left);
    if (!right.empty()) WriteBytes(rightPath, right);
    EXPECT_EQ(MergeStereoFiles("P L         ", "P R         "), 0);
    EXPECT_EQ(std::tuple(std::string(PendingError.text), PendingError.style), std::tuple(message.substr(0, 79), kStyleError));
    // Both files as they were (empty for one that is not there), nothing else.
    EXPECT_EQ(ListFolder(dir_.path()).size(), !left.empty() + !right.empty());
    EXPECT_EQ(std::pair(ReadBytes(leftPath), ReadBytes(rightPath)), std::pair(left, right));
    std::filesystem::remove(leftPath);
    std::filesystem::remove(rightPath);
  }
}

}  // namespace
}  // namespace corvix
