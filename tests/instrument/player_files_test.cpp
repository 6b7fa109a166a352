// `corvix sf2` and `corvix sfz` checked the way a musician would: FluidSynth
// loads each SoundFont written and plays notes from it offline, and the
// pitch, loops, velocity layers and channels of what it plays are measured;
// each SFZ region is read back and held against the program it came from.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "support/run_command.h"
#include "support/test_disc.h"

namespace corvix {
namespace {

namespace fs = std::filesystem;
using discbuilder::SampleSpec;
using testing::Keygroup;
using testing::RunCommand;
using testing::ShellQuote;

// A sine, looped over its second half unless loops is false.
SampleSpec Tone(const std::string& name, double hertz, uint32_t words, uint8_t pitch, bool loops = true,
                uint16_t rate = 44100) {
  SampleSpec s;
  s.name = name;
  s.pcm = discbuilder::MakeTone("sine", hertz, words, 0.5, 0, rate);
  s.recordedPitch = pitch;
  s.sampleRate = rate;
  s.playbackType = loops ? 0 : 2;
  s.loopTime = loops ? 9999 : 0;
  s.loopLength = words / 2;
  return s;
}

// PLAYER (MIDI program 5): 48-59 two velocity layers, 60-71 tuned up 2.25
// semitones at 22050 Hz, 72-83 a short sample played to its end, 84-96 an
// L/R pair panned apart. OTHER (also program 5): HARD over 36-96.
discbuilder::DiscSpec PlayerDisc() {
  discbuilder::VolumeSpec v;
  v.name = "PLAYER";
  // Loops of whole periods (200, 100 and 70 words).
  v.samples = {Tone("SOFT", 220.5, 22400, 57),          Tone("HARD", 441, 22400, 57),
               Tone("TUNED", 315, 11200, 60, true, 22050), Tone("ONCE", 441, 6615, 69, false),
               Tone("DUO L", 441, 22400, 60),           Tone("DUO R", 630, 22400, 60)};
  auto layers = Keygroup(48, 59, {"SOFT", "HARD"});
  layers.zones[0].highVelocity = 63;
  layers.zones[1].lowVelocity = 64;
  auto tuned = Keygroup(60, 71, {"TUNED"});
  tuned.tuneSemitones = 2;
  tuned.zones[0].tuneFraction = 64;
  auto once = Keygroup(72, 83, {"ONCE"});
  once.zones[0].playbackMode = 4;
  auto duo = Keygroup(84, 96, {"DUO L", "DUO R"});
  duo.zones[0].pan = -50;
  duo.zones[1].pan = 50;
  v.programs = {testing::Program("PLAYER", {layers, tuned, once, duo}, 5),
                testing::Program("OTHER", {Keygroup(36, 96, {"HARD"})}, 5)};
  discbuilder::DiscSpec disc;
  disc.partitions.resize(1);
  disc.partitions[0].volumes = {v};
  return disc;
}

struct Note {
  uint8_t program, key, velocity;
};

// A type-0 MIDI file at one millisecond a tick: each note held 1.5 s, then
// 0.5 s of silence, a program change before it. Deltas as variable-length
// numbers: 0x83 0x74 is 500 ticks, 0x8B 0x5C 1500.
std::vector<uint8_t> NotesFile(const std::vector<Note>& notes) {
  std::vector<uint8_t> track = {0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20, 0};  // 500 000 µs a quarter
  for (const Note& n : notes) {
    track.insert(track.end(), {0xC0, n.program, 0, 0x90, n.key, n.velocity, 0x8B, 0x5C, 0x80, n.key, 0, 0x83, 0x74});
  }
  track.insert(track.end(), {0xFF, 0x2F, 0});
  const auto n = static_cast<uint32_t>(track.size());
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xF4,  // 500 ticks a quarter
                               'M', 'T', 'r', 'k', static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                               static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
  file.reserve(file.size() + track.size());
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

// One channel of a rendering.
struct Channel {
  std::vector<double> x;
  double Hertz(double from, double to) const {  // by rising zero crossings
    std::vector<double> at;
    for (size_t i = static_cast<size_t>(from * 44100); i + 1 < x.size() && static_cast<double>(i) < to * 44100; ++i) {
      if (x[i] < 0 && x[i + 1] >= 0) at.push_back(static_cast<double>(i) + x[i] / (x[i] - x[i + 1]));
    }
    return at.size() < 2 ? 0 : 44100.0 * static_cast<double>(at.size() - 1) / (at.back() - at.front());
  }
  double Rms(double from, double to) const {
    double sum = 0;
    size_t n = 0;
    for (size_t i = static_cast<size_t>(from * 44100); i < x.size() && static_cast<double>(i) < to * 44100; ++i, ++n) sum += x[i] * x[i];
    return n == 0 ? 0 : std::sqrt(sum / static_cast<double>(n));
  }
};

double Cents(double got, double want) { return 1200.0 * std::log2(got / want); }
double KeyHertz(double toneHertz, int key, double rootPitch) {
  return toneHertz * std::pow(2.0, (key - rootPitch) / 12.0);
}

class PlayerFilesTest : public testing::CommandLineTest {
 protected:
  void SetUp() override { Build(PlayerDisc()); }
  // FluidSynth's rendering of notes from the SoundFont, left and right.
  std::pair<Channel, Channel> Play(const std::string& soundFont, const std::vector<Note>& notes) {
    testing::WriteBytes(dir_ / "notes.mid", NotesFile(notes));
    const std::string out = dir_ / "played.wav";
    const auto run = RunCommand("fluidsynth -ni -q -g 1 -R 0 -C 0 -r 44100 -F " + ShellQuote(out) + " " +
                                ShellQuote(soundFont) + " " + ShellQuote(dir_ / "notes.mid"));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("rror"), std::string::npos) << run.err;  // FluidSynth says so when it rejects a file
    const testing::SoundFileInfo wav = testing::ReadWithSndfile(out);
    std::pair<Channel, Channel> lr;
    for (size_t i = 0; wav.channels == 2 && i + 1 < wav.samples.size(); i += 2) {
      lr.first.x.push_back(wav.samples[i] / 32768.0);
      lr.second.x.push_back(wav.samples[i + 1] / 32768.0);
    }
    EXPECT_GT(lr.first.x.size(), 44100u * 2 * notes.size());
    return lr;
  }
};

// One file a program, and the user hears of a zone the SoundFont can't
// play as the Akai does.
TEST_F(PlayerFilesTest, EachProgramGetsAFile) {
  const auto run = Run("sf2", "'A/PLAYER/*' --to " + ShellQuote(out_));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("PLAYER: 1 zone plays to the sample's end on the Akai"), std::string::npos) << run.err;
  EXPECT_EQ(testing::ListFolder(out_), (std::vector<std::string>{"OTHER.sf2", "PLAYER.sf2"}));
}

// --bank: both programs want preset 5; OTHER moves to 6 and the user hears
// of it. FluidSynth plays the bank: each zone at its pitch, layer, loop and
// channel.
TEST_F(PlayerFilesTest, FluidSynthPlaysEachZoneAtItsPitchLayerLoopAndChannel) {
  const auto run = Run("sf2", "--bank 'A/PLAYER/*' --to " + ShellQuote(out_));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("OTHER: preset 5 was taken by another program; it is preset 6"), std::string::npos)
      << run.err;
  EXPECT_EQ(testing::ListFolder(out_), (std::vector<std::string>{"PLAYER.sf2"}));

  // FluidSynth checks the chunks and records (a terminal record missing
  // would cost it the last preset or sample, which plays below); sample
  // names kept apart and the sound the headers describe here.
  testing::Chunk root;
  ASSERT_EQ(testing::WalkRiff(testing::ReadBytes(out_ + "/PLAYER.sf2"), &root), "");
  const testing::Chunk* pdta = root.Find("pdta");
  ASSERT_EQ(pdta->children.size(), 9u);
  const auto& shdr = pdta->children[8].data;
  std::set<std::string> names;
  uint64_t points = 0;
  for (size_t at = 0; at + 46 < shdr.size(); at += 46) {  // all but the terminal record
    const auto* text = reinterpret_cast<const char*>(&shdr[at]);
    names.insert(std::string(text, strnlen(text, 20)));
    points += testing::U32At(shdr, at + 24) - testing::U32At(shdr, at + 20) + 46;
  }
  EXPECT_EQ(names, (std::set<std::string>{"SOFT", "HARD", "TUNED", "ONCE", "DUO L", "DUO R", "HARD 2"}));
  EXPECT_EQ(root.Find("sdta")->Find("smpl")->data.size(), 2 * points);

  // Each note starts 2 s after the one before.
  const auto [left, right] = Play(out_ + "/PLAYER.sf2", {{5, 57, 63}, {5, 57, 64}, {5, 62, 100}, {5, 74, 100},
                                                          {5, 84, 100}, {6, 57, 63}});
  const auto mono = [&](double from, double to) {
    Channel c;
    for (size_t i = static_cast<size_t>(from * 44100); static_cast<double>(i) < to * 44100 && i < left.x.size(); ++i)
      c.x.push_back(left.x[i] + right.x[i]);
    return c.Hertz(0, to - from);
  };
  // The velocity layers: 63 plays SOFT, 64 HARD (an octave up).
  EXPECT_NEAR(Cents(mono(0.1, 1.4), KeyHertz(220.5, 57, 57)), 0, 5);
  EXPECT_NEAR(Cents(mono(2.1, 3.4), KeyHertz(441, 57, 57)), 0, 5);
  // The keygroup's and zone's tuning, on a sample of another rate.
  EXPECT_NEAR(Cents(mono(4.1, 5.4), KeyHertz(315, 62, 60 - 2.25)), 0, 5);
  EXPECT_NEAR(Cents(mono(6.02, 6.12), KeyHertz(441, 74, 69)), 0, 5);
  // A held looping sample sounds to the end of the note; one without a
  // loop falls silent when it ends.
  EXPECT_GT(left.Rms(1.3, 1.5), 0.3 * left.Rms(0.2, 0.4));
  EXPECT_LT(left.Rms(7.0, 7.5), 0.001);
  // The pair: DUO L on the left only, DUO R on the right only.
  EXPECT_NEAR(Cents(left.Hertz(8.1, 9.4), KeyHertz(441, 84, 60)), 0, 5);
  EXPECT_NEAR(Cents(right.Hertz(8.1, 9.4), KeyHertz(630, 84, 60)), 0, 5);
  EXPECT_GT(left.Rms(8.1, 9.4), 0.05);
  EXPECT_GT(right.Rms(8.1, 9.4), 0.05);
  // Preset 6 is OTHER: HARD at velocity 63.
  EXPECT_NEAR(Cents(mono(10.1, 11.4), KeyHertz(441, 57, 57)), 0, 5);
}

// Every region of the .sfz against the program; every sample= there, with
// the loop its WAV file has.
TEST_F(PlayerFilesTest, SfzRegionsAreTheProgramsZones) {
  for (const bool merge : {true, false}) {
    SCOPED_TRACE(merge ? "merged" : "--no-merge");
    fs::remove_all(out_);
    const auto run = Run("sfz", "A/PLAYER/PLAYER --to " + ShellQuote(out_) + (merge ? "" : " --no-merge"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::ifstream in(out_ + "/PLAYER/PLAYER.sfz");
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "// A/PLAYER/PLAYER");
    // Keys, velocities, sample, loop mode, pan and volume; the pitch of the
    // sample's own note.
    std::vector<std::string> want = {"48-59 0-63 SOFT.wav loop_continuous 0 0", "48-59 64-127 HARD.wav loop_continuous 0 0",
                                     "60-71 0-127 TUNED.wav loop_continuous 0 0", "72-83 0-127 ONCE.wav one_shot 0 0"};
    std::vector<double> pitches = {57, 57, 57.75, 69, 60, 60};
    if (merge) want.push_back("84-96 0-127 DUO LR.wav loop_continuous 0 0");
    else want.insert(want.end(), {"84-96 0-127 DUO L.wav loop_continuous -100 0", "84-96 0-127 DUO R.wav loop_continuous 100 0"});
    std::vector<std::string> got;
    while (std::getline(in, line)) {
      if (line.rfind("<region>", 0) != 0) continue;
      std::map<std::string, std::string> r;
      const size_t sample = line.find(" sample=");
      std::istringstream words(line.substr(8, sample - 8));
      for (std::string word; words >> word;) r[word.substr(0, word.find('='))] = word.substr(word.find('=') + 1);
      r["sample"] = line.substr(sample + 8);
      got.push_back(r["lokey"] + "-" + r["hikey"] + " " + r["lovel"] + "-" + r["hivel"] + " " + r["sample"] + " " +
                    r["loop_mode"] + " " + r["pan"] + " " + r["volume"]);
      EXPECT_NEAR(std::stod(r["pitch_keycenter"]) - std::stod(r["tune"]) / 100, pitches.at(got.size() - 1), 0.01) << line;
      const testing::SoundFileInfo wav = testing::ReadWithSndfile(out_ + "/PLAYER/" + r["sample"]);
      ASSERT_TRUE(wav.opened) << line;
      if (r["loop_mode"] != "loop_continuous") continue;
      EXPECT_EQ(r["loop_start"], std::to_string(wav.loopStart)) << line;
      EXPECT_EQ(std::stoul(r["loop_end"]) + 1, wav.loopEnd) << line;  // libsndfile's end is one past
    }
    EXPECT_EQ(got, want);
  }
}

}  // namespace
}  // namespace corvix
