// The command line as a user runs it, on images the builder writes: `corvix
// list`, `import`, `convert` and `combine`, and their answers to
// bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "riff/file_system.h"
#include "support/riff_walk.h"
#include "support/run_command.h"
#include "support/test_disc.h"

namespace corvix {
namespace {

namespace fs = std::filesystem;
using discbuilder::DiscSpec;
using testing::Keygroup;
using testing::ListFolder;
using testing::Program;
using testing::Sample;
using testing::ShellQuote;

testing::CommandResult Corvix(const std::string& arguments) {
  return testing::RunCommand(std::string(CORVIX_CLI_PATH) + " " + arguments);
}

// A: STRINGS 1 {VIOLINS (a pair and a mono sample), CELLOS, and GHOST, whose
// directory entry points past the partition} and DRUMS {KIT, whose 61
// keygroups run past its first block, and EMPTY, without keygroups}; B to Z empty; 27 (past Z partitions
// are numbered, and the commands name them so too): SOLOS, type 3 in slot 7
// {SOLO, whose keygroup is wider than a region may be}. Fragmented.
DiscSpec TestDisc() {
  auto strings = testing::Volume(
      "STRINGS 1",
      {Program("VIOLINS", {Keygroup(36, 59, {"VIOLIN L", "VIOLIN R"}), Keygroup(60, 96, {"VIOLA"})}),
       Program("CELLOS", {Keygroup(24, 60, {"CELLO"})})},
      {Sample("VIOLIN L", 9000), Sample("VIOLIN R", 9000), Sample("VIOLA", 5000), Sample("CELLO", 3000)});
  std::array<uint8_t, 24> ghost{};
  const auto name = discbuilder::EncodeAkaiName("GHOST");
  std::copy(name.begin(), name.end(), ghost.begin());
  ghost[16] = 'p';
  ghost[20] = 0x40;  // start block 8000
  ghost[21] = 0x1F;
  strings.extraEntries = {ghost};
  const std::vector<discbuilder::KeygroupSpec> kit(61, Keygroup(30, 90, {"KICK"}));
  auto solos = testing::Volume("SOLOS", {Program("SOLO", {Keygroup(48, 100, {"TONE"})})}, {Sample("TONE", 700)});
  solos.type = 3;
  solos.slot = 7;
  DiscSpec discSpec;
  discSpec.fragmented = true;
  discSpec.partitions.resize(27);
  discSpec.partitions[0].volumes = {strings, testing::Volume("DRUMS", {Program("KIT", kit), Program("EMPTY", {})}, {Sample("KICK", 500)})};
  discSpec.partitions[26].volumes = {solos};
  return discSpec;
}

using CommandTest = testing::CommandLineTest;

// The JSON listing, and the tree as the browser shows it.
TEST_F(CommandTest, ListsWhatTheBuilderWrote) {
  Build(TestDisc());
  const auto json = nlohmann::json::parse(Run("list --json", "").out);
  const auto& a = json["partitions"][0];
  ASSERT_EQ(a["volumes"].size(), 2u);
  EXPECT_EQ(a["volumes"][0]["name"], "STRINGS 1");
  const auto& violins = a["volumes"][0]["programs"][0];
  EXPECT_EQ(std::tuple(violins["keygroups"], violins["lowestKey"], violins["highestKey"]), std::tuple(2, 36, 96));
  EXPECT_EQ(a["volumes"][0]["samples"][0]["lengthWords"], 9000);
  EXPECT_EQ(a["volumes"][1]["programs"][0]["keygroups"], 61);
  const auto& solos = json["partitions"][26]["volumes"][0];
  EXPECT_EQ(std::tuple(json["partitions"][26]["letter"], solos["slot"], solos["programs"][0]["highestKey"]),
            std::tuple("27", 7, 100));
  const auto tree = Run("list", "").out;
  for (const char* line : {"PARTITION  27\n  SOLOS  (type 3)\n", "61 keygroups  30 (F#0)-90 (F#5)\n",
                          "  1 keygroup   24 (C0)-60 (C3)\n", "EMPTY           0 keygroups  -\n",
                          "Program  GHOST         can't be read\n"})
    EXPECT_NE(tree.find(line), std::string::npos) << line;
  EXPECT_EQ(Run("list --paths", "").out,
            "'A/STRINGS 1/VIOLINS'\n'A/STRINGS 1/CELLOS'\n'A/STRINGS 1/GHOST'\nA/DRUMS/KIT\nA/DRUMS/EMPTY\n27/SOLOS/SOLO\n");
}

// Source, names and folder are checked before anything is written; each
// mistake gets a short answer and its status.
TEST_F(CommandTest, MistakesGetClearAnswers) {
  Build(TestDisc());
  std::ofstream(dir_ / "zeros.iso", std::ios::binary) << std::string(40960, '\0');
  std::ofstream(dir_ / "a file").close();
  std::ofstream(dir_ / "CELLOS").close();
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  fs::copy_file(image_, dir_ / "cut.iso");
  fs::resize_file(dir_ / "cut.iso", 40 * 8192);  // partitions A and B, not those after them
  std::ofstream(dir_ / "fifo.cue") << "FILE \"fifo\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n";
  const std::string image = ShellQuote(image_) + " ", to = " --to " + ShellQuote(out_);
  const std::tuple<std::string, int, std::string> cases[] = {
      {"list " + ShellQuote(dir_ / "missing.iso"), 1, "cannot open " + dir_ / "missing.iso" + ": No such file"},
      {"list " + ShellQuote(dir_.path()), 1, "cannot open " + dir_.path() + ": Is a directory"},
      {"list " + ShellQuote(dir_ / "zeros.iso"), 1, "not an Akai S1000 disc"},
      {"list " + image, 1, image_ + ": could not read program A/STRINGS 1/GHOST\n"},  // not the empty partitions
      {"import " + image + "'A/STRINGS 1/CELLOS' --to " + ShellQuote(dir_ / (std::string(150, 'd') + "/" + std::string(150, 'e'))), 0, ""},  // no Windows limit
      {"list " + ShellQuote(dir_ / "cut.iso"), 1, dir_ / "cut.iso: could not read partition C, partition D, partition E and 23 more\n"},
      {"list " + ShellQuote(dir_ / "fifo"), 1, "cannot open " + dir_ / "fifo" + ": not a disc image"},
      {"list " + ShellQuote(dir_ / "fifo.cue"), 1, "cannot open " + dir_ / "fifo" + ": not a disc image"},
      {"list /dev/null", 1, "/dev/null: no CD-ROM drive there"},
      {"list --colour x.iso", 2, "--colour"},
      {"import " + image + "'A/STRINGS 1'" + to, 2, "expected PARTITION/VOLUME/PROGRAM"},
      {"convert " + image + "'AB/STRINGS 1/VIOLINS'" + to, 2, "expected PARTITION/VOLUME/PROGRAM"},
      {"import " + image + "'A/STRINGS 1/VIOLINS'", 2, "--to"},
      {"import " + image + to, 2, "PROGRAM"},
      {"combine " + image + "'A/STRINGS 1/NOPE'" + to, 1, "A/STRINGS 1/NOPE: no program matches \"NOPE\""},
      {"sf2 " + image + "'A/STRINGS/*'" + to, 1, "A/STRINGS/*: no volume matches \"STRINGS\""},
      {"sfz " + image + "'28/*/*'" + to, 1, "28/*/*: no partition 28 on the disc"},
      {"convert " + image + "'A/*/*' --to " + ShellQuote(dir_ / "a file"), 1,
       "corvix: can't create folder \"" + dir_ / "a file\": "},
      {"import " + image + "'A/STRINGS 1/CELLOS' --to " + ShellQuote(dir_.path()), 1,
       "corvix: can't create folder \"" + dir_ / "CELLOS\": File exists"},  // a file of that name
      {"lst " + image, 2, "corvix: unknown command 'lst'\nDid you mean 'list'?\nThe commands are: list, import,"},
      {"-v", 2, "corvix: unknown option '-v'\nRun 'corvix --help'"},
      {"", 2, "corvix: a command is required\n"},
      {"import " + image + "'A/STRINGS 1/CELLOS' --to a" + to, 2, "corvix: --to: given more than once\nRun 'corvix import --help'"},
      // Left out fails with --strict; a preset moved to a free number only informs.
      {"convert " + image + "'27/*/*' --strict --to " + ShellQuote(dir_ / "strict"), 1,
       "corvix: 1 file written; 1 program had parts left out: see above\n"},
      {"sf2 " + image + "'A/STRINGS 1/VIOLINS' 'A/STRINGS 1/CELLOS' --bank --strict --to " + ShellQuote(dir_ / "strict"), 0,
       "Good to know:"},
  };
  for (const auto& [args, exitCode, says] : cases) {
    const auto r = Corvix(args + " </dev/null");
    EXPECT_EQ(r.exitCode, exitCode) << args;
    EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
    EXPECT_LE(std::count(r.err.begin(), r.err.end(), '\n'), 3) << r.err;
  }
  EXPECT_FALSE(fs::exists(out_));
}

// Each program once, in the order named, into a folder of its own; pairs
// merged unless --no-merge. A program that can't be read is named once and
// left out, nothing written from a zeroed block, and the run ends with
// status 1. The sound itself is the WAV writer's and the stereo merge's to
// test.
TEST_F(CommandTest, ImportsTheNamedProgramsInOrderAndLeavesOutOneThatCantBeRead) {
  Build(TestDisc());
  const std::string root = out_ + "/new";
  const auto r = Run("import", "'A/STRINGS 1/*' '27/*/SOLO' 'a/strings 1/violins ' --to " + ShellQuote(root));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "corvix: Can't read program GHOST\n");  // and no progress line: stderr is no terminal
  EXPECT_EQ(r.out,
            "A/STRINGS 1/VIOLINS: 2 files in \"" + root + "/VIOLINS\"\n"
            "  \"VIOLIN LR.wav\"  (stereo)\n"
            "  \"VIOLA.wav\"\n"
            "A/STRINGS 1/CELLOS: 1 file in \"" + root + "/CELLOS\"\n"
            "  \"CELLO.wav\"\n"
            "27/SOLOS/SOLO: 1 file in \"" + root + "/SOLO\"\n"
            "  \"TONE.wav\"\n");
  EXPECT_EQ(ListFolder(root), (std::vector<std::string>{"CELLOS", "SOLO", "VIOLINS"}));

  const auto quiet = Run("import", "'A/STRINGS 1/VIOLINS' --no-merge --quiet --to " + ShellQuote(out_));
  EXPECT_EQ(std::tuple(quiet.exitCode, quiet.out, quiet.err), std::tuple(0, "", ""));
  EXPECT_EQ(ListFolder(out_ + "/VIOLINS"), (std::vector<std::string>{"VIOLA.wav", "VIOLIN L.wav", "VIOLIN R.wav"}));
}

// One instrument file per program, or one for all named after the first
// that can be read; what can't be read or didn't fit is said once, on stderr.
TEST_F(CommandTest, ConvertAndCombineWriteInstrumentFilesAndLeaveOutOneThatCantBeRead) {
  Build(TestDisc());
  auto r = Run("convert", "'A/STRINGS 1/*' '27/*/*' --to " + ShellQuote(out_ + "/new/"));
  EXPECT_EQ(r.exitCode, 1);
  const std::string folder = out_ + "/new";
  EXPECT_EQ(r.out,
            "A/STRINGS 1/VIOLINS: \"" + folder + "/VIOLINS.tes\"  (2 regions, 2 waves)\n"
            "A/STRINGS 1/CELLOS: \"" + folder + "/CELLOS.tes\"  (1 region, 1 wave)\n"
            "27/SOLOS/SOLO: \"" + folder + "/SOLO.tes\"  (1 region, 1 wave)\n");
  EXPECT_EQ(r.err,
            "corvix: Can't read program GHOST\n"
            "corvix: Not everything could be converted:\n"
            "  SOLO: keys 85-100 get no region (a region spans at most 37 keys)\n"
            "corvix: 3 files written; 1 program had parts left out: see above\n");
  EXPECT_EQ(ListFolder(folder), (std::vector<std::string>{"CELLOS.tes", "SOLO.tes", "VIOLINS.tes"}));

  r = Run("combine",
          "'A/STRINGS 1/GHOST' 'A/STRINGS 1/CELLOS' 'A/STRINGS 1/VIOLINS' --to " + ShellQuote(dir_ / "both"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "corvix: Can't read program GHOST\n");
  EXPECT_EQ(r.out, "A/STRINGS 1/CELLOS + A/STRINGS 1/VIOLINS: \"" + dir_ / "both/CELLOS.tes\"  (3 regions, 3 waves)\n");
  EXPECT_EQ(ListFolder(dir_ / "both"), std::vector<std::string>{"CELLOS.tes"});
}

using testing::Files;

bool IsTemporary(const fs::path& path) {
  return std::any_of(path.begin(), path.end(), [](const fs::path& part) { return IsTempName(part.string()); });
}

// A stop request (Ctrl-C, SIGTERM, SIGHUP) at every moment a job looks at Cancel
// ends it as Cancel does; a second one ends the run at once. Either way the
// files of an earlier run into the folder all stand, each whole, and
// anything else left is a temporary, which a later run leaves alone.
TEST_F(CommandTest, AStopRequestAtAnyMomentLeavesWholeFiles) {
  Build(TestDisc());
  const std::string programs = "'A/STRINGS 1/VIOLINS' 'A/STRINGS 1/CELLOS' --to " + ShellQuote(out_);
  for (const char* command : {"sf2", "import"}) {
    fs::remove_all(out_);
    ASSERT_EQ(Run(command, programs).exitCode, 0);
    const Files earlier = testing::FilesBelow(out_);
    int k = 1;
    for (bool ended = false; !ended; ++k) {
      ASSERT_LT(k, 200);
      // SIGTERM or, every other time, SIGHUP; Ctrl-C then SIGTERM.
      for (const std::string& plan : {(k % 2 ? "15@" : "1@") + std::to_string(k), "2@" + std::to_string(k) + ",15@" + std::to_string(k)}) {
        SCOPED_TRACE(std::string(command) + " " + plan);
        const bool twice = plan.find(',') != std::string::npos;
        fs::remove_all(out_);
        testing::WriteFilesBelow(out_, earlier);
        const auto r = testing::RunCommand("CORVIX_TEST_SIGNAL=" + plan + " " + CORVIX_CLI_PATH + " " + command + " " +
                                           ShellQuote(image_) + " " + programs);
        if ((ended = r.exitCode == 0 && !twice)) break;  // the job was done before pump k
        EXPECT_EQ(r.exitCode, twice ? 143 : 1);
        if (!twice) { EXPECT_EQ(r.err, std::string("corvix: ") + (*command == 'i' ? "Import" : "Conversion") + " cancelled by user\n"); }
        const Files now = testing::FilesBelow(out_);
        for (const auto& [path, bytes] : earlier) EXPECT_TRUE(now.count(path)) << path << " is gone";
        for (const auto& [path, bytes] : now) {
          if (twice && IsTemporary(path)) continue;
          ASSERT_TRUE(earlier.count(path)) << path;
          testing::Chunk root;
          EXPECT_EQ(testing::WalkRiff(bytes, &root), "") << path;
          EXPECT_EQ(bytes.size(), earlier.at(path).size()) << path;
        }
        if (!twice) continue;
        ASSERT_EQ(Run(command, programs).exitCode, 0);
        for (const auto& [path, bytes] : now) EXPECT_TRUE(!IsTemporary(path) || fs::exists(out_ + "/" + path)) << path;
      }
    }
    EXPECT_GT(k, 5) << "stopped too few times";
  }
}

// A job never writes over the disc it reads, be it the image or the file a
// cue sheet names: it says so, naming both, and the file stays as it was.
TEST_F(CommandTest, AJobNeverWritesOverItsSource) {
  Build(TestDisc());
  const std::vector<uint8_t> image = testing::ReadBytes(image_);
  // The command, the file in out_ that is a copy of the image, and whether
  // it is read through a cue sheet naming it.
  const std::tuple<std::string, std::string, bool> cases[] = {
      {"convert", "VIOLINS.tes", false}, {"sf2", "VIOLINS.sf2", true}, {"import", "VIOLINS/VIOLA.wav", false}};
  for (const auto& [command, name, throughCue] : cases) {
    SCOPED_TRACE(command);
    fs::remove_all(out_);
    const std::string victim = out_ + "/" + name, cue = dir_ / "disc.cue";
    fs::create_directories(fs::path(victim).parent_path());
    testing::WriteBytes(victim, image);
    std::ofstream(cue) << "FILE \"out/" << name << "\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n";
    const auto r = Corvix(command + " " + ShellQuote(throughCue ? cue : victim) + " 'A/STRINGS 1/VIOLINS' --to " +
                          ShellQuote(out_));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("\"" + victim + "\" is the disc being read"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("corvix: Won't write over the disc being read\n"), std::string::npos) << r.err;
    EXPECT_EQ(testing::ReadBytes(victim), image);
  }
}

// Output that can't be written is a failure.
TEST_F(CommandTest, OutputThatCantBeWrittenFailsTheCommand) {
  Build(TestDisc());
  for (const std::string& args : {"list --json " + ShellQuote(image_), std::string("--help")}) {
    const auto r = testing::RunCommand("{ " + std::string(CORVIX_CLI_PATH) + " " + args + " >/dev/full; }");
    EXPECT_EQ(r.exitCode, 1) << args;
    EXPECT_TRUE(r.err.ends_with("corvix: can't write to standard output: No space left on device\n")) << r.err;
  }
}

}  // namespace
}  // namespace corvix
