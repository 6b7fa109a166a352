#include "riff/file_system.h"

#include <gtest/gtest.h>

#include <set>

#include "support/fault_file_system.h"
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

// Each name once, case not told apart, a busy one passed over; and n names
// of one base cost n looks, not n²/2 (2,048 programs of one name).
TEST(NameListTest, EachNameOnceInLinearSteps) {
  NameList names;
  const std::set<std::string> busy = {"KICK (3).wav"};
  int looks = 0;
  const auto isBusy = [&](const std::string& name) { return ++looks, busy.count(name) != 0; };
  const std::pair<const char*, const char*> cases[] = {
      {"KICK", "KICK.wav"}, {"kick", "kick (2).wav"}, {"KICK", "KICK (4).wav"}, {"KICK (5)", "KICK (5).wav"},
      {"KICK", "KICK (6).wav"}, {"SNARE", "SNARE.wav"}};
  for (const auto& [base, name] : cases) EXPECT_EQ(NameList::Name(base, ".wav", names.Take(base, ".wav", isBusy)), name);
  looks = 0;
  for (int i = 0; i < 2048; ++i) names.Take("PAD", ".tes", isBusy);
  EXPECT_EQ(NameList::Name("PAD", ".tes", names.Take("PAD", ".tes")), "PAD (2049).tes");
  EXPECT_EQ(looks, 2048);
}

// Putting a file in place: an earlier file of the name stands until the new
// one is whole and flushed, and the temporary goes whatever fails.
TEST(PlatformFileSystemTest, PutInPlaceReplacesOnlyWithAWholeFile) {
  testing::TempDir dir;
  testing::FaultyFileSystem files;
  SetFileSystem(&files);
  for (int fault : {1, 2, 0}) {  // the flush fails, the rename fails, none
    files.failSync = fault == 1, files.failMove = fault == 2;
    testing::WriteBytes(dir / "X.tes", {1});
    std::string temp;
    std::unique_ptr<PlatformFile> file = CreateTempFile(dir.path(), &temp);
    ASSERT_TRUE(file);
    EXPECT_TRUE(IsTempName(temp.substr(temp.rfind('/') + 1))) << temp;
    EXPECT_FALSE(files.Open(temp, OpenMode::kCreateNew)) << "a temporary is made exclusively";
    file->Write("\2\2", 2);
    EXPECT_EQ(PutInPlace(*file, temp, dir / "X.tes"), fault == 0);
    EXPECT_EQ(testing::ReadBytes(dir / "X.tes"), fault == 0 ? Bytes({2, 2}) : Bytes({1}));
    EXPECT_EQ(testing::ListFolder(dir.path()), std::vector<std::string>{"X.tes"});
  }
  SetFileSystem(nullptr);
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
