#include "jobs/wave_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

#include "common/pending_error.h"
#include "jobs/conversion_list.h"
#include "jobs/convert_job.h"
#include "jobs/import_job.h"
#include "support/export_fixture.h"

namespace corvix {
namespace {

using discbuilder::DiscSpec;
using discbuilder::KeygroupSpec;
using discbuilder::ProgramSpec;
using discbuilder::SampleSpec;
using discbuilder::VolumeSpec;
using testing::Chunk;
using testing::ExportTest;
using testing::Keygroup;
using testing::ListFolder;
using testing::ReadBytes;
using testing::ReadWithSndfile;
using testing::Sample;
using testing::U32At;

struct Row {
  std::string name;
  uint32_t stereo;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& r) {
  return out << '"' << r.name << '"' << (r.stereo ? " stereo" : "");
}

class WaveImportTest : public ExportTest {
 protected:
  void SetUp() override {
    ExportTest::SetUp();
    ImportWavesMode = 1;
  }

  // Partition 0, volume "STRINGS 1" (slot 0) with the samples and one program
  // "PROG"; a second volume "OTHER" holds ELSEWHERE.
  void UseProgram(std::vector<KeygroupSpec> keygroups, std::vector<SampleSpec> samples,
                  uint8_t type = 1, const std::string& programName = "PROG") {
    DiscSpec discSpec;
    discSpec.fragmented = true;
    discSpec.partitions.resize(1);
    VolumeSpec v;
    v.name = "STRINGS 1";
    v.type = type;
    v.samples = std::move(samples);
    ProgramSpec p;
    p.name = programName;
    p.keygroups = std::move(keygroups);
    v.programs = {p};
    VolumeSpec other;
    other.name = "OTHER";
    other.samples = {Sample("ELSEWHERE", 50)};
    discSpec.partitions[0].volumes = {v, other};
    UseDisc(discSpec);
    ASSERT_TRUE(ReadPartitionInfo());
  }

  // "Import Waves" of the program as the job runs it; in a conversion, the
  // wave import of its item alone (the table continues).
  int Import(uint32_t groupIndex = 0) {
    if (ImportWavesMode == 1) {
      ImportReport report;
      return ImportPrograms({{0, 0, 0}}, &report);
    }
    const std::unique_ptr<ConversionItem> item = MakeConversionItem(0, 0, 0, nullptr);
    return item ? ImportProgramWaves(*item, groupIndex) : 0;
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

  EXPECT_EQ(std::string(WaveFolder), ProgramFolder());
  EXPECT_EQ(Rows(), (std::vector<Row>{{"PIANO LR", 1}, {"KICK        ", 0}}));
  EXPECT_EQ(ListFolder(ProgramFolder()), (std::vector<std::string>{"KICK.wav", "PIANO LR.wav"}));
  EXPECT_EQ(ReadWithSndfile(ProgramFolder() + "/PIANO LR.wav").channels, 2);
  EXPECT_EQ(ReadWithSndfile(ProgramFolder() + "/KICK.wav").frames, 300);

  EXPECT_EQ(progress_.record.dialogs, std::vector<std::string>{"XFERDIALOG"});
  EXPECT_EQ(progress_.record.destroyed, 1);
  EXPECT_EQ(progress_.TextsOf(1010), std::vector<std::string>{"Importing from  PROG        "});  // names inside keep their 12 characters
  EXPECT_EQ(progress_.TextsOf(1002),
            (std::vector<std::string>{"PIANO L           keygroup 1 of 3", "PIANO R           keygroup 1 of 3",
                                      "KICK              keygroup 1 of 3"}));
}

// A zone 2 (4) pairs only with the sample zone 1 (3) of the same keygroup
// has just exported; never with a left name left over from an earlier
// keygroup (whose file may even be merged and gone).
TEST_F(WaveImportTest, PairsFormOnlyWithinOneKeygroup) {
  struct Case {
    const char* what;
    std::vector<KeygroupSpec> keygroups;
    std::vector<Row> rows;
    std::vector<std::string> files;
  };
  const std::vector<Case> cases = {
      {"a later keygroup's right zone after a merged pair",
       {Keygroup(24, 59, {"A L", "A R"}), Keygroup(60, 127, {"", "B R"})},
       {{"A LR", 1}, {"B R         ", 0}},
       {"A LR.wav", "B R.wav"}},
      {"left and right in different keygroups",
       {Keygroup(24, 59, {"A L"}), Keygroup(60, 127, {"", "A R"})},
       {{"A L         ", 0}, {"A R         ", 0}},
       {"A L.wav", "A R.wav"}},
      {"zone 1 already exported by an earlier keygroup",
       {Keygroup(24, 59, {"A L", "A R"}), Keygroup(60, 127, {"A L", "B R"})},
       {{"A LR", 1}, {"B R         ", 0}},
       {"A LR.wav", "B R.wav"}},
      {"zone 4 does not pair with zone 1",
       {Keygroup(24, 127, {"A L", "", "", "D R"})},
       {{"A L         ", 0}, {"D R         ", 0}},
       {"A L.wav", "D R.wav"}},
      {"zone 1 names the R sample", {Keygroup(24, 127, {"S R", "S L"})}, {{"S LR", 1}}, {"S LR.wav"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(ProgramFolder());
    WaveTable.count = 0;
    UseProgram(c.keygroups, {Sample("A L", 100), Sample("A R", 100), Sample("B R", 100), Sample("C L", 100),
                             Sample("C R", 100), Sample("D R", 100), Sample("S L", 100), Sample("S R", 200)});
    ASSERT_EQ(Import(), 1) << PendingError.text;
    EXPECT_EQ(Rows(), c.rows);
    EXPECT_EQ(ListFolder(ProgramFolder()), c.files);
  }
  // The first channel of S LR is the R sample's sound (the one of 200 words).
  EXPECT_EQ(ReadWithSndfile(ProgramFolder() + "/S LR.wav").frames, 200);
}

TEST_F(WaveImportTest, RowsCarryTheirZonesKeyByteAndTuning) {
  KeygroupSpec kg = Keygroup(24, 127, {"PIANO L", "PIANO R", "KICK"});
  kg.tuneFraction = 0x80;
  kg.zones[0].flag = 0x11;
  kg.zones[0].tuneSemitones = 2;
  kg.zones[1].flag = 0x22;
  kg.zones[2].flag = 0x33;
  UseProgram({kg}, {Sample("PIANO L"), Sample("PIANO R"), Sample("KICK")});
  ASSERT_EQ(Import(), 1);
  ASSERT_EQ(WaveTable.count, 2u);
  const WaveEntry& pair = WaveTable.rows[0];
  EXPECT_EQ(pair.keyByte, 0x11);  // the left zone's
  EXPECT_EQ(pair.zoneTuneSemitones, 2);
  EXPECT_EQ(pair.keygroupTuneFraction, 0x80);
  EXPECT_EQ(pair.unityNote, 57);  // 60 − 2.5, the half going down
  EXPECT_EQ(pair.fineTune, -50);
  EXPECT_EQ(WaveTable.rows[1].keyByte, 0x33);
}

TEST_F(WaveImportTest, EmptyProgramsMissingSamplesAndOtherVolumes) {
  UseProgram({}, {Sample("KICK")});
  ASSERT_EQ(Import(), 1);
  EXPECT_EQ(WaveTable.count, 0u);
  EXPECT_EQ(progress_.record.destroyed, 1);

  UseProgram({Keygroup(24, 127, {"NOWHERE", "ELSEWHERE", "KICK"})}, {Sample("KICK")});
  ASSERT_EQ(Import(), 1);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"KICK        ", 0}}));
  EXPECT_EQ(ListFolder(ProgramFolder()), std::vector<std::string>{"KICK.wav"});
}

TEST_F(WaveImportTest, ConversionsWriteIntoTheWaveFolderWithTheGroupIndex) {
  ImportWavesMode = 0;
  UseProgram({Keygroup(24, 127, {"PIANO L", "PIANO R", "KICK"})}, {Sample("PIANO L"), Sample("PIANO R"), Sample("KICK")});
  ASSERT_EQ(Import(2), 1);
  EXPECT_EQ(std::string(WaveFolder), dir_.path());
  EXPECT_EQ(ListFolder(dir_.path()), (std::vector<std::string>{"KICK.wav", "PIANO LR.wav"}));
  for (const char* file : {"KICK.wav", "PIANO LR.wav"}) {
    SCOPED_TRACE(file);
    Chunk root;
    ASSERT_EQ(testing::WalkRiff(ReadBytes(dir_ / file), &root), "");
    ASSERT_NE(root.Find("3gix"), nullptr);
    EXPECT_EQ(U32At(root.Find("3gix")->data, 0), 2u);
  }
  // A second program of a combined file continues the table.
  ASSERT_EQ(Import(3), 1);
  EXPECT_EQ(WaveTable.count, 2u);
}

// A failure stops the job; what stands is whole (a pair whose merge failed
// as its two mono files), nothing is left half written.
TEST_F(WaveImportTest, FailuresStopTheJobAndKeepWhatWasCompleted) {
  const std::vector<SampleSpec> samples = {Sample("PIANO L", 100), Sample("PIANO R", 100), Sample("KICK", 100),
                                           Sample("LONG", 30000)};
  UseProgram({Keygroup(24, 127, {"PIANO L", "PIANO R", "KICK", "LONG"})}, samples);

  struct Case {
    const char* what;
    std::function<void()> setUp;
    const char* message;
    std::vector<std::string> mustStand;
  };
  const std::vector<Case> cases = {
      {"the folder can't be made", [this] { files_.failMakeFolder = true; }, "Can't create directory", {}},
      {"a file has the folder's name",
       [this] { testing::WriteBytes(ProgramFolder(), {1}); }, "Can't create directory", {}},
      {"no dialog", [this] { progress_.failCreate = true; }, "Can't create progress dialog", {}},
      // A full disk and Cancel at every step: fault_catalogue_test.cpp.
      {"the merge fails", [this] { files_.failMove = true; }, "Can't move temp file", {"PIANO L.wav", "PIANO R.wav"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(ProgramFolder());
    files_ = {};
    progress_.failCreate = false;
    progress_.record = {};
    ClearPendingError();
    c.setUp();
    EXPECT_EQ(Import(), 0);
    EXPECT_STREQ(PendingError.text, c.message);
    EXPECT_EQ(PendingError.style, kStyleError);
    EXPECT_EQ(progress_.record.destroyed, static_cast<int>(progress_.record.dialogs.size()));
    const std::vector<std::string> left =
        std::filesystem::is_directory(ProgramFolder()) ? ListFolder(ProgramFolder()) : std::vector<std::string>{};
    for (const std::string& file : c.mustStand)
      EXPECT_NE(std::find(left.begin(), left.end(), file), left.end()) << file;
    for (const std::string& file : left) EXPECT_TRUE(ReadWithSndfile(ProgramFolder() + "/" + file).opened) << file;
  }
}

// The table holds 1024 waves; a combined job that would need more fails
// before it writes anything.
TEST_F(WaveImportTest, AFullTableStopsAConversion) {
  ImportWavesMode = 0;
  UseProgram({Keygroup(24, 127, {"PIANO L", "PIANO R", "KICK", "LONG"})},
             {Sample("PIANO L", 100), Sample("PIANO R", 100), Sample("KICK", 100), Sample("LONG", 100)});
  WaveTable.count = kWaveTableRows - 2;
  EXPECT_EQ(Import(), 0);
  EXPECT_STREQ(PendingError.text, "Too many samples for one job (1024 at most)");
  EXPECT_TRUE(ListFolder(dir_.path()).empty());
}

// Akai names are padded to 12 characters with spaces and may hold dots:
// files and folders are named without the padding, the same on every
// platform, and names that trim alike never share a file. A name that
// trims to nothing still gets a name inside the chosen folder.
TEST_F(WaveImportTest, NamesLoseTheirPaddingAndNeverShareAFile) {
  UseProgram({Keygroup(24, 127, {"..", ".", "KICK", "KICK."})},
             {Sample(".."), Sample("."), Sample("KICK", 10), Sample("KICK.", 20)}, 1, "..");
  ASSERT_EQ(Import(), 1);
  EXPECT_EQ(std::string(WaveFolder), dir_ / "_");
  EXPECT_EQ(ListFolder(dir_.path()), std::vector<std::string>{"_"});
  EXPECT_EQ(ListFolder(dir_ / "_"),
            (std::vector<std::string>{"KICK (2).wav", "KICK.wav", "_ (2).wav", "_.wav"}));
  EXPECT_EQ(ReadWithSndfile(dir_ / "_/KICK (2).wav").frames, 20);
  EXPECT_EQ(ReadWithSndfile(dir_ / "_/KICK.wav").frames, 10);
}

// On a drive every command counts and a seek costs tens of milliseconds:
// a whole job, on a disc written over time, reads every sector it needs
// once — each partition header, directory, program and sample block — in
// few commands, the samples in disc order whatever the order of their
// chains.
TEST_F(WaveImportTest, EveryJobReadsEachSectorOnce) {
  DiscSpec discSpec;
  discSpec.fragmented = true;
  discSpec.partitions.resize(2);
  for (int p = 0; p < 2; ++p) {
    VolumeSpec v;
    v.name = "V" + std::to_string(p);
    v.samples = {Sample("A L", 20000), Sample("A R", 20000), Sample("B", 30000), Sample("C", 9000)};
    v.programs = {testing::Program("ONE", {Keygroup(24, 60, {"A L", "A R"}), Keygroup(61, 90, {"B"})}),
                  testing::Program("TWO", {Keygroup(24, 60, {"B"}), Keygroup(61, 90, {"C"})})};
    discSpec.partitions[static_cast<size_t>(p)].volumes = {v};
  }
  UseDisc(discSpec);
  ASSERT_TRUE(ReadPartitionInfo());
  const std::vector<ProgramRef> programs = {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {1, 0, 1}};
  for (const char* job : {"import", "convert", "combine"}) {
    SCOPED_TRACE(job);
    source_->commands.clear();
    std::filesystem::remove_all(dir_ / "out");
    std::filesystem::create_directories(dir_ / "out");
    ASSERT_TRUE(SetChosenFolder(dir_ / "out"));
    ASSERT_TRUE(SetWaveFolder(dir_ / "out"));
    int ok = 0;
    if (std::string(job) == "import") {
      ImportReport report;
      ok = ImportPrograms(programs, &report);
    } else {
      std::unique_ptr<ConversionItem> list;
      for (const ProgramRef& p : programs) AppendConversionItem(list, MakeProgramItem(p.partition, p.volume, p.programIndex));
      ImportWavesMode = 0;
      ok = ConvertPrograms(list.get(), std::string(job) == "convert" ? kConvertMode : kCombineMode);
    }
    ASSERT_EQ(ok, 1) << PendingError.text;
    std::set<uint32_t> sectors;
    uint32_t read = 0, sampleCommands = 0, lastSample = 0;
    bool ascending = true;
    for (const auto& [lba, count] : source_->commands) {
      for (uint32_t s = lba; s < lba + count; ++s) sectors.insert(s);
      read += count;
      if (count == kReadCommandSectors) {  // the sample sweep's long commands
        ascending &= lba > lastSample;
        lastSample = lba;
        ++sampleCommands;
      }
    }
    EXPECT_EQ(read, sectors.size()) << "a sector read twice";
    EXPECT_TRUE(ascending);
    EXPECT_EQ(source_->commands.front(), (std::pair<uint32_t, uint16_t>{0, 9}));  // check words and partition 0's tables
    EXPECT_GT(sampleCommands, 0u);
    EXPECT_LE(source_->commands.size(), read / 32 + 12) << "commands of single blocks";
  }
}

}  // namespace
}  // namespace corvix
