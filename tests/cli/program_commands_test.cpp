// `corvix import`, `corvix convert` and `corvix combine` as a user runs them,
// on images the builder writes.
#include <gtest/gtest.h>

#include <array>
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
using testing::Keygroup;
using testing::ListFolder;
using testing::Program;
using testing::Sample;
using testing::ShellQuote;

// A: STRINGS 1 {VIOLINS (a pair and a mono sample), CELLOS}; B: B SIDE
// {SOLO, whose keygroup is wider than a region may be}. Fragmented.
DiscSpec TwoPartitions() {
  DiscSpec discSpec;
  discSpec.fragmented = true;
  discSpec.partitions = {
      {{testing::Volume("STRINGS 1",
                        {Program("VIOLINS", {Keygroup(36, 59, {"VIOLIN L", "VIOLIN R"}), Keygroup(60, 96, {"VIOLA"})}),
                         Program("CELLOS", {Keygroup(24, 60, {"CELLO"})})},
                        {Sample("VIOLIN L", 9000), Sample("VIOLIN R", 9000), Sample("VIOLA", 5000), Sample("CELLO", 3000)})}},
      {{testing::Volume("B SIDE", {Program("SOLO", {Keygroup(48, 100, {"SOLO TONE"})})}, {Sample("SOLO TONE", 700)})}}};
  return discSpec;
}

class ProgramCommandTest : public ::testing::Test {
 protected:
  void Build(const DiscSpec& discSpec) {
    std::string error;
    ASSERT_TRUE(discbuilder::WriteDiscImage(discSpec, image_, &error)) << error;
  }
  testing::CommandResult Run(const std::string& command, const std::string& args) {
    return testing::RunCommand(std::string(CORVIX_CLI_PATH) + " " + command + " " + ShellQuote(image_) + " " + args);
  }
  // The folder holds these well-formed instrument files.
  void ExpectInstrumentFiles(const std::string& folder, const std::vector<std::string>& names) {
    EXPECT_EQ(ListFolder(folder), names);
    for (const std::string& name : names) {
      testing::Chunk root;
      EXPECT_EQ(testing::WalkRiff(testing::ReadBytes(folder + "/" + name), &root), "") << name;
      EXPECT_EQ(root.type, "DLS ") << name;
    }
  }

  testing::TempDir dir_;
  std::string image_ = dir_ / "disc.iso";
  std::string out_ = dir_ / "out";
};

// Each program once, in the order named, into a folder of its own; pairs
// merged unless --no-merge. The sound itself is the WAV writer's and the
// stereo merge's to test.
TEST_F(ProgramCommandTest, ImportsTheNamedProgramsInOrderIntoAFolderEach) {
  Build(TwoPartitions());
  const auto r = Run("import", "'A/STRINGS 1/*' 'B/*/SOLO' 'a/strings 1/violins ' --to " + ShellQuote(out_ + "/new"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");  // no progress line when stderr is not a terminal
  const std::string root = out_ + "/new";
  EXPECT_EQ(r.out,
            "A/STRINGS 1/VIOLINS: 2 files in \"" + root + "/VIOLINS\"\n"
            "  \"VIOLIN LR.wav\"  (stereo)\n"
            "  \"VIOLA.wav\"\n"
            "A/STRINGS 1/CELLOS: 1 file in \"" + root + "/CELLOS\"\n"
            "  \"CELLO.wav\"\n"
            "B/B SIDE/SOLO: 1 file in \"" + root + "/SOLO\"\n"
            "  \"SOLO TONE.wav\"\n");
  EXPECT_EQ(ListFolder(root), (std::vector<std::string>{"CELLOS", "SOLO", "VIOLINS"}));
  EXPECT_EQ(ListFolder(root + "/VIOLINS"), (std::vector<std::string>{"VIOLA.wav", "VIOLIN LR.wav"}));
  const auto pair = testing::ReadWithSndfile(root + "/VIOLINS/VIOLIN LR.wav");
  EXPECT_EQ(std::tuple(pair.channels, pair.frames), std::tuple(2, 9000));

  ASSERT_EQ(Run("import", "'A/STRINGS 1/VIOLINS' --no-merge --to " + ShellQuote(out_)).exitCode, 0);
  EXPECT_EQ(ListFolder(out_ + "/VIOLINS"), (std::vector<std::string>{"VIOLA.wav", "VIOLIN L.wav", "VIOLIN R.wav"}));
}

// One instrument file per program, or one for all named after the first;
// what didn't fit is said once, on stderr.
TEST_F(ProgramCommandTest, ConvertAndCombineWriteInstrumentFiles) {
  Build(TwoPartitions());
  auto r = Run("convert", "'A/*/*' 'B/*/*' --to " + ShellQuote(out_ + "/new/"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string folder = out_ + "/new";
  EXPECT_EQ(r.out,
            "A/STRINGS 1/VIOLINS: \"" + folder + "/VIOLINS.tes\"  (2 regions, 2 waves)\n"
            "A/STRINGS 1/CELLOS: \"" + folder + "/CELLOS.tes\"  (1 region, 1 wave)\n"
            "B/B SIDE/SOLO: \"" + folder + "/SOLO.tes\"  (1 region, 1 wave)\n");
  EXPECT_EQ(r.err,
            "corvix: Not everything could be converted:\n"
            "  SOLO: keys 85-100 get no region (a region spans at most 37 keys)\n");
  ExpectInstrumentFiles(folder, {"CELLOS.tes", "SOLO.tes", "VIOLINS.tes"});

  r = Run("combine", "'A/STRINGS 1/CELLOS' 'A/STRINGS 1/VIOLINS' --to " + ShellQuote(dir_ / "both"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "A/STRINGS 1/CELLOS + A/STRINGS 1/VIOLINS: \"" + dir_ / "both/CELLOS.tes\"  (3 regions, 3 waves)\n");
  ExpectInstrumentFiles(dir_ / "both", {"CELLOS.tes"});
}

// A program whose file can't be read (here its directory entry points past
// the partition) is named once and left out; the others are done, and the
// run ends with status 1. Nothing is written from a zeroed block.
TEST_F(ProgramCommandTest, AProgramThatCantBeReadIsLeftOut) {
  DiscSpec discSpec = TwoPartitions();
  std::array<uint8_t, 24> ghost{};
  const auto name = discbuilder::EncodeAkaiName("GHOST");
  std::copy(name.begin(), name.end(), ghost.begin());
  ghost[16] = 'p';
  ghost[20] = 0x40;  // start block 8000, far past the partition
  ghost[21] = 0x1F;
  discSpec.partitions[0].volumes[0].extraEntries = {ghost};
  Build(discSpec);
  const std::tuple<std::string, std::string, std::vector<std::string>> cases[] = {
      {"convert", "'A/STRINGS 1/*'", {"CELLOS.tes", "VIOLINS.tes"}},
      {"import", "'A/STRINGS 1/GHOST' 'A/STRINGS 1/CELLOS'", {"CELLOS"}},
      {"combine", "'A/STRINGS 1/GHOST' 'A/STRINGS 1/CELLOS' 'A/STRINGS 1/VIOLINS'", {"CELLOS.tes"}},
  };
  for (const auto& [command, programs, written] : cases) {
    fs::remove_all(out_);
    const auto r = Run(command, programs + " --to " + ShellQuote(out_));
    EXPECT_EQ(r.exitCode, 1) << command;
    EXPECT_EQ(r.err, "corvix: Can't read program GHOST\n") << command;
    EXPECT_EQ(ListFolder(out_), written) << command;
  }
  EXPECT_NE(Run("list", "").out.find("Program  GHOST         can't be read\n"), std::string::npos);
}

// The three commands share the source (list_command_test.cpp), name and
// folder checks; nothing is written before every name is found.
TEST_F(ProgramCommandTest, MistakesGetClearAnswers) {
  Build(TwoPartitions());
  std::ofstream(dir_ / "a file").close();
  fs::create_directories(dir_ / "blocked");
  std::ofstream(dir_ / "blocked/CELLOS").close();
  const std::string image = ShellQuote(image_) + " ", to = " --to " + ShellQuote(out_);
  const std::tuple<std::string, int, std::string> cases[] = {
      {"import " + image + "'A/STRINGS 1'" + to, 2, "expected PARTITION/VOLUME/PROGRAM"},
      {"convert " + image + "'AB/STRINGS 1/VIOLINS'" + to, 2, "expected PARTITION/VOLUME/PROGRAM"},
      {"import " + image + "'A/STRINGS 1/VIOLINS'", 2, "--to"},
      {"convert " + image + "'A/*/*'", 2, "--to"},
      {"import " + image + to, 2, "PROGRAM"},
      {"combine " + image + "'A/STRINGS 1/NOPE'" + to, 1, "A/STRINGS 1/NOPE: no such program on the disc"},
      {"convert " + ShellQuote(dir_ / "missing.iso") + " 'A/*/*'" + to, 1, "cannot open"},
      {"import " + image + "'A/*/*' --to " + ShellQuote(dir_ / "a file"), 1, "can't create"},
      {"combine " + image + "'A/*/*' --to " + ShellQuote(dir_ / "a file"), 1, "can't create"},
      {"import " + image + "'A/STRINGS 1/CELLOS' --to " + ShellQuote(dir_ / "blocked"), 1,
       "corvix: Can't create directory\n"},
  };
  for (const auto& [args, exitCode, says] : cases) {
    const auto r = testing::RunCommand(std::string(CORVIX_CLI_PATH) + " " + args);
    EXPECT_EQ(r.exitCode, exitCode) << args;
    EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(out_));
}

// Ctrl-C ends the job as Cancel does: "Conversion cancelled by user", no
// partial file; the programs imported before stay.
TEST_F(ProgramCommandTest, InterruptCancelsTheImport) {
  std::vector<discbuilder::SampleSpec> samples = {Sample("SMALL", 100)};
  for (int i = 0; i < 12; ++i) samples.push_back(Sample("LONG " + std::to_string(i), 1000000));
  DiscSpec discSpec;
  discSpec.partitions = {{{testing::Volume(
      "BIG",
      {Program("FIRST", {Keygroup(0, 10, {"SMALL"})}),
       Program("SECOND", {Keygroup(0, 10, {"LONG 0", "LONG 1", "LONG 2", "LONG 3"}), Keygroup(11, 20, {"LONG 4", "LONG 5"})}),
       Program("THIRD", {Keygroup(0, 10, {"LONG 6", "LONG 7", "LONG 8", "LONG 9"}), Keygroup(11, 20, {"LONG 10", "LONG 11"})})},
      samples)}}};
  Build(discSpec);

  // A shell writes its process id and becomes corvix; the first line out
  // (FIRST imported) brings Ctrl-C.
  const std::string pid = dir_ / "pid", status = dir_ / "status", err = dir_ / "stderr";
  const auto r = testing::RunCommand(
      "{ sh -c 'echo $$ >\"$1\"; shift; exec \"$@\"' sh " + ShellQuote(pid) + " " + CORVIX_CLI_PATH + " import " +
      ShellQuote(image_) + " A/BIG/FIRST A/BIG/SECOND A/BIG/THIRD --to " + ShellQuote(out_) + " 2>" + ShellQuote(err) +
      "; echo $? >" + ShellQuote(status) + "; } | { IFS= read -r first; kill -INT \"$(cat " + ShellQuote(pid) +
      ")\"; printf '%s\\n' \"$first\"; cat; }");
  EXPECT_EQ(r.out.rfind("A/BIG/FIRST: ", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find("THIRD"), std::string::npos) << r.out;
  const auto text = [](const std::string& path) {
    const auto bytes = testing::ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
  };
  EXPECT_EQ(text(status), "1\n");
  EXPECT_EQ(text(err), "corvix: Conversion cancelled by user\n");
  // Whatever stands is complete.
  EXPECT_EQ(ListFolder(out_ + "/FIRST"), std::vector<std::string>{"SMALL.wav"});
  for (const char* program : {"SECOND", "THIRD"}) {
    for (const auto& file : ListFolder(out_ + "/" + program))
      EXPECT_EQ(testing::ReadWithSndfile(out_ + "/" + program + "/" + file).frames, 1000000) << file;
  }
}

}  // namespace
}  // namespace corvix
