#include "ui_logic/job_commands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/pending_error.h"
#include "jobs/conversion_list.h"
#include "jobs/convert_job.h"
#include "media/akai_records.h"
#include "support/export_fixture.h"

namespace corvix {
namespace {

using discbuilder::DiscSpec;
using discbuilder::VolumeSpec;
using testing::ExportTest;
using testing::Keygroup;
using testing::Sample;

TEST(ConversionFolder, OneTrailingBackslashGoes) {
  struct Row {
    const char* chosen;
    const char* want;
  };
  const Row rows[] = {
      {"C:\\", "C:"},
      {"C:\\Sounds\\", "C:\\Sounds"},
      {"C:\\Sounds", "C:\\Sounds"},
      {"\\\\server\\share\\\\", "\\\\server\\share\\"},
      {"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.chosen);
    EXPECT_EQ(FolderForConversion(row.chosen), row.want);
  }
}

TEST(FolderBrowser, OnlyFixedRemovableAndNetworkDrives) {
  // 0 unknown, 1 no root, 2 removable, 3 fixed, 4 network, 5 CD-ROM, 6 RAM disk
  const bool want[] = {false, false, true, true, true, false, false};
  for (unsigned type = 0; type < 7; ++type) {
    SCOPED_TRACE(type);
    EXPECT_EQ(IsPickableDriveType(type), want[type]);
  }
}

class JobCommandsTest : public ExportTest {
 protected:
  void TearDown() override {
    FreeConversionList();
    ExportTest::TearDown();
  }

  // Partition 0: "STRINGS" (type 1) with PIANO and ORGAN, "BRASS" (type 3)
  // with HORNS; the directory of STRINGS also names BROKEN, a program whose
  // start block lies outside the partition.
  void UseDisc() {
    DiscSpec discSpec;
    discSpec.partitions.resize(1);
    VolumeSpec strings;
    strings.name = "STRINGS";
    strings.samples = {Sample("PIANO C3"), Sample("ORGAN C3")};
    strings.programs = {testing::Program("PIANO", {Keygroup(36, 96, {"PIANO C3"})}),
                        testing::Program("ORGAN", {Keygroup(24, 60, {"ORGAN C3"}), Keygroup(61, 96, {"ORGAN C3"})})};
    std::array<uint8_t, 24> broken{};
    const auto name = discbuilder::EncodeAkaiName("BROKEN");
    std::copy(name.begin(), name.end(), broken.begin());
    broken[16] = 'p';
    broken[20] = 0xFF;
    broken[21] = 0x7F;
    strings.extraEntries = {broken};
    VolumeSpec brass;
    brass.name = "BRASS";
    brass.type = 3;
    brass.samples = {Sample("HORN")};
    brass.programs = {testing::Program("HORNS", {Keygroup(40, 80, {"HORN"})})};
    discSpec.partitions[0].volumes = {strings, brass};
    UseDisc(discSpec);
    ASSERT_TRUE(ReadPartitionInfo());  // as the browser has done before any command
  }
  using ExportTest::UseDisc;

  static BrowserItem Program(uint8_t volume, uint8_t program) {
    BrowserItem record = MakeBrowserItem(kKindProgram, 0, volume, program);
    record.summary.keygroupCount = static_cast<uint8_t>(program + 1);
    return record;
  }
};

// The list names the programs in row order; the job reads them, each once,
// with its stride and summary.
TEST_F(JobCommandsTest, ItemsFollowTheRowsAndAreReadWithTheirVolumes) {
  UseDisc();
  const BrowserItem horns = Program(1, 0), organ = Program(0, 1);
  ImportWavesMode = 1;
  ASSERT_EQ(BuildConversionItems(dir_.path() + "\\", {&horns, &organ}), 1);
  EXPECT_EQ(ImportWavesMode, 0);
  EXPECT_EQ(std::string(WaveFolder), dir_.path());
  ASSERT_NE(ConversionList, nullptr);
  ConversionItem* first = ConversionList.get();
  ConversionItem* second = first->next.get();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->next, nullptr);
  EXPECT_EQ(first->program, nullptr);  // read by the job

  JobDisc disc;
  ASSERT_TRUE(disc.Open());
  disc.ReadDirectories({{0, 1}, {0, 0}});
  EXPECT_EQ(ReadConversionItems(disc, {first, second}), 0u);
  EXPECT_EQ(first->keygroupStride, 192u);  // a type 3 volume
  ASSERT_NE(first->summary, nullptr);
  EXPECT_EQ(first->summary->keygroupCount, 1);
  EXPECT_EQ(second->keygroupStride, 150u);
  EXPECT_EQ(second->summary->keygroupCount, 2);
  char name[13] = {};
  DecodeAkaiName(first->program->bytes + 3, name, 12);
  EXPECT_STREQ(name, "HORNS       ");
  DecodeAkaiName(second->program->bytes + 3, name, 12);
  EXPECT_STREQ(name, "ORGAN       ");
  EXPECT_TRUE(recorder_.messages.empty());
}

TEST_F(JobCommandsTest, AnUnreadableProgramIsReportedAndLeftOut) {
  UseDisc();
  // BROKEN is the third program of STRINGS; 7 is not a program at all.
  const BrowserItem piano = Program(0, 0), broken = Program(0, 2), missing = Program(0, 7),
                    organ = Program(0, 1);
  ASSERT_EQ(BuildConversionItems(dir_.path(), {&piano, &broken, &missing, &organ}), 1);
  ASSERT_EQ(ConvertPrograms(ConversionList.get(), kConvertMode), 1) << PendingError.text;
  ASSERT_EQ(recorder_.messages.size(), 3u);  // and the notes of what didn't fit
  EXPECT_EQ(recorder_.messages[0].text, "Can't read program BROKEN");
  EXPECT_EQ(recorder_.messages[1].text, "Program not found on the disc");
  for (int i : {0, 1}) EXPECT_EQ(recorder_.messages[i].caption, "Error");
  EXPECT_EQ(testing::ListFolder(dir_.path()), (std::vector<std::string>{"ORGAN.tes", "PIANO.tes"}));
  EXPECT_EQ(ConversionReport.leftOut, 2u);

  // "Import Waves" leaves it out the same way: no folder made from zeros.
  recorder_.messages.clear();
  EXPECT_EQ(ImportWavesForRecords({&piano, &broken, &organ}), 0);
  ASSERT_EQ(recorder_.messages.size(), 1u);
  EXPECT_EQ(recorder_.messages[0].text, "Can't read program BROKEN");
  EXPECT_EQ(recorder_.messages[0].caption, "Error");
  EXPECT_EQ(testing::ListFolder(dir_.path()), (std::vector<std::string>{"ORGAN", "ORGAN.tes", "PIANO", "PIANO.tes"}));
}

TEST_F(JobCommandsTest, NoRowsGiveAnEmptyList) {
  UseDisc();
  ASSERT_EQ(BuildConversionItems("C:\\", {}), 1);
  EXPECT_EQ(ConversionList, nullptr);
  EXPECT_STREQ(WaveFolder, "C:");
}

TEST_F(JobCommandsTest, ImportWavesGivesEachProgramItsFolderAndStopsAtAFailure) {
  UseDisc();
  const BrowserItem piano = Program(0, 0), organ = Program(0, 1), horns = Program(1, 0);
  ASSERT_EQ(ImportWavesForRecords({&piano, &organ}), 1);
  EXPECT_EQ(ImportWavesMode, 1);
  EXPECT_TRUE(std::filesystem::exists(dir_.path() + "/PIANO/PIANO C3.wav"));
  EXPECT_TRUE(std::filesystem::exists(dir_.path() + "/ORGAN/ORGAN C3.wav"));
  EXPECT_EQ(WaveTable.count, 1u);  // emptied before each program

  files_.failMakeFolder = true;
  EXPECT_EQ(ImportWavesForRecords({&horns, &piano}), 0);
  ASSERT_EQ(recorder_.messages.size(), 1u);
  EXPECT_EQ(recorder_.messages[0].text, "Can't create directory");
  EXPECT_EQ(recorder_.messages[0].caption, "Veltrex Corvix");
  EXPECT_EQ(recorder_.messages[0].style, kMbOk | kStyleError);
}

}  // namespace
}  // namespace corvix
