#include "riff/file_system.h"

#include <gtest/gtest.h>

#include "support/wav_files.h"

namespace corvix {
namespace {

using Bytes = std::vector<uint8_t>;

// One rule on every platform: a disc gives the same names everywhere.
TEST(StoredNameTest, PaddingGoesAndNothingLeavesTheFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"VIOLINS     ", "VIOLINS"}, {"A.B.        ", "A.B"}, {"DRUM KIT    ", "DRUM KIT"}, {"            ", "_"},
      {"..          ", "_"},       {".", "_"},             {"", "_"},                   {"A/B\\C", "A_B_C"},
      {"CON         ", "_CON"},    {"con.wav", "_con.wav"}, {"COM1", "_COM1"},          {"COM0", "COM0"},
      {"A:B*?", "A_B__"},          {"LPT9.X", "_LPT9.X"},
  };
  for (const auto& [name, stored] : cases) EXPECT_EQ(StoredName(name), stored) << name;
  EXPECT_EQ(FileName("KICK        ", ".wav"), "KICK.wav");
  EXPECT_EQ(FileName("CON", ".tes"), "_CON.tes");
  EXPECT_EQ(JoinPath("/tmp/out", "A  "), "/tmp/out/A");
  EXPECT_EQ(JoinPath("/tmp/out/", "A"), "/tmp/out/A");
  EXPECT_EQ(JoinPath("", "A"), "/A");  // a root whose separator was taken off
  EXPECT_EQ(JoinPath("/tmp", ".."), "/tmp/_");
}

// A read that fails is told apart from the end of a file.
TEST(PlatformFileSystemTest, AFailedReadIsNotTheEnd) {
  testing::TempDir dir;
  testing::WriteBytes(dir / "file", {1, 2, 3});
  uint8_t got[4] = {};
  EXPECT_EQ(PlatformFileSystem().Open(dir / "file", OpenMode::kRead)->Read(got, 4), 3);
  EXPECT_EQ(PlatformFileSystem().Open(dir.path(), OpenMode::kRead)->Read(got, 1), -1);  // a folder
}

}  // namespace
}  // namespace corvix
