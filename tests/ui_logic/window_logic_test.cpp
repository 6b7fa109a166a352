// The window's logic apart from the window: the tree's records and the
// program rows a job command gets.
#include "ui_logic/job_commands.h"

#include <gtest/gtest.h>

#include <tuple>

#include "jobs/conversion_list.h"
#include "jobs/convert_job.h"
#include "support/export_fixture.h"
#include "ui_logic/browser_item.h"

namespace corvix {
namespace {

using testing::Keygroup;
using testing::Program;

// More than the 1024 records a fixed table would hold; no record moves as
// the store grows, and after a refill the old addresses beyond the new end
// are no longer records.
TEST(TreeRecordStore, RecordsKeepTheirAddressesAsTheStoreGrows) {
  TreeRecordStore store;
  BrowserItem* root = store.Reset();
  const auto record = [](size_t i) { return MakeBrowserItem(kKindVolume, uint8_t(i / 100), uint8_t(i % 100)); };
  std::vector<BrowserItem*> added;
  for (size_t i = 0; i < 1100; ++i) added.push_back(store.Add(record(i)));
  ASSERT_EQ(store.size(), 1101u);
  for (size_t i = 0; i < added.size(); ++i)
    ASSERT_TRUE(store.at(i + 1) == added[i] && SameBrowserItem(*added[i], record(i))) << i;
  EXPECT_EQ(std::tuple(root->kind, store.at(0), store.at(store.size())), std::tuple(kKindRoot, root, nullptr));
  EXPECT_TRUE(store.Holds(root) && store.Holds(added.back()));
  store.Reset();
  EXPECT_EQ(store.size(), 1u);
  EXPECT_FALSE(store.Holds(added.front()) || store.Holds(added.back()));
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
