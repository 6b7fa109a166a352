#include "ui_logic/job_commands.h"

#include <gtest/gtest.h>

#include "jobs/conversion_list.h"
#include "jobs/convert_job.h"
#include "support/export_fixture.h"

namespace corvix {
namespace {

using testing::Keygroup;
using testing::Program;

TEST(JobCommandRules, FolderAndDrivesToChoose) {
  // One trailing backslash goes.
  EXPECT_EQ(FolderForConversion("\\\\server\\share\\\\"), "\\\\server\\share\\");
  EXPECT_EQ(FolderForConversion(""), "");
  // Only removable (2), fixed (3) and network (4) drives.
  for (unsigned type = 0; type < 7; ++type) EXPECT_EQ(IsPickableDriveType(type), type >= 2 && type <= 4) << type;
}

// The volume STRINGS holds PIANO, ORGAN and BROKEN, a program whose start
// block lies outside the partition.
class JobCommandsTest : public testing::ExportTest {
 protected:
  void SetUp() override {
    ExportTest::SetUp();
    const auto disc = UseVolumes({testing::Volume(  // as the browser has read it before any command
        "STRINGS",
        {Program("PIANO", {Keygroup(36, 96, {"PIANO C3"})}),
         Program("ORGAN", {Keygroup(24, 60, {"ORGAN C3"}), Keygroup(61, 96, {"ORGAN C3"})}), Program("BROKEN", {})},
        {testing::Sample("PIANO C3"), testing::Sample("ORGAN C3")})});
    source_->image()[disc.directoryOffsets[0][0] + 2 * 24 + 21] = 0x7F;  // BROKEN's start block, high byte
  }
};

// The job gets the program rows in their order; a program that can't be
// read is named and left out, the others are done; "Import Waves" makes no
// folder from zeros for it. (Its other failures: fault_catalogue_test.cpp.)
TEST_F(JobCommandsTest, AnUnreadableProgramIsReportedAndLeftOut) {
  // BROKEN is the third program of STRINGS; 7 is not a program at all.
  const auto row = [](uint8_t program) { return MakeBrowserItem(kKindProgram, 0, 0, program); };
  const BrowserItem organ = row(1), piano = row(0), broken = row(2), missing = row(7);
  const BrowserItem volume = MakeBrowserItem(kKindVolume);  // no program
  ASSERT_EQ(BuildConversionItems(dir_.path() + "\\", {&organ, &volume, &broken, &missing, &piano}), 1);
  EXPECT_EQ(std::string(WaveFolder), dir_.path());
  ASSERT_EQ(testing::Convert(ConversionList.get(), "convert"), 1) << PendingError.text;
  ASSERT_EQ(recorder_.messages.size(), 3u);  // and the note of what didn't fit
  EXPECT_EQ(std::tuple(recorder_.messages[0].text, recorder_.messages[0].caption, recorder_.messages[1].text),
            std::tuple("Can't read program BROKEN", "Error", "Program not found on the disc"));
  ASSERT_EQ(std::tuple(ConversionReport.files.size(), ConversionReport.leftOut), std::tuple(2u, 2u));
  EXPECT_EQ(std::tuple(ConversionReport.files[0].path, ConversionReport.files[1].path),
            std::tuple(dir_ / "ORGAN.tes", dir_ / "PIANO.tes"));
  FreeConversionList();

  recorder_.messages.clear();
  EXPECT_EQ(ImportWavesForRecords({&piano, &volume, &broken, &organ}), 0);
  ASSERT_EQ(recorder_.messages.size(), 1u);
  EXPECT_EQ(recorder_.messages[0].text, "Can't read program BROKEN");
  EXPECT_EQ(testing::ListFolder(dir_.path()), (std::vector<std::string>{"ORGAN", "ORGAN.tes", "PIANO", "PIANO.tes"}));
}

}  // namespace
}  // namespace corvix
