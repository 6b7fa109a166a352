// `corvix export`: every format from one read, several discs in one run, a
// tree per disc, reruns that go on where a run stopped, samples on their
// own; and a format added through the table alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "cli/command_line.h"
#include "support/disc_descriptions.h"
#include "support/made_up_format.h"
#include "support/run_command.h"

namespace corvix {
namespace {

namespace fs = std::filesystem;
using testing::Keygroup;
using testing::Program;
using testing::Sample;

// ONE {PAD (a pair), LEAD} with samples no program uses (a pair, a mono
// one between its halves); TWO {PAD}, whose name ONE has too. Fragmented.
discbuilder::DiscSpec Library() {
  discbuilder::DiscSpec disc;
  disc.fragmented = true;
  disc.partitions.resize(1);
  disc.partitions[0].volumes = {
      testing::Volume("ONE", {Program("PAD", {Keygroup(36, 96, {"PAD L", "PAD R"})}), Program("LEAD", {Keygroup(36, 96, {"LEAD"})})},
                      {Sample("PAD L", 9000), Sample("PAD R", 9000), Sample("LEAD", 5000), Sample("SPARE L", 700),
                       Sample("SOLO", 300), Sample("SPARE R", 700)}),
      testing::Volume("TWO", {Program("PAD", {Keygroup(36, 96, {"LEAD"})})}, {Sample("LEAD", 4000)})};
  return disc;
}

class ExportTest : public testing::CommandLineTest {
 protected:
  testing::CommandResult Export(const std::string& args, const std::string& env = "") {
    return testing::RunCommand(env + " " + CORVIX_CLI_PATH + " export " + args + " --to " + testing::ShellQuote(out_));
  }
  std::vector<std::string> Files(const std::string& below) const {
    std::vector<std::string> files;
    for (const auto& [path, bytes] : testing::FilesBelow(below)) files.push_back(path);
    return files;
  }
  // Sectors of a CORVIX_READ_TRACE trace: read at all, and more than once.
  static std::pair<size_t, size_t> Sectors(const std::string& trace) {
    std::map<uint64_t, int> reads;
    std::ifstream in(trace);
    for (uint64_t lba = 0, count = 0; in >> lba >> count;)
      for (uint64_t s = lba; s < lba + count; ++s) ++reads[s];
    size_t twice = 0;
    for (const auto& [sector, n] : reads) twice += n > 1 ? 1 : 0;
    return {reads.size(), twice};
  }
};

// Three sources, two of one file name and one that is no disc: each disc
// its own tree, nothing of one over the other's, the broken one named and
// the run's status 1. Every format of a program from one read: the WAV
// files once, beside the .sfz; samples no program uses in Samples/, a pair
// by its names.
TEST_F(ExportTest, ALibraryOfDiscsInOneRun) {
  Build(Library());
  fs::create_directories(dir_ / "other");
  fs::copy_file(image_, dir_ / "other/disc.iso");
  testing::WriteBytes(dir_ / "broken.iso", std::vector<uint8_t>(64 * 1024));
  const auto result = Export(testing::ShellQuote(image_) + " " + testing::ShellQuote(dir_ / "other/disc.iso") + " " +
                             testing::ShellQuote(dir_ / "broken.iso") + " --format wav,tes,sf2,sfz --samples");
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_NE(result.err.find("broken.iso: not an Akai S1000 disc"), std::string::npos) << result.err;
  const std::vector<std::string> tree = {"A/ONE/LEAD.sf2", "A/ONE/LEAD.tes", "A/ONE/LEAD/LEAD.sfz", "A/ONE/LEAD/LEAD.wav",
                                         "A/ONE/PAD.sf2", "A/ONE/PAD.tes", "A/ONE/PAD/PAD LR.wav", "A/ONE/PAD/PAD.sfz",
                                         "A/ONE/Samples/LEAD.wav", "A/ONE/Samples/PAD LR.wav", "A/ONE/Samples/SOLO.wav",
                                         "A/ONE/Samples/SPARE LR.wav", "A/TWO/PAD.sf2", "A/TWO/PAD.tes",
                                         "A/TWO/PAD/LEAD.wav", "A/TWO/PAD/PAD.sfz", "A/TWO/Samples/LEAD.wav"};
  EXPECT_EQ(Files(out_ + "/disc"), tree);
  EXPECT_EQ(Files(out_ + "/disc (2)"), tree);
  EXPECT_EQ(testing::ListFolder(out_), (std::vector<std::string>{"disc", "disc (2)"}));

  // The .sfz names its files; --no-merge keeps the pair apart.
  std::ifstream sfz(out_ + "/disc/A/ONE/PAD/PAD.sfz");
  const std::string text{std::istreambuf_iterator<char>(sfz), {}};
  EXPECT_NE(text.find("sample=PAD LR.wav"), std::string::npos) << text;
  fs::remove_all(out_);
  EXPECT_EQ(Export("--programs 'A/ONE/SPARE*' " + testing::ShellQuote(image_) + " --format wav --samples --no-merge").exitCode, 0);
  EXPECT_EQ(Files(out_ + "/disc"), (std::vector<std::string>{"A/ONE/Samples/SPARE L.wav", "A/ONE/Samples/SPARE R.wav"}));
}

// All four formats read each sector once, and no more sectors than one.
TEST_F(ExportTest, EveryFormatFromOneRead) {
  Build(Library());
  const auto trace = [&](const std::string& formats) {
    fs::remove_all(out_);
    const std::string file = dir_ / ("trace-" + formats);
    EXPECT_EQ(Export(testing::ShellQuote(image_) + " --format " + formats, "CORVIX_READ_TRACE=" + file).exitCode, 0);
    return Sectors(file);
  };
  const auto all = trace("wav,tes,sf2,sfz");
  EXPECT_GT(all.first, 0u);
  EXPECT_EQ(all.second, 0u);
  EXPECT_EQ(all.first, trace("sf2").first);
}

// A rerun with --skip-existing writes only what is missing; --flat puts
// every file in the folder, " (2)" where names meet.
TEST_F(ExportTest, ARerunGoesOnAndFlatNumbers) {
  Build(Library());
  ASSERT_EQ(Export(testing::ShellQuote(image_) + " --format tes,sfz").exitCode, 0);
  const std::string lead = out_ + "/disc/A/ONE/LEAD.tes";
  fs::remove(lead);
  const auto pad = fs::last_write_time(out_ + "/disc/A/ONE/PAD.tes");
  const auto rerun = Export(testing::ShellQuote(image_) + " --format tes,sfz --skip-existing");
  EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
  EXPECT_TRUE(fs::exists(lead));
  EXPECT_EQ(fs::last_write_time(out_ + "/disc/A/ONE/PAD.tes"), pad);
  EXPECT_NE(rerun.out.find("2 programs passed over"), std::string::npos) << rerun.out;

  fs::remove_all(out_);
  ASSERT_EQ(Export(testing::ShellQuote(image_) + " --format tes --flat").exitCode, 0);
  EXPECT_EQ(testing::ListFolder(out_), (std::vector<std::string>{"LEAD.tes", "PAD (2).tes", "PAD.tes"}));
  EXPECT_EQ(Export(testing::ShellQuote(image_) + " --format tes,mp3").exitCode, 2);
  EXPECT_EQ(Export(testing::ShellQuote(image_) + " --flat --skip-existing").exitCode, 2);
}

// A format the table gains (support/made_up_format.cpp) has its command and
// its export word, run in-process as `corvix` runs them.
TEST_F(ExportTest, AFormatAddedThroughTheTableRuns) {
  testing::AddMadeUpFormat();
  Build(Library());
  const auto run = [](std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    return cli::RunCommandLine(static_cast<int>(argv.size()), argv.data());
  };
  EXPECT_EQ(run({"corvix", "names", image_, "A/ONE/*", "--to", out_, "--quiet"}), 0);
  EXPECT_EQ(testing::ListFolder(out_), (std::vector<std::string>{"LEAD.nam", "PAD.nam"}));
  EXPECT_EQ(run({"corvix", "export", image_, "--format", "names,sfz", "--to", out_ + "/lib", "--quiet"}), 0);
  EXPECT_EQ(Files(out_ + "/lib/disc/A/TWO"), (std::vector<std::string>{"PAD.nam", "PAD/LEAD.wav", "PAD/PAD.sfz"}));
  const std::vector<uint8_t> names = testing::ReadBytes(out_ + "/lib/disc/A/ONE/PAD.nam");
  EXPECT_EQ(std::string(names.begin() + 20, names.begin() + 26), "PAD LR");
}

}  // namespace
}  // namespace corvix
