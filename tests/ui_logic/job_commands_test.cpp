#include "ui_logic/job_commands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "jobs/conversion_list.h"
#include "jobs/convert_job.h"
#include "support/export_fixture.h"

namespace corvix {
namespace {

using testing::Keygroup;
using testing::Program;
using testing::Sample;

TEST(JobCommandRules, FolderAndDrivesToChoose) {
  // One trailing backslash goes.
  EXPECT_EQ(FolderForConversion("C:\\"), "C:");
  EXPECT_EQ(FolderForConversion("C:\\Sounds"), "C:\\Sounds");
  EXPECT_EQ(FolderForConversion("\\\\server\\share\\\\"), "\\\\server\\share\\");
  EXPECT_EQ(FolderForConversion(""), "");
  // Only removable (2), fixed (3) and network (4) drives.
  for (unsigned type = 0; type < 7; ++type) EXPECT_EQ(IsPickableDriveType(type), type >= 2 && type <= 4) << type;
}

// Partition 0: "STRINGS" (type 1) with PIANO and ORGAN, "BRASS" (type 3)
// with HORNS; the directory of STRINGS also names BROKEN, a program whose
// start block lies outside the partition.
class JobCommandsTest : public testing::ExportTest {
 protected:
  void SetUp() override {
    ExportTest::SetUp();
    std::array<uint8_t, 24> broken{};
    const auto name = discbuilder::EncodeAkaiName("BROKEN");
    std::copy(name.begin(), name.end(), broken.begin());
    broken[16] = 'p';
    broken[20] = 0xFF;
    broken[21] = 0x7F;
    auto strings = testing::Volume("STRINGS",
                                   {Program("PIANO", {Keygroup(36, 96, {"PIANO C3"})}),
                                    Program("ORGAN", {Keygroup(24, 60, {"ORGAN C3"}), Keygroup(61, 96, {"ORGAN C3"})})},
                                   {Sample("PIANO C3"), Sample("ORGAN C3")});
    strings.extraEntries = {broken};
    auto brass = testing::Volume("BRASS", {Program("HORNS", {Keygroup(40, 80, {"HORN"})})}, {Sample("HORN")});
    brass.type = 3;
    UseVolumes({strings, brass});  // as the browser has read it before any command
  }
  void TearDown() override {
    FreeConversionList();
    ExportTest::TearDown();
  }

  static BrowserItem Row(uint8_t volume, uint8_t program) { return MakeBrowserItem(kKindProgram, 0, volume, program); }
};

// The list names the programs in row order; the job reads them, each once,
// with its stride and summary.
TEST_F(JobCommandsTest, ItemsFollowTheRowsAndAreReadWithTheirVolumes) {
  const BrowserItem horns = Row(1, 0), organ = Row(0, 1);
  ImportWavesMode = 1;
  ASSERT_EQ(BuildConversionItems(dir_.path() + "\\", {&horns, &organ}), 1);
  EXPECT_EQ(ImportWavesMode, 0);
  EXPECT_EQ(std::string(WaveFolder), dir_.path());
  ConversionItem* first = ConversionList.get();
  ASSERT_NE(first->next, nullptr);
  ConversionItem* second = first->next.get();
  EXPECT_EQ(second->next, nullptr);
  EXPECT_EQ(first->program, nullptr);  // read by the job
  JobDisc disc;
  ASSERT_TRUE(disc.Open());
  disc.ReadDirectories({{0, 1}, {0, 0}});
  EXPECT_EQ(ReadConversionItems(disc, {first, second}), 0u);
  EXPECT_EQ(std::tuple(first->keygroupStride, first->summary->keygroupCount), std::tuple(192u, 1));  // type 3
  EXPECT_EQ(std::tuple(second->keygroupStride, second->summary->keygroupCount), std::tuple(150u, 2));
  EXPECT_TRUE(recorder_.messages.empty());

  ASSERT_EQ(BuildConversionItems("C:\\", {}), 1);  // no rows: an empty list
  EXPECT_EQ(ConversionList, nullptr);
  EXPECT_STREQ(WaveFolder, "C:");
}

// A program that can't be read is named and left out, the others are done;
// "Import Waves" makes no folder from zeros for it. (Its other failures:
// fault_catalogue_test.cpp.)
TEST_F(JobCommandsTest, AnUnreadableProgramIsReportedAndLeftOut) {
  // BROKEN is the third program of STRINGS; 7 is not a program at all.
  const BrowserItem piano = Row(0, 0), broken = Row(0, 2), missing = Row(0, 7), organ = Row(0, 1);
  ASSERT_EQ(BuildConversionItems(dir_.path(), {&piano, &broken, &missing, &organ}), 1);
  ASSERT_EQ(ConvertPrograms(ConversionList.get(), kConvertMode), 1) << PendingError.text;
  ASSERT_EQ(recorder_.messages.size(), 3u);  // and the notes of what didn't fit
  EXPECT_EQ(std::tuple(recorder_.messages[0].text, recorder_.messages[0].caption),
            std::tuple("Can't read program BROKEN", "Error"));
  EXPECT_EQ(std::tuple(recorder_.messages[1].text, recorder_.messages[1].caption),
            std::tuple("Program not found on the disc", "Error"));
  EXPECT_EQ(testing::ListFolder(dir_.path()), (std::vector<std::string>{"ORGAN.tes", "PIANO.tes"}));
  EXPECT_EQ(ConversionReport.leftOut, 2u);

  recorder_.messages.clear();
  EXPECT_EQ(ImportWavesForRecords({&piano, &broken, &organ}), 0);
  ASSERT_EQ(recorder_.messages.size(), 1u);
  EXPECT_EQ(recorder_.messages[0].text, "Can't read program BROKEN");
  EXPECT_EQ(testing::ListFolder(dir_.path()), (std::vector<std::string>{"ORGAN", "ORGAN.tes", "PIANO", "PIANO.tes"}));
  EXPECT_TRUE(std::filesystem::exists(dir_ / "ORGAN/ORGAN C3.wav"));
  EXPECT_EQ(ImportWavesMode, 1);
}

}  // namespace
}  // namespace corvix
