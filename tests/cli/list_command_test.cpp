// The command line as a user runs it: `corvix list` on images the builder
// writes in different layouts, and its answers to bad input.
#include <gtest/gtest.h>

#include <algorithm>
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
using discbuilder::VolumeSpec;
using testing::Keygroup;
using testing::Program;
using testing::RunCommand;
using testing::Sample;
using testing::ShellQuote;

class ListCommandTest : public ::testing::Test {
 protected:
  testing::CommandResult List(const std::string& source, const std::string& flags = "") {
    return RunCommand(std::string(CORVIX_CLI_PATH) + " list " + flags + " " + ShellQuote(source));
  }
  testing::TempDir dir_;
};

// Two partitions, a type-3 volume, a drum kit past the first block, a
// stereo pair; written fragmented and in every sector layout.
DiscSpec LayoutDisc() {
  DiscSpec discSpec;
  discSpec.partitions.resize(2);
  VolumeSpec strings;
  strings.name = "STRINGS 1";
  strings.samples = {Sample("VIOLIN L", 9000), Sample("VIOLIN R", 9000)};
  strings.programs = {Program("VIOLINS", {Keygroup(36, 59, {"VIOLIN L", "VIOLIN R"}), Keygroup(60, 96, {"VIOLIN L"})})};
  VolumeSpec drums;
  drums.name = "DRUMS";
  drums.type = 3;
  drums.samples = {Sample("KICK", 5000)};
  std::vector<discbuilder::KeygroupSpec> kit;
  for (int k = 0; k < 61; ++k) kit.push_back(Keygroup(static_cast<uint8_t>(30 + k), static_cast<uint8_t>(30 + k), {"KICK"}));
  drums.programs = {Program("BIG KIT", kit)};
  discSpec.partitions[0].volumes = {strings, drums};
  VolumeSpec other;
  other.name = "B SIDE";
  other.slot = 7;
  other.programs = {Program("SOLO", {Keygroup(48, 72)})};
  discSpec.partitions[1].volumes = {other};
  return discSpec;
}

TEST_F(ListCommandTest, ListsWhatTheBuilderWroteInEveryLayout) {
  struct Layout {
    const char* file;
    uint32_t sectorBytes;
    RawMode mode;
    bool cue;
  };
  const Layout layouts[] = {{"disc.iso", 2048, RawMode::kMode1, false},
                            {"disc.img", 2352, RawMode::kMode1, false},
                            {"disc.bin", 2352, RawMode::kMode2Form1, true}};
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.file);
    DiscSpec discSpec = LayoutDisc();
    discSpec.fragmented = true;
    discSpec.sectorBytes = layout.sectorBytes;
    discSpec.rawMode = layout.mode;
    discSpec.cueSheet = layout.cue;
    const std::string image = dir_ / layout.file;
    std::string error;
    ASSERT_TRUE(discbuilder::WriteDiscImage(discSpec, image, &error)) << error;
    const std::string source = layout.cue ? image + ".cue" : image;

    const auto result = List(source, "--json");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto json = nlohmann::json::parse(result.out);
    const auto& a = json["partitions"][0];
    EXPECT_EQ(a["letter"], "A");
    ASSERT_EQ(a["volumes"].size(), 2u);
    EXPECT_EQ(a["volumes"][0]["name"], "STRINGS 1");
    const auto& violins = a["volumes"][0]["programs"][0];
    EXPECT_EQ(violins["keygroups"], 2);
    EXPECT_EQ(violins["lowestKey"], 36);
    EXPECT_EQ(violins["highestKey"], 96);
    EXPECT_EQ(a["volumes"][0]["samples"][0]["lengthWords"], 9000);
    const auto& drums = a["volumes"][1];
    EXPECT_EQ(drums["type"], 3);
    EXPECT_EQ(drums["programs"][0]["keygroups"], 61);
    const auto& b = json["partitions"][1];
    EXPECT_EQ(b["letter"], "B");
    EXPECT_EQ(b["volumes"][0]["slot"], 7);
    EXPECT_EQ(b["volumes"][0]["programs"][0]["name"], "SOLO");
  }
}

TEST_F(ListCommandTest, TreeShowsThePartitionsAsTheBrowserDoes) {
  std::string error;
  ASSERT_TRUE(discbuilder::WriteDiscImage(LayoutDisc(), dir_ / "disc.iso", &error));
  const auto result = List(dir_ / "disc.iso");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("PARTITION  A\n"), std::string::npos);
  EXPECT_NE(result.out.find("PARTITION  B\n"), std::string::npos);
  EXPECT_NE(result.out.find("VIOLINS"), std::string::npos);
  EXPECT_NE(result.out.find("61 keygroups  30-90"), std::string::npos);
}

// Past Z partitions are numbered, and the number is how the commands name
// them too.
TEST_F(ListCommandTest, The27thPartitionIsCalled27Everywhere) {
  DiscSpec discSpec;
  discSpec.partitions.resize(27);
  VolumeSpec late;
  late.name = "LATE";
  late.samples = {Sample("TONE", 100)};
  late.programs = {Program("PROG", {Keygroup(36, 60, {"TONE"})})};
  discSpec.partitions[26].volumes = {late};
  std::string error;
  ASSERT_TRUE(discbuilder::WriteDiscImage(discSpec, dir_ / "disc.iso", &error)) << error;
  const auto json = nlohmann::json::parse(List(dir_ / "disc.iso", "--json").out);
  EXPECT_EQ(json["partitions"][25]["letter"], "Z");
  EXPECT_EQ(json["partitions"][26]["letter"], "27");
  EXPECT_NE(List(dir_ / "disc.iso").out.find("PARTITION  27\n  LATE"), std::string::npos);
  const auto converted = RunCommand(std::string(CORVIX_CLI_PATH) + " convert " + ShellQuote(dir_ / "disc.iso") +
                                    " 27/LATE/PROG --to " + ShellQuote(dir_ / "out"));
  EXPECT_EQ(converted.exitCode, 0) << converted.err;
  EXPECT_EQ(converted.out.rfind("27/LATE/PROG: ", 0), 0u) << converted.out;
}

TEST_F(ListCommandTest, BadSourcesAndUsageGetClearAnswers) {
  std::ofstream(dir_ / "zeros.iso", std::ios::binary) << std::string(40960, '\0');
  struct Case {
    std::string args;
    int exitCode;
    std::string says;
  };
  const std::string cli = CORVIX_CLI_PATH;
  const Case cases[] = {
      {"list " + ShellQuote(dir_ / "missing.iso"), 1, "cannot open"},
      {"list " + ShellQuote(dir_ / "zeros.iso"), 1, "not an Akai S1000 disc"},
      {"", 2, "subcommand"},
      {"list", 2, "SOURCE"},
      {"list --colour x.iso", 2, "--colour"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const auto result = RunCommand(cli + " " + c.args);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n') <= 3, true) << result.err;
  }
  const auto help = RunCommand(cli + " list --help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--json"), std::string::npos);
}

}  // namespace
}  // namespace corvix
