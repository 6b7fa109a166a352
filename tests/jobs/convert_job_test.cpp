#include "jobs/convert_job.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "jobs/wave_import.h"
#include "instrument/identifiers.h"
#include "instrument/instrument_file.h"
#include "jobs/conversion_list.h"
#include "records/host_link.h"
#include "records/job_guard.h"
#include "records/job_notes.h"
#include "support/export_fixture.h"
#include "support/instrument_fakes.h"

namespace corvix {
namespace {

namespace fs = std::filesystem;
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
using testing::Sample;
using testing::U16At;
using testing::U32At;

using testing::Program;

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::vector<std::string> Kinds(const Chunk& c) {
  std::vector<std::string> out;
  for (const Chunk& child : c.children) out.push_back(child.id == "LIST" ? "LIST " + child.type : child.id);
  return out;
}

class ConvertJobTest : public ExportTest {
 protected:
  void SetUp() override {
    ExportTest::SetUp();
    SetFileSystem(&picky_);
    SetHostLink(&host_);
    ImportWavesMode = 0;
  }
  void TearDown() override {
    FreeConversionList(list_);
    SetHostLink(nullptr);
    SetIdentifierSource(nullptr);
    ResetJobNotes();
    ExportTest::TearDown();
  }

  void UseVolumes(std::vector<VolumeSpec> volumes) {
    DiscSpec discSpec;
    discSpec.partitions.resize(1);
    discSpec.partitions[0].volumes = std::move(volumes);
    UseDisc(discSpec);
    ASSERT_TRUE(ReadPartitionInfo());
  }
  // One volume "V" with the programs; every program selected, in order.
  void UsePrograms(std::vector<ProgramSpec> programs, std::vector<SampleSpec> samples) {
    VolumeSpec v;
    v.name = "V";
    v.programs = std::move(programs);
    v.samples = std::move(samples);
    const size_t count = v.programs.size();
    UseVolumes({v});
    for (size_t i = 0; i < count; ++i) Select(0, static_cast<uint16_t>(i));
  }
  void Select(uint16_t volume, uint16_t program) {
    auto item = MakeConversionItem(0, volume, program, nullptr);
    ASSERT_TRUE(item) << PendingError.text;
    AppendConversionItem(list_, std::move(item));
  }

  std::string Tes(const std::string& name) const { return dir_ / (name + ".tes"); }
  static Chunk Walk(const std::string& path) {
    Chunk root;
    EXPECT_EQ(testing::WalkRiff(ReadBytes(path), &root), "") << path;
    return root;
  }
  static std::vector<std::string> GroupNames(const Chunk& root) {
    std::vector<std::string> names;
    for (const Chunk& entry : root.Find("3gri")->Find("3gnl")->children) {
      EXPECT_EQ(entry.data.size(), 64u);
      names.push_back(std::string(reinterpret_cast<const char*>(entry.data.data())));
    }
    return names;
  }
  std::vector<std::string> Folder() const { return ListFolder(dir_.path()); }

  testing::PickyFileSystem picky_;
  testing::RecordingHostLink host_;
  std::unique_ptr<ConversionItem> list_;
};

TEST_F(ConvertJobTest, ConvertingThreeProgramsWritesAFileEachAndTellsTheHostInOrder) {
  UsePrograms({Program("PIANO", {Keygroup(36, 60, {"PIANO C3"})}),
               Program("STRINGS", {Keygroup(24, 60, {"VIOLIN L", "VIOLIN R"})}),
               Program("DRUMS", {Keygroup(36, 36, {"KICK"}), Keygroup(38, 38, {"SNARE"})})},
              {Sample("PIANO C3"), Sample("VIOLIN L"), Sample("VIOLIN R"), Sample("KICK"), Sample("SNARE")});
  ASSERT_EQ(ConvertPrograms(list_.get(), kConvertMode), 1) << PendingError.text;

  // Files are named without the padding; no WAV file is left.
  EXPECT_EQ(Folder(), (std::vector<std::string>{"DRUMS.tes", "PIANO.tes", "STRINGS.tes"}));
  EXPECT_EQ(host_.paths, (std::vector<std::string>{Tes("PIANO"), Tes("STRINGS"), Tes("DRUMS")}));
  EXPECT_EQ(GroupNames(Walk(Tes("PIANO"))), std::vector<std::string>{"PIANO       "});
  EXPECT_EQ(GroupNames(Walk(Tes("DRUMS"))), std::vector<std::string>{"DRUMS       "});
  ASSERT_EQ(ConversionReport.files.size(), 3u);
  EXPECT_EQ(ConversionReport.files[1].waves, 1u);  // the merged pair
  EXPECT_EQ(ConversionReport.files[2].regions, 2u);

  // One transfer dialog while the disc is read, one progress dialog per file.
  EXPECT_EQ(progress_.record.dialogs,
            (std::vector<std::string>{"XFERDIALOG", "CREATETESDLG", "CREATETESDLG", "CREATETESDLG"}));
  EXPECT_EQ(progress_.record.destroyed, 4);
  EXPECT_TRUE(recorder_.messages.empty());
}

TEST_F(ConvertJobTest, TheFileHoldsEveryChunkInItsPlace) {
  // Two keygroups over the same keys make one region: the patched count is 1.
  ProgramSpec p = Program("PIANO", {Keygroup(36, 60, {"SOFT"}), Keygroup(36, 60, {"LOUD"})}, 5);
  p.pitchBendRange = 7;
  UsePrograms({p}, {Sample("SOFT", 1001), Sample("LOUD", 3000)});
  ASSERT_EQ(ConvertPrograms(list_.get(), kConvertMode), 1) << PendingError.text;
  const std::vector<uint8_t> bytes = ReadBytes(Tes("PIANO"));
  const Chunk root = Walk(Tes("PIANO"));

  EXPECT_EQ(root.type, "DLS ");
  EXPECT_EQ(Kinds(root), (std::vector<std::string>{"LIST INFO", "vers", "colh", "dlid", "LIST lins", "LIST 3gri",
                                                   "ptbl", "LIST wvpl"}));
  EXPECT_EQ(Text(root.Find("INFO")->Find("INAM")->data), "PIANO       ");  // 12 bytes, blanks kept, no pad
  EXPECT_EQ(root.Find("vers")->data, (std::vector<uint8_t>{0, 0, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(root.Find("colh")->data, (std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_NE(root.Find("dlid")->data, std::vector<uint8_t>(16, 0));

  const Chunk& ins = *root.Find("lins")->Find("ins ");
  EXPECT_EQ(Kinds(ins), (std::vector<std::string>{"LIST INFO", "dlid", "insh", "LIST lrgn", "LIST lart"}));
  EXPECT_NE(ins.Find("dlid")->data, root.Find("dlid")->data);
  EXPECT_EQ(ins.Find("insh")->data, (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0}));
  EXPECT_EQ(ins.Find("lrgn")->children.size(), 1u);
  const Chunk& global = *ins.Find("lart")->Find("3frg");
  EXPECT_EQ(global.data, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0}));
}

TEST_F(ConvertJobTest, CombiningThreeProgramsWritesOneFileWithAGroupEach) {
  UsePrograms({Program("FIRST", {Keygroup(36, 60, {"SHARED"})}), Program("SECOND", {Keygroup(36, 60, {"OWN"})}),
               Program("THIRD", {Keygroup(48, 72, {"SHARED"})})},
              {Sample("SHARED"), Sample("OWN")});
  ASSERT_EQ(ConvertPrograms(list_.get(), kCombineMode), 1) << PendingError.text;
  EXPECT_EQ(Folder(), std::vector<std::string>{"FIRST.tes"});
  EXPECT_EQ(host_.paths, std::vector<std::string>{Tes("FIRST")});

  const Chunk root = Walk(Tes("FIRST"));
  EXPECT_EQ(GroupNames(root), (std::vector<std::string>{"FIRST       ", "SECOND      ", "THIRD       "}));
  // The shared sample once; the second program's wave in group 1.
  const Chunk& pool = *root.Find("wvpl");
  ASSERT_EQ(pool.children.size(), 2u);
  EXPECT_EQ(Text(pool.children[0].Find("INFO")->Find("INAM")->data), "SHARED      ");
  EXPECT_EQ(U32At(pool.children[0].Find("3gix")->data, 0), 0u);
  EXPECT_EQ(Text(pool.children[1].Find("INFO")->Find("INAM")->data), "OWN         ");
  EXPECT_EQ(U32At(pool.children[1].Find("3gix")->data, 0), 1u);
  // Three programs over 36-60 stack on the program-layer dimension.
  const Chunk& first = root.Find("lins")->Find("ins ")->Find("lrgn")->children.at(0);
  EXPECT_EQ(U16At(first.Find("rgnh")->data, 0), 36);
  EXPECT_EQ(first.Find("3lnk")->data[4], 0x01);
  ASSERT_EQ(ConversionReport.files.size(), 1u);
  EXPECT_EQ(ConversionReport.files[0].programs, 3u);
}

TEST_F(ConvertJobTest, AFailureLeavesNothingOfTheFailingFileAndKeepsTheFinishedOnes) {
  struct Case {
    const char* what;
    std::string refuse;
    OpenMode mode;
    int zeroInstrumentCall, zeroFileCall;  // the second file's identifiers
    std::string message;  // before the path, if any
    std::string path;
  };
  const std::vector<Case> cases = {
      {"a WAV file can't be reopened for the pool", "TWO SOUND", OpenMode::kRead, 0, 0,
       "Can't open file  ", dir_ / "TWO SOUND.wav"},
      {"the finished file can't be reopened for its patch", "TWO.tes", OpenMode::kReadWrite, 0, 0, "Can't open file  ", dir_ / "TWO.tes"},
      {"the platform gives an all-zero instrument identifier", "", OpenMode::kRead, 2, 0, kNoIdentifier, ""},
      {"the platform gives an all-zero file identifier", "", OpenMode::kRead, 0, 2, kNoIdentifier, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& f : Folder()) fs::remove(dir_ / f);
    FreeConversionList(list_);
    host_.paths.clear();
    progress_.record = {};
    UsePrograms({Program("ONE", {Keygroup(36, 60, {"ONE SOUND"})}), Program("TWO", {Keygroup(36, 60, {"TWO SOUND"})}),
                 Program("THREE", {Keygroup(36, 60, {"THREE SOUND"})})},
                {Sample("ONE SOUND"), Sample("TWO SOUND"), Sample("THREE SOUND")});
    picky_.refuseContaining = c.refuse;
    picky_.refuseMode = c.mode;
    testing::FakeIdentifiers ids;
    ids.zeroInstrumentCall = c.zeroInstrumentCall;
    ids.zeroFileCall = c.zeroFileCall;
    SetIdentifierSource(&ids);

    EXPECT_EQ(ConvertPrograms(list_.get(), kConvertMode), 0);
    EXPECT_EQ(PendingError.text, (c.message + c.path).substr(0, kPendingErrorBytes - 1));
    EXPECT_EQ(PendingError.style, kStyleError);
    EXPECT_EQ(Folder(), std::vector<std::string>{"ONE.tes"});
    EXPECT_EQ(host_.paths, std::vector<std::string>{Tes("ONE")});
    EXPECT_EQ(progress_.record.destroyed, static_cast<int>(progress_.record.dialogs.size()));
    picky_.refuseContaining.clear();
    SetIdentifierSource(nullptr);
  }
}

// Cancel in the middle of a file: fault_catalogue_test.cpp. Pressed with
// the first file's notice, it comes after that file's last check.
TEST_F(ConvertJobTest, CancelBetweenTwoFilesKeepsTheFirst) {
  host_.cancelOnNotify = true;
  UsePrograms({Program("FIRST", {Keygroup(36, 60, {"A", "B"})}), Program("SECOND", {Keygroup(36, 60, {"C"})})},
              {Sample("A"), Sample("B"), Sample("C")});
  EXPECT_EQ(ConvertPrograms(list_.get(), kConvertMode), 0);
  EXPECT_STREQ(PendingError.text, "Conversion cancelled by user");
  EXPECT_EQ(PendingError.style, kStyleWarning);
  EXPECT_EQ(Folder(), std::vector<std::string>{"FIRST.tes"});
}

TEST_F(ConvertJobTest, ANameTheJobHasWrittenGetsANumberAndTheUserIsTold) {
  VolumeSpec a, b;
  a.name = "BANK A";
  a.programs = {Program("PROG", {Keygroup(36, 60, {"ONE"})})};
  a.samples = {Sample("ONE")};
  b.name = "BANK B";
  b.programs = {Program("PROG.", {Keygroup(36, 60, {"TWO"})})};  // named alike once trimmed
  b.samples = {Sample("TWO")};
  UseVolumes({a, b});
  Select(0, 0);
  Select(1, 0);
  std::ofstream(Tes("PROG")) << "a file of an earlier run";

  ASSERT_EQ(ConvertPrograms(list_.get(), kConvertMode), 1) << PendingError.text;
  const std::string second = dir_ / "PROG (2).tes";
  EXPECT_EQ(Folder(), (std::vector<std::string>{"PROG (2).tes", "PROG.tes"}));
  EXPECT_EQ(host_.paths, (std::vector<std::string>{Tes("PROG"), second}));
  EXPECT_EQ(Text(Walk(Tes("PROG")).Find("wvpl")->children.at(0).Find("INFO")->Find("INAM")->data), "ONE         ");
  EXPECT_EQ(Text(Walk(second).Find("wvpl")->children.at(0).Find("INFO")->Find("INAM")->data), "TWO         ");
  ASSERT_EQ(recorder_.messages.size(), 1u);
  EXPECT_EQ(recorder_.messages[0].caption, "Veltrex Corvix");
  EXPECT_EQ(recorder_.messages[0].style, kMbIconWarning);
  EXPECT_EQ(recorder_.messages[0].text,
            "Not everything could be converted:\n"
            "  A/BANK B/PROG.: written as \"PROG (2).tes\", as this job has already written a file of "
            "its name");
}

TEST_F(ConvertJobTest, WhatCouldNotGoIntoTheFileIsShownOnceAndTheJobSucceeds) {
  KeygroupSpec wide = Keygroup(0, 127, {"PAD", "MISSING"});
  wide.zones[0].highVelocity = 63;
  wide.zones[1].lowVelocity = 64;
  UsePrograms({Program("PAD", {wide})}, {Sample("PAD")});
  ASSERT_EQ(ConvertPrograms(list_.get(), kConvertMode), 1) << PendingError.text;
  ASSERT_EQ(recorder_.messages.size(), 1u);
  EXPECT_EQ(recorder_.messages[0].text,
            "Not everything could be converted:\n"
            "  PAD: keygroup 1, zone 2 (\"MISSING\"): the sample is not in the volume\n"
            "  PAD: keys 37-127 get no region (a region spans at most 37 keys)");
  EXPECT_EQ(JobNotes.lines.size(), 2u);
  const Chunk root = Walk(Tes("PAD"));
  EXPECT_EQ(U32At(root.Find("lins")->Find("ins ")->Find("insh")->data, 0), 1u);
}

TEST_F(ConvertJobTest, MoreThan64ProgramsAreNotCombined) {
  UsePrograms({Program("ONLY", {Keygroup(36, 60, {"S"})})}, {Sample("S")});
  for (int i = 1; i < 65; ++i) Select(0, 0);
  EXPECT_EQ(ConvertPrograms(list_.get(), kCombineMode), 0);
  EXPECT_STREQ(PendingError.text, "Too many programs to combine (64 at most)");
  EXPECT_TRUE(Folder().empty());
  EXPECT_TRUE(progress_.record.dialogs.empty());

  FreeConversionList(list_);
  for (int i = 0; i < 64; ++i) Select(0, 0);
  ASSERT_EQ(ConvertPrograms(list_.get(), kCombineMode), 1) << PendingError.text;
  EXPECT_EQ(GroupNames(Walk(Tes("ONLY"))).size(), 64u);
}

// The job pumps the interface's messages; a command that arrives then must
// not start a second job on the same records.
TEST_F(ConvertJobTest, ASecondJobCannotStartWhileOneRuns) {
  struct ReenteringProgress : testing::ScriptedProgress {
    ConversionItem* list = nullptr;
    int nested = -1;
    std::string message;
    void PumpMessages() override {
      ScriptedProgress::PumpMessages();
      if (nested != -1) return;
      nested = ConvertPrograms(list, kConvertMode);
      message = PendingError.text;
    }
  } progress;
  SetProgressUi(&progress);
  UsePrograms({Program("ONE", {Keygroup(36, 60, {"S"})})}, {Sample("S")});
  progress.list = list_.get();
  EXPECT_FALSE(JobGuard::JobRunning());
  ASSERT_EQ(ConvertPrograms(list_.get(), kConvertMode), 1);
  EXPECT_EQ(progress.nested, 0);
  EXPECT_EQ(progress.message, kJobRunning);
  EXPECT_FALSE(JobGuard::JobRunning());
  EXPECT_EQ(Folder(), std::vector<std::string>{"ONE.tes"});
  SetProgressUi(&progress_);
}

TEST_F(ConvertJobTest, AnEmptyListIsDoneAtOnce) {
  EXPECT_EQ(ConvertPrograms(nullptr, kConvertMode), 1);
  EXPECT_EQ(ConvertPrograms(nullptr, kCombineMode), 1);
  EXPECT_TRUE(progress_.record.dialogs.empty());
  EXPECT_TRUE(host_.paths.empty());
}

}  // namespace
}  // namespace corvix
