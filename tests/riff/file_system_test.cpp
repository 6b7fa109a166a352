#include "riff/file_system.h"

#include <gtest/gtest.h>

#include "support/wav_files.h"

namespace corvix {
namespace {

using testing::ListFolder;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TEST(StoredNameTest, NamesStayAsGivenWhereTheFileSystemKeepsThem) {
  const NameRules posix{'/', false, false};
  const NameRules windows{'\\', true, true};
  struct Case {
    const char* name;
    const char* posix;
    const char* windows;
  };
  const Case cases[] = {
      {"VIOLINS     ", "VIOLINS     ", "VIOLINS"},
      {"A.B.        ", "A.B.        ", "A.B"},
      // Nothing may leave the folder or vanish.
      {"            ", "            ", "_"},
      {"..          ", "..          ", "_"},
      {"..", "_..", "_"},
      {".", "_.", "_"},
      {"", "_", "_"},
      {"A/B\\C", "A_B_C", "A_B_C"},
      // Devices exist only on Windows, whatever follows the name.
      {"CON         ", "CON         ", "_CON"},
      {"con.wav", "con.wav", "_con.wav"},
      {"COM1", "COM1", "_COM1"},
      {"COM0", "COM0", "COM0"},
      {"A:B*?", "A:B*?", "A_B__"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(StoredName(c.name, posix), c.posix);
    EXPECT_EQ(StoredName(c.name, windows), c.windows);
  }
}

TEST(StoredNameTest, JoinPathAddsOneSeparator) {
  EXPECT_EQ(JoinPath("/tmp/out", "A"), "/tmp/out/A");
  EXPECT_EQ(JoinPath("/tmp/out/", "A"), "/tmp/out/A");
  EXPECT_EQ(JoinPath("", "A"), "/A");  // a root whose separator was taken off
  EXPECT_EQ(JoinPath("/tmp", ".."), "/tmp/_..");
}

TEST(PlatformFileSystemTest, TempFilesFoldersMovesAndDeletes) {
  TempDir dir;
  FileSystem& fs = PlatformFileSystem();
  const std::string a = fs.CreateTempFile(dir.path(), "NEW");
  const std::string b = fs.CreateTempFile(dir.path(), "NEW");
  ASSERT_FALSE(a.empty());
  ASSERT_NE(a, b);
  EXPECT_TRUE(fs.FileExists(a));
  EXPECT_TRUE(ReadBytes(a).empty());
  EXPECT_EQ(a.rfind(dir.path() + "/NEW", 0), 0u);
  EXPECT_TRUE(fs.CreateTempFile(dir / "missing", "NEW").empty());

  // A move replaces a file of the target's name.
  WriteBytes(a, {1, 2, 3});
  WriteBytes(dir / "target", {9});
  ASSERT_TRUE(fs.Move(a, dir / "target"));
  EXPECT_EQ(ReadBytes(dir / "target"), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_FALSE(fs.FileExists(a));

  // A folder whose name ends in spaces.
  const std::string folder = dir / "VIOLINS     ";
  EXPECT_FALSE(fs.FolderExists(folder));
  ASSERT_TRUE(fs.MakeFolder(folder));
  EXPECT_TRUE(fs.FolderExists(folder));
  EXPECT_FALSE(fs.FileExists(folder));
  EXPECT_FALSE(fs.MakeFolder(folder));

  EXPECT_TRUE(fs.Delete(b));
  EXPECT_TRUE(fs.Delete(b));  // nothing left to delete is no failure
  EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"VIOLINS     ", "target"}));
}

}  // namespace
}  // namespace corvix
