#include "jobs/convert_job.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "instrument/instrument_file.h"
#include "jobs/conversion_list.h"
#include "records/job_guard.h"
#include "records/job_notes.h"
#include "support/export_fixture.h"

namespace corvix {
namespace {

using discbuilder::ProgramSpec;
using discbuilder::SampleSpec;
using testing::Chunk;
using testing::Keygroup;
using testing::Program;
using testing::Sample;
using testing::WalkFile;

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

class ConvertJobTest : public testing::ExportTest {
 protected:
  // One volume "V" with the programs; every program selected, in order.
  void UsePrograms(std::vector<ProgramSpec> programs, std::vector<SampleSpec> samples) {
    const size_t count = programs.size();
    UseVolumes({testing::Volume("V", std::move(programs), std::move(samples))});
    for (size_t i = 0; i < count; ++i) Select(0, static_cast<uint16_t>(i));
  }
  void Select(uint16_t volume, uint16_t program) {
    auto item = MakeConversionItem(disc_, 0, volume, program, nullptr);
    ASSERT_TRUE(item) << PendingError.text;
    AppendConversionItem(list_, std::move(item));
  }

  std::string Tes(const std::string& name) const { return dir_ / (name + ".tes"); }
  static std::vector<std::string> GroupNames(const Chunk& root) {
    std::vector<std::string> names;
    for (const Chunk& entry : root.Find("3gri")->Find("3gnl")->children) {
      EXPECT_EQ(entry.data.size(), 64u);
      names.push_back(std::string(reinterpret_cast<const char*>(entry.data.data())));
    }
    return names;
  }
  static std::string WaveName(const Chunk& root, size_t wave) {
    return Text(root.Find("wvpl")->children.at(wave).Find("INFO")->Find("INAM")->data);
  }
  std::vector<std::string> Folder() const { return testing::ListFolder(dir_.path()); }
};

// The files, their names and counts and the stereo merge as the user sees
// them: cli/commands_test.cpp; the host told of each file in order:
// ANameTheJobHasWrittenGetsANumberAndTheUserIsTold. Here what only the job
// shows.
TEST_F(ConvertJobTest, EachConvertedFileHoldsWhatItsProgramSets) {
  // Two keygroups over the same keys make one region: the patched count is 1.
  ProgramSpec piano = Program("PIANO", {Keygroup(36, 60, {"SOFT"}), Keygroup(36, 60, {"LOUD"})}, 5);
  piano.pitchBendRange = 7;
  UsePrograms({piano, Program("DRUMS", {Keygroup(36, 36, {"KICK"})})},
              {Sample("SOFT", 1001), Sample("LOUD", 3000), Sample("KICK")});
  ASSERT_EQ(testing::Convert(list_.get(), "convert"), 1) << PendingError.text;

  EXPECT_EQ(GroupNames(WalkFile(Tes("DRUMS"))), std::vector<std::string>{"DRUMS       "});  // its own group only
  // One transfer dialog while the disc is read, one progress dialog per file.
  EXPECT_EQ(progress_.record.dialogs, (std::vector<std::string>{"XFERDIALOG", "CREATETESDLG", "CREATETESDLG"}));
  EXPECT_EQ(progress_.record.destroyed, 3);

  // What the program sets, in the instrument; identifiers of their own.
  const Chunk root = WalkFile(Tes("PIANO"));
  EXPECT_EQ(root.type, "DLS ");
  EXPECT_EQ(Text(root.Find("INFO")->Find("INAM")->data), "PIANO       ");  // 12 bytes, blanks kept, no pad
  const Chunk& ins = *root.Find("lins")->Find("ins ");
  EXPECT_EQ(ins.Find("insh")->data, testing::Le32({1, 0, 5}));  // regions, bank, MIDI program
  EXPECT_EQ(ins.Find("lart")->Find("3frg")->data, testing::Le32({0, 0, 7}));  // the pitch bend range
  EXPECT_NE(root.Find("dlid")->data, std::vector<uint8_t>(16, 0));
  EXPECT_NE(ins.Find("dlid")->data, root.Find("dlid")->data);
}

TEST_F(ConvertJobTest, CombiningThreeProgramsWritesOneFileWithAGroupEach) {
  UsePrograms({Program("FIRST", {Keygroup(36, 60, {"SHARED"})}), Program("SECOND", {Keygroup(36, 60, {"OWN"})}),
               Program("THIRD", {Keygroup(48, 72, {"SHARED"}), Keygroup(73, 96, {"PAIR L", "PAIR R"})})},
              {Sample("SHARED"), Sample("OWN"), Sample("PAIR L"), Sample("PAIR R")});
  ASSERT_EQ(testing::Convert(list_.get(), "combine"), 1) << PendingError.text;
  EXPECT_EQ(host_.paths, std::vector<std::string>{Tes("FIRST")});
  const Chunk root = WalkFile(Tes("FIRST"));
  EXPECT_EQ(GroupNames(root), (std::vector<std::string>{"FIRST       ", "SECOND      ", "THIRD       "}));
  // The shared sample once; the second program's wave in group 1, the
  // third's pair, merged, in group 2.
  const Chunk& pool = *root.Find("wvpl");
  ASSERT_EQ(pool.children.size(), 3u);
  const std::pair<std::string, uint32_t> waves[] = {{"SHARED      ", 0}, {"OWN         ", 1}, {"PAIR LR", 2}};
  for (uint32_t w = 0; w < 3; ++w) {
    EXPECT_EQ(WaveName(root, w), waves[w].first);
    EXPECT_EQ(pool.children[w].Find("3gix")->data, testing::Le32({waves[w].second}));
  }
  // Three programs over 36-60 stack on the program-layer dimension.
  const Chunk& first = root.Find("lins")->Find("ins ")->Find("lrgn")->children.at(0);
  EXPECT_EQ(testing::U16At(first.Find("rgnh")->data, 0), 36);
  EXPECT_EQ(first.Find("3lnk")->data[4], 0x01);
  ASSERT_EQ(ConversionReport.files.size(), 1u);
  EXPECT_EQ(ConversionReport.files[0].programs, 3u);
}

TEST_F(ConvertJobTest, AFailureLeavesNothingOfTheFailingFileAndKeepsTheFinishedOnes) {
  struct Case {
    const char* what;
    std::string refuse;  // the second file of the name's kind, opened in mode
    OpenMode mode;
    int zeroInstrumentCall, zeroFileCall;  // the second file's identifiers
    std::string message;
  };
  const std::vector<Case> cases = {
      {"the finished file can't be reopened for its patch", ".corvix-", OpenMode::kReadWrite, 0, 0,
       "Can't open file  " + dir_.path()},
      {"the platform gives an all-zero instrument identifier", "", OpenMode::kRead, 2, 0, kNoIdentifier},
      {"the platform gives an all-zero file identifier", "", OpenMode::kRead, 0, 2, kNoIdentifier},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& f : Folder()) std::filesystem::remove(dir_ / f);
    FreeConversionList(list_);
    host_.paths.clear();
    UsePrograms({Program("ONE", {Keygroup(36, 60, {"ONE SOUND"})}), Program("TWO", {Keygroup(36, 60, {"TWO SOUND"})})},
                {Sample("ONE SOUND"), Sample("TWO SOUND")});
    files_.failOpenContaining = c.refuse;
    files_.failOpenMode = c.mode;
    files_.failOpenSkip = 1;
    testing::FakeIdentifiers ids;
    ids.zeroInstrumentCall = c.zeroInstrumentCall;
    ids.zeroFileCall = c.zeroFileCall;
    SetIdentifierSource(&ids);

    EXPECT_EQ(testing::Convert(list_.get(), "convert"), 0);
    EXPECT_EQ(std::string(PendingError.text).rfind(c.message.substr(0, kPendingErrorBytes - 1), 0), 0u) << PendingError.text;
    EXPECT_EQ(PendingError.style, kStyleError);
    EXPECT_EQ(Folder(), std::vector<std::string>{"ONE.tes"});
    EXPECT_EQ(host_.paths, std::vector<std::string>{Tes("ONE")});
    files_ = {};
    SetIdentifierSource(nullptr);
  }
}

TEST_F(ConvertJobTest, ANameTheJobHasWrittenGetsANumberAndTheUserIsTold) {
  UseVolumes({testing::Volume("BANK A", {Program("PROG", {Keygroup(36, 60, {"ONE"})})}, {Sample("ONE")}),
              // Named alike once trimmed.
              testing::Volume("BANK B", {Program("PROG.", {Keygroup(36, 60, {"TWO"})})}, {Sample("TWO")})});
  Select(0, 0);
  Select(1, 0);
  std::ofstream(Tes("PROG")) << "a file of an earlier run";

  ASSERT_EQ(testing::Convert(list_.get(), "convert"), 1) << PendingError.text;
  const std::string second = dir_ / "PROG (2).tes";
  EXPECT_EQ(Folder(), (std::vector<std::string>{"PROG (2).tes", "PROG.tes"}));
  EXPECT_EQ(host_.paths, (std::vector<std::string>{Tes("PROG"), second}));
  EXPECT_EQ(WaveName(WalkFile(Tes("PROG")), 0), "ONE         ");
  EXPECT_EQ(WaveName(WalkFile(second), 0), "TWO         ");
  ASSERT_EQ(recorder_.messages.size(), 1u);
  EXPECT_EQ(recorder_.messages[0].style, kMbIconWarning);
  EXPECT_EQ(recorder_.messages[0].text,
            "Not everything could be converted:\n"
            "  A/BANK B/PROG.: written as \"PROG (2).tes\", as this job has already written a file of its name");
}

TEST_F(ConvertJobTest, AtMost64ProgramsAreCombinedAndNoneIsDoneAtOnce) {
  EXPECT_EQ(testing::Convert(nullptr, "convert"), 1);
  EXPECT_EQ(testing::Convert(nullptr, "combine"), 1);
  EXPECT_TRUE(progress_.record.dialogs.empty());

  UsePrograms({Program("ONLY", {Keygroup(36, 60, {"S"})})}, {Sample("S")});
  for (int i = 1; i < 65; ++i) Select(0, 0);
  EXPECT_EQ(testing::Convert(list_.get(), "combine"), 0);
  EXPECT_STREQ(PendingError.text, "Too many programs to combine (64 at most)");
  EXPECT_TRUE(Folder().empty());
  EXPECT_TRUE(progress_.record.dialogs.empty());

  FreeConversionList(list_);
  for (int i = 0; i < 64; ++i) Select(0, 0);
  ASSERT_EQ(testing::Convert(list_.get(), "combine"), 1) << PendingError.text;
  EXPECT_EQ(GroupNames(WalkFile(Tes("ONLY"))).size(), 64u);
}

// The job pumps the interface's messages; a command that arrives then must
// not start a second job on the same records.
TEST_F(ConvertJobTest, ASecondJobCannotStartWhileOneRuns) {
  UsePrograms({Program("ONE", {Keygroup(36, 60, {"S"})})}, {Sample("S")});
  int nested = -1;
  std::string message;
  progress_.onPump = [&] {
    if (nested != -1) return;
    nested = testing::Convert(list_.get(), "convert");
    message = PendingError.text;
  };
  EXPECT_FALSE(JobGuard::JobRunning());
  ASSERT_EQ(testing::Convert(list_.get(), "convert"), 1);
  EXPECT_EQ(nested, 0);
  EXPECT_EQ(message, kJobRunning);
  EXPECT_FALSE(JobGuard::JobRunning());
  EXPECT_EQ(Folder(), std::vector<std::string>{"ONE.tes"});
}

}  // namespace
}  // namespace corvix
