// `corvix convert` and `corvix combine` as a user runs them, on images the
// builder writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "akai_disc_builder.h"
#include "support/run_command.h"
#include "support/test_disc.h"
#include "support/wav_files.h"

namespace corvix {
namespace {

namespace fs = std::filesystem;
using discbuilder::DiscSpec;
using discbuilder::ProgramSpec;
using discbuilder::VolumeSpec;
using testing::Chunk;
using testing::Keygroup;
using testing::ListFolder;
using testing::ReadBytes;
using testing::RunCommand;
using testing::Sample;
using testing::ShellQuote;
using testing::TempDir;
using testing::U32At;

using testing::Program;

// A: STRINGS 1 {VIOLINS (a pair and a mono sample), CELLOS}; B: B SIDE
// {SOLO, whose keygroup is wider than a region may be}. Fragmented.
DiscSpec TwoPartitions() {
  DiscSpec discSpec;
  discSpec.fragmented = true;
  discSpec.partitions.resize(2);
  VolumeSpec strings;
  strings.name = "STRINGS 1";
  strings.samples = {Sample("VIOLIN L", 9000), Sample("VIOLIN R", 9000), Sample("VIOLA", 5000),
                     Sample("CELLO", 3000)};
  strings.programs = {Program("VIOLINS", {Keygroup(36, 59, {"VIOLIN L", "VIOLIN R"}), Keygroup(60, 96, {"VIOLA"})}),
                      Program("CELLOS", {Keygroup(24, 60, {"CELLO"})})};
  VolumeSpec other;
  other.name = "B SIDE";
  other.samples = {Sample("SOLO TONE", 700)};
  other.programs = {Program("SOLO", {Keygroup(48, 100, {"SOLO TONE"})})};
  discSpec.partitions[0].volumes = {strings};
  discSpec.partitions[1].volumes = {other};
  return discSpec;
}

class ConvertCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(discbuilder::WriteDiscImage(TwoPartitions(), image_, &error)) << error;
  }
  testing::CommandResult Run(const std::string& command, const std::string& args) {
    return RunCommand(std::string(CORVIX_CLI_PATH) + " " + command + " " + ShellQuote(image_) + " " + args);
  }
  // Every file of the folder is a well-formed instrument file.
  void ExpectInstrumentFiles(const std::string& folder, const std::vector<std::string>& names) {
    EXPECT_EQ(ListFolder(folder), names);
    for (const std::string& name : names) {
      SCOPED_TRACE(name);
      Chunk root;
      EXPECT_EQ(testing::WalkRiff(ReadBytes(folder + "/" + name), &root), "");
      EXPECT_EQ(root.type, "DLS ");
    }
  }
  TempDir dir_;
  std::string image_ = dir_ / "disc.iso";
  std::string out_ = dir_ / "out";
};

TEST_F(ConvertCommandTest, ConvertWritesOneInstrumentFilePerProgram) {
  const auto r = Run("convert", "'A/*/*' 'B/*/*' --to " + ShellQuote(out_ + "/new/"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string folder = out_ + "/new";
  EXPECT_EQ(r.out,
            "A/STRINGS 1/VIOLINS: \"" + folder + "/VIOLINS     .tes\"  (2 regions, 2 waves)\n"
            "A/STRINGS 1/CELLOS: \"" + folder + "/CELLOS      .tes\"  (1 region, 1 wave)\n"
            "B/B SIDE/SOLO: \"" + folder + "/SOLO        .tes\"  (1 region, 1 wave)\n");
  // What didn't fit is said once, on stderr.
  EXPECT_EQ(r.err,
            "corvix: Not everything could be converted:\n"
            "  SOLO: keys 85-100 get no region (a region spans at most 37 keys)\n");
  ExpectInstrumentFiles(folder, {"CELLOS      .tes", "SOLO        .tes", "VIOLINS     .tes"});
}

TEST_F(ConvertCommandTest, CombineWritesOneFileNamedAfterTheFirstProgram) {
  const auto r = Run("combine", "'A/STRINGS 1/CELLOS' 'A/STRINGS 1/VIOLINS' --to " + ShellQuote(out_));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "A/STRINGS 1/CELLOS + A/STRINGS 1/VIOLINS: \"" + out_ +
                       "/CELLOS      .tes\"  (3 regions, 3 waves)\n");
  ExpectInstrumentFiles(out_, {"CELLOS      .tes"});
  Chunk root;
  testing::WalkRiff(ReadBytes(out_ + "/CELLOS      .tes"), &root);
  EXPECT_EQ(root.Find("3gri")->Find("3gnl")->children.size(), 2u);
}

TEST_F(ConvertCommandTest, MistakesGetClearAnswers) {
  fs::create_directories(out_);
  std::ofstream(dir_ / "a file").close();
  struct Case {
    std::string command, args;
    int exitCode;
    std::string says;
  };
  const Case cases[] = {
      {"convert", "'A/STRINGS 1' --to " + ShellQuote(out_), 2, "expected PARTITION/VOLUME/PROGRAM"},
      {"combine", "'A/STRINGS 1/NOPE' --to " + ShellQuote(out_), 1, "no such program on the disc"},
      {"convert", "'A/*/*'", 2, "--to"},
      {"combine", "'A/*/*' --to " + ShellQuote(dir_ / "a file"), 1, "can't create"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command + " " + c.args);
    const auto r = Run(c.command, c.args);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
  EXPECT_TRUE(ListFolder(out_).empty());
}

}  // namespace
}  // namespace corvix
