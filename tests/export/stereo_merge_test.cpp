#include "export/stereo_merge.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/export_fixture.h"

namespace corvix {
namespace {

using testing::ListFolder;
using testing::ReadBytes;
using testing::ReadWithSndfile;
using testing::WriteBytes;

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

}  // namespace
}  // namespace corvix
