#include "jobs/wave_import.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/pending_error.h"
#include "jobs/conversion_list.h"
#include "jobs/convert_job.h"
#include "jobs/import_job.h"
#include "support/export_fixture.h"

namespace corvix {
namespace {

using discbuilder::KeygroupSpec;
using discbuilder::SampleSpec;
using testing::Keygroup;
using testing::ListFolder;
using testing::ReadWithSndfile;
using testing::Sample;

// A WaveTable row: its name and whether it is stereo.
using Row = std::pair<std::string, uint32_t>;

class WaveImportTest : public testing::ExportTest {
 protected:
  void SetUp() override {
    ExportTest::SetUp();
    ImportWavesMode = 1;
  }

  // Volume "STRINGS 1" with the samples and one program; a second volume
  // "OTHER" holds ELSEWHERE. Fragmented.
  void UseProgram(std::vector<KeygroupSpec> keygroups, std::vector<SampleSpec> samples,
                  const std::string& programName = "PROG") {
    UseVolumes({testing::Volume("STRINGS 1", {testing::Program(programName, std::move(keygroups))}, std::move(samples)),
                testing::Volume("OTHER", {}, {Sample("ELSEWHERE", 50)})},
               true);
  }

  // "Import Waves" of the program as the job runs it.
  int Import() {
    ImportReport report;
    return ImportPrograms({{0, 0, 0}}, JobTarget(ChosenFolder, MergeStereoPairs != 0), &report);
  }

  std::vector<Row> Rows() const {
    std::vector<Row> rows;
    for (uint32_t i = 0; i < WaveTable.count; ++i) rows.push_back({WaveTable.rows[i].name, WaveTable.rows[i].stereo});
    return rows;
  }
  std::string ProgramFolder() const { return dir_ / "PROG"; }
};

TEST_F(WaveImportTest, ExportsEachSampleOnceIntoTheProgramsFolderAndMergesPairs) {
  UseProgram({Keygroup(24, 59, {"PIANO L", "PIANO R", "KICK"}), Keygroup(60, 90, {"PIANO L", "PIANO R"}),
              Keygroup(91, 127, {"KICK"})},
             {Sample("PIANO L", 5000), Sample("PIANO R", 5000), Sample("KICK", 300)});
  ASSERT_EQ(Import(), 1);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"PIANO LR", 1}, {"KICK        ", 0}}));
  EXPECT_EQ(ListFolder(ProgramFolder()), (std::vector<std::string>{"KICK.wav", "PIANO LR.wav"}));

  EXPECT_EQ(progress_.record.dialogs, std::vector<std::string>{"XFERDIALOG"});
  EXPECT_EQ(progress_.record.destroyed, 1);
  // The dialog's lines; names keep their 12 characters.
  EXPECT_EQ(progress_.record.texts, (std::vector<std::pair<int, std::string>>{
                                        {1010, "Importing from  PROG        "},
                                        {1002, "PIANO L           keygroup 1 of 3"},
                                        {1002, "PIANO R           keygroup 1 of 3"},
                                        {1002, "KICK              keygroup 1 of 3"}}));

  // Without its dialog the job does not start.
  progress_ = {};
  progress_.failCreate = true;
  EXPECT_EQ(Import(), 0);
  EXPECT_STREQ(PendingError.text, "Can't create progress dialog");
  EXPECT_EQ(progress_.record.destroyed, 0);
}

// A zone 2 (4) pairs only with the sample zone 1 (3) of the same keygroup
// has just exported; never with a left name left over from an earlier
// keygroup (whose file may even be merged and gone). A sample the volume
// doesn't hold is left out.
TEST_F(WaveImportTest, PairsFormOnlyWithinOneKeygroupAndOnlyTheVolumesSamplesAreExported) {
  // What, the keygroups, the rows and the files.
  const std::tuple<const char*, std::vector<KeygroupSpec>, std::vector<Row>, std::vector<std::string>> cases[] = {
      {"a later keygroup's right zone after a merged pair",
       {Keygroup(24, 59, {"A L", "A R"}), Keygroup(60, 127, {"", "B R"})},
       {{"A LR", 1}, {"B R         ", 0}}, {"A LR.wav", "B R.wav"}},
      {"left and right in different keygroups", {Keygroup(24, 59, {"A L"}), Keygroup(60, 127, {"", "A R"})},
       {{"A L         ", 0}, {"A R         ", 0}}, {"A L.wav", "A R.wav"}},
      {"zone 1 already exported by an earlier keygroup",
       {Keygroup(24, 59, {"A L", "A R"}), Keygroup(60, 127, {"A L", "B R"})},
       {{"A LR", 1}, {"B R         ", 0}}, {"A LR.wav", "B R.wav"}},
      {"zone 4 does not pair with zone 1", {Keygroup(24, 127, {"A L", "", "", "D R"})},
       {{"A L         ", 0}, {"D R         ", 0}}, {"A L.wav", "D R.wav"}},
      // ELSEWHERE is a sample of another volume.
      {"samples not in the program's volume", {Keygroup(24, 127, {"NOWHERE", "ELSEWHERE", "B R"})},
       {{"B R         ", 0}}, {"B R.wav"}},
      {"a program without keygroups", {}, {}, {}},
      {"zone 1 names the R sample", {Keygroup(24, 127, {"S R", "S L"})}, {{"S LR", 1}}, {"S LR.wav"}},
  };
  for (const auto& [what, keygroups, rows, files] : cases) {
    SCOPED_TRACE(what);
    std::filesystem::remove_all(ProgramFolder());
    WaveTable.count = 0;
    UseProgram(keygroups, {Sample("A L", 100), Sample("A R", 100), Sample("B R", 100), Sample("D R", 100),
                           Sample("S L", 100), Sample("S R", 200)});
    ASSERT_EQ(Import(), 1) << PendingError.text;
    EXPECT_EQ(Rows(), rows);
    EXPECT_EQ(ListFolder(ProgramFolder()), files);
  }
  // S LR is as long as zone 1's S R (200 words); its first channel is S L
  // (100 words, then silence), its second S R.
  const auto pair = ReadWithSndfile(ProgramFolder() + "/S LR.wav");
  EXPECT_EQ(std::tuple(pair.frames, pair.samples[300], pair.samples[301]), std::tuple(200, 0, 150 * 37 - 1000));
}

}  // namespace
}  // namespace corvix
