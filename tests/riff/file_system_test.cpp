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

// Reads and writes start where the last Seek put them and move on by what
// they moved: patching a size field and going on, writing past the end (the
// gap reads as zeros), reading the end of a file; a read that fails is told
// apart from the end. Temporary files get names of their own; a move replaces
// a file of the target's name; a folder is made once; deleting what is gone
// is no failure.
TEST(PlatformFileSystemTest, FilesAndFolders) {
  testing::TempDir dir;
  FileSystem& fs = PlatformFileSystem();
  auto file = fs.Open(dir / "file", OpenMode::kCreate);
  ASSERT_NE(file, nullptr);
  const uint8_t bytes[] = {1, 2, 3, 4, 5, 6, 7, 8, 0xAA, 0xBB};
  ASSERT_EQ(file->Write(bytes, 8), 8);
  ASSERT_TRUE(file->Seek(2));
  ASSERT_EQ(file->Write(bytes + 8, 2), 2);
  ASSERT_EQ(file->Write(bytes + 8, 1), 1);
  ASSERT_TRUE(file->Seek(10));
  ASSERT_EQ(file->Write(bytes + 9, 1), 1);
  uint8_t got[16] = {};
  ASSERT_TRUE(file->Seek(6));
  ASSERT_EQ(file->Read(got, sizeof got), 5);
  EXPECT_EQ(Bytes(got, got + 5), (Bytes{7, 8, 0, 0, 0xBB}));
  EXPECT_EQ(file->Read(got, sizeof got), 0);
  ASSERT_TRUE(file->Close());
  EXPECT_EQ(fs.Open(dir.path(), OpenMode::kRead)->Read(got, 1), -1);

  const std::string a = fs.CreateTempFile(dir.path(), "NEW"), b = fs.CreateTempFile(dir.path(), "NEW");
  EXPECT_NE(a, b);
  EXPECT_EQ(a.rfind(dir / "NEW", 0), 0u);
  EXPECT_TRUE(fs.CreateTempFile(dir / "missing", "NEW").empty());
  ASSERT_TRUE(fs.Move(dir / "file", a));
  EXPECT_EQ(testing::ReadBytes(a), (Bytes{1, 2, 0xAA, 0xBB, 0xAA, 6, 7, 8, 0, 0, 0xBB}));
  ASSERT_TRUE(fs.MakeFolder(dir / "F"));
  EXPECT_FALSE(fs.MakeFolder(dir / "F"));
  EXPECT_TRUE(fs.FolderExists(dir / "F") && !fs.FileExists(dir / "F") && fs.FileExists(a) && !fs.FolderExists(a));
  EXPECT_TRUE(fs.Delete(a) && fs.Delete(a) && fs.Delete(b));
  EXPECT_EQ(testing::ListFolder(dir.path()), std::vector<std::string>{"F"});
}

}  // namespace
}  // namespace corvix
