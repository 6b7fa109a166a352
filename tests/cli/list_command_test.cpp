// The command line as a user runs it: `corvix list` on images the builder
// writes in different layouts, `corvix devices` on the drives of this
// machine, and their answers to bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "akai_disc_builder.h"
#include "support/run_command.h"
#include "support/test_disc.h"
#include "support/wav_files.h"

namespace corvix {
namespace {

using discbuilder::DiscSpec;
using discbuilder::RawMode;
using testing::Keygroup;
using testing::Program;
using testing::RunCommand;
using testing::Sample;
using testing::ShellQuote;

testing::CommandResult Corvix(const std::string& arguments) {
  return RunCommand(std::string(CORVIX_CLI_PATH) + " " + arguments);
}

// Two partitions, a type-3 volume, a drum kit past the first block, a
// stereo pair.
DiscSpec LayoutDisc() {
  DiscSpec discSpec;
  std::vector<discbuilder::KeygroupSpec> kit;
  for (uint8_t k = 0; k < 61; ++k) kit.push_back(Keygroup(static_cast<uint8_t>(30 + k), static_cast<uint8_t>(30 + k), {"KICK"}));
  auto drums = testing::Volume("DRUMS", {Program("BIG KIT", kit)}, {Sample("KICK", 5000)});
  drums.type = 3;
  auto other = testing::Volume("B SIDE", {Program("SOLO", {Keygroup(48, 72)})});
  other.slot = 7;
  discSpec.partitions = {
      {{testing::Volume("STRINGS 1",
                        {Program("VIOLINS", {Keygroup(36, 59, {"VIOLIN L", "VIOLIN R"}), Keygroup(60, 96, {"VIOLIN L"})})},
                        {Sample("VIOLIN L", 9000), Sample("VIOLIN R", 9000)}),
        drums}},
      {{other}}};
  return discSpec;
}

// Written fragmented in every sector layout; the tree as the browser shows it.
TEST(ListCommandTest, ListsWhatTheBuilderWroteInEveryLayout) {
  testing::TempDir dir;
  const std::tuple<const char*, uint32_t, RawMode, bool> layouts[] = {
      {"disc.iso", 2048, RawMode::kMode1, false},
      {"disc.img", 2352, RawMode::kMode1, false},
      {"disc.bin", 2352, RawMode::kMode2Form1, true}};
  for (const auto& [file, sectorBytes, mode, cue] : layouts) {
    SCOPED_TRACE(file);
    DiscSpec discSpec = LayoutDisc();
    discSpec.fragmented = true;
    discSpec.sectorBytes = sectorBytes;
    discSpec.rawMode = mode;
    discSpec.cueSheet = cue;
    std::string error;
    ASSERT_TRUE(discbuilder::WriteDiscImage(discSpec, dir / file, &error)) << error;
    const auto result = Corvix("list --json " + ShellQuote(dir / file + (cue ? ".cue" : "")));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto json = nlohmann::json::parse(result.out);
    const auto& a = json["partitions"][0];
    EXPECT_EQ(a["letter"], "A");
    ASSERT_EQ(a["volumes"].size(), 2u);
    EXPECT_EQ(a["volumes"][0]["name"], "STRINGS 1");
    const auto& violins = a["volumes"][0]["programs"][0];
    EXPECT_EQ(std::tuple(violins["keygroups"], violins["lowestKey"], violins["highestKey"]), std::tuple(2, 36, 96));
    EXPECT_EQ(a["volumes"][0]["samples"][0]["lengthWords"], 9000);
    EXPECT_EQ(std::tuple(a["volumes"][1]["type"], a["volumes"][1]["programs"][0]["keygroups"]), std::tuple(3, 61));
    const auto& b = json["partitions"][1];
    EXPECT_EQ(std::tuple(b["letter"], b["volumes"][0]["slot"], b["volumes"][0]["programs"][0]["name"]),
              std::tuple("B", 7, "SOLO"));
  }
  const auto tree = Corvix("list " + ShellQuote(dir / "disc.iso")).out;
  for (const char* line : {"PARTITION  A\n", "PARTITION  B\n", "VIOLINS", "61 keygroups  30-90"})
    EXPECT_NE(tree.find(line), std::string::npos) << line;
}

// Past Z partitions are numbered, and the number is how the commands name
// them too.
TEST(ListCommandTest, The27thPartitionIsCalled27Everywhere) {
  testing::TempDir dir;
  DiscSpec discSpec;
  discSpec.partitions.resize(27);
  discSpec.partitions[26].volumes = {
      testing::Volume("LATE", {Program("PROG", {Keygroup(36, 60, {"TONE"})})}, {Sample("TONE", 100)})};
  std::string error;
  ASSERT_TRUE(discbuilder::WriteDiscImage(discSpec, dir / "disc.iso", &error)) << error;
  const auto json = nlohmann::json::parse(Corvix("list --json " + ShellQuote(dir / "disc.iso")).out);
  EXPECT_EQ(json["partitions"][25]["letter"], "Z");
  EXPECT_EQ(json["partitions"][26]["letter"], "27");
  EXPECT_NE(Corvix("list " + ShellQuote(dir / "disc.iso")).out.find("PARTITION  27\n  LATE"), std::string::npos);
  const auto converted = Corvix("convert " + ShellQuote(dir / "disc.iso") + " 27/LATE/PROG --to " + ShellQuote(dir / "out"));
  EXPECT_EQ(converted.exitCode, 0) << converted.err;
  EXPECT_EQ(converted.out.rfind("27/LATE/PROG: ", 0), 0u) << converted.out;
}

// On a machine without drives, `corvix devices` says so and succeeds.
TEST(ListCommandTest, DevicesWithoutDrivesSaysSoAndSucceeds) {
  for (const auto& entry : std::filesystem::directory_iterator("/dev")) {
    const std::string name = entry.path().filename();
    if (name.rfind("sr", 0) == 0 || name.rfind("sg", 0) == 0) GTEST_SKIP() << "this machine has SCSI devices";
  }
  const auto run = Corvix("devices </dev/null");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out + run.err, "No CD-ROM drives found.\n");
  const auto json = Corvix("devices --json </dev/null");
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_NE(json.out.find("\"drives\": []"), std::string::npos) << json.out;
}

TEST(ListCommandTest, BadSourcesAndUsageGetClearAnswers) {
  testing::TempDir dir;
  std::ofstream(dir / "zeros.iso", std::ios::binary) << std::string(40960, '\0');
  const std::tuple<std::string, int, std::string> cases[] = {
      {"list " + ShellQuote(dir / "missing.iso"), 1, "cannot open"},
      {"list " + ShellQuote(dir / "zeros.iso"), 1, "not an Akai S1000 disc"},
      {"list /dev/null", 1, "/dev/null: no CD-ROM drive there"},
      {"", 2, "subcommand"},
      {"list", 2, "SOURCE"},
      {"list --colour x.iso", 2, "--colour"},
  };
  for (const auto& [args, exitCode, says] : cases) {
    const auto result = Corvix(args + " </dev/null");
    EXPECT_EQ(result.exitCode, exitCode) << args;
    EXPECT_NE(result.err.find(says), std::string::npos) << result.err;
    EXPECT_LE(std::count(result.err.begin(), result.err.end(), '\n'), 3) << result.err;
  }
  const auto help = Corvix("list --help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--json"), std::string::npos);
}

}  // namespace
}  // namespace corvix
