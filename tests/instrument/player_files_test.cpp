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
// L/R pair panned apart. OTHER (also program 5): HARD over 36-96, sustain 0. LOOPS (7):
// one sample in two velocity zones that loop differently (36: DUAL, looping
// but not in zone 2; 48: CUT, whose loop is defined but not played unless
// zone 2 says so: zone 1 ends at the loop end), middle C through filter 30
// (60) and 99 (72, an octave up), roots below 0 (LOW at 10) and above 127 (HIGH at 120).
// MIRROR (8): the pair named R first. SPLIT (9): the pair's sides in
// different velocities, then DUO L alone panned right. EMPTY: no keygroup.
// MORE/OTHER: a second program of the name.
// Twelve keys from low, a in velocities 0-63, b in 64-127 (played as bMode says).
discbuilder::KeygroupSpec Layers(uint8_t low, const std::string& a, const std::string& b, uint8_t bMode = 0) {
  return {.lowKey = low, .highKey = static_cast<uint8_t>(low + 11),
          .zones = {{{.sample = a, .highVelocity = 63}, {.sample = b, .lowVelocity = 64, .playbackMode = bMode}}}};
}

// The keygroup with its zones 1 and 2 panned so.
discbuilder::KeygroupSpec Panned(discbuilder::KeygroupSpec k, int8_t first, int8_t second) {
  k.zones[0].pan = first;
  k.zones[1].pan = second;
  return k;
}

discbuilder::DiscSpec PlayerDisc() {
  discbuilder::VolumeSpec v;
  v.name = "PLAYER";
  // Loops of whole periods (200, 100 and 70 words).
  v.samples = {Tone("SOFT", 220.5, 22400, 57),          Tone("HARD", 441, 22400, 57),
               Tone("TUNED", 315, 11200, 60, true, 22050), Tone("ONCE", 441, 6615, 69, false),
               Tone("DUO L", 441, 22400, 60),           Tone("DUO R", 630, 22400, 60),
               Tone("DUAL", 441, 11000, 36),            Tone("CUT", 441, 22000, 48, false),
               Tone(" MID  C#", 261.6256, 22400, 60),    Tone("LOW", 110.25, 24000, 20),
               Tone("HIGH", 441, 22400, 120)};
  v.samples[0].playbackType = 1;  // SOFT loops while the key is held
  v.samples[7].playbackType = 0;  // CUT: a loop of 55 periods ending at word 11099, not played
  v.samples[7].loopPoint = 11099;
  v.samples[7].loopLength = 5500;
  using K = discbuilder::KeygroupSpec;
  v.programs = {
      testing::Program("PLAYER", {Layers(48, "SOFT", "HARD"),
                                  K{.lowKey = 60, .highKey = 71, .tuneSemitones = 2,
                                    .zones = {{{.sample = "TUNED", .tuneFraction = 64}}}},
                                  K{.lowKey = 72, .highKey = 83, .zones = {{{.sample = "ONCE", .playbackMode = 4}}}},
                                  Panned(Keygroup(84, 96, {"DUO L", "DUO R"}), -50, 50)}, 5),
      testing::Program("OTHER", {K{.lowKey = 36, .highKey = 96, .env1 = {0, 50, 0, 30}, .zones = {{{.sample = "HARD"}}}}}, 5),
      testing::Program("LOOPS", {Layers(36, "DUAL", "DUAL", 3), Layers(48, "CUT", "CUT", 1),
                                 K{.lowKey = 60, .highKey = 71, .filterFrequency = 30, .zones = {{{.sample = " MID  C#"}}}},
                                 Keygroup(72, 83, {" MID  C#"}),
                                 K{.lowKey = 0, .highKey = 11, .tuneSemitones = 30, .zones = {{{.sample = "LOW"}}}},
                                 K{.lowKey = 115, .highKey = 127, .tuneSemitones = -20, .zones = {{{.sample = "HIGH"}}}}}, 7),
      testing::Program("MIRROR", {Panned(Keygroup(60, 71, {"DUO R", "DUO L"}), 50, -50)}, 8),
      testing::Program("SPLIT", {Layers(60, "DUO L", "DUO R"), Panned(Keygroup(72, 83, {"DUO L"}), 50, 0)}, 9),
      testing::Program("EMPTY", {}, 10)};
  return {.partitions = {{{v, testing::Volume("MORE", {testing::Program("OTHER", {Keygroup(36, 96, {"HARD"})}, 5)},
                                              {Tone("HARD", 441, 22400, 57)})}}}};
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
    // FluidSynth says "error" when it rejects a file.
    EXPECT_TRUE(run.exitCode == 0 && run.err.find("rror") == std::string::npos) << run.err;
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

// One file a program, each at preset 0 (a player starts there); a program
// without a zone to play gets none, and the run says so. (The notes of a
// bank, compared whole, below.)
TEST_F(PlayerFilesTest, EachProgramGetsAFile) {
  const auto run = Run("sf2", "'A/PLAYER/*' --to " + ShellQuote(out_));
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.err.find("A/PLAYER/EMPTY: the program has no zone to play; no file was written for it"), std::string::npos);
  EXPECT_EQ(testing::ListFolder(out_),
            (std::vector<std::string>{"LOOPS.sf2", "MIRROR.sf2", "OTHER.sf2", "PLAYER.sf2", "SPLIT.sf2"}));
  const auto [left, right] = Play(out_ + "/PLAYER.sf2", {{0, 57, 64}});
  EXPECT_NEAR(Cents(left.Hertz(0.1, 1.4), KeyHertz(441, 57, 57)), 0, 5);
}

// --bank: presets by MIDI program number, the later OTHERs moved on (the
// user hears of it, by path, as information), EMPTY none. FluidSynth plays
// the bank: each zone at its pitch, layer, loop, filter and channel.
TEST_F(PlayerFilesTest, FluidSynthPlaysEachZoneAtItsPitchLayerLoopAndChannel) {
  const auto run = Run("sf2", "--bank 'A/*/*' --to " + ShellQuote(out_));
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_EQ(run.err,
            "corvix: Not everything could be converted:\n"
            "  A/PLAYER/EMPTY: the program has no zone to play; it has no preset in the file\n"
            "  A/PLAYER/PLAYER: 1 zone plays to the sample's end on the Akai; here the sound stops when the key is let go\n"
            "Good to know:\n"
            "  A/PLAYER/OTHER: preset 5 was taken by another program; it is preset 6\n"
            "  A/MORE/OTHER: preset 5 was taken by another program; it is preset 10\n"
            "corvix: 1 file written; 2 programs had parts left out: see above\n");
  EXPECT_EQ(testing::ListFolder(out_), (std::vector<std::string>{"PLAYER.sf2"}));

  // FluidSynth checks the chunks and records (a terminal record missing
  // would cost it the last preset or sample, which plays below); sample
  // and preset names kept apart and the sound the headers describe here.
  testing::Chunk root;
  ASSERT_EQ(testing::WalkRiff(testing::ReadBytes(out_ + "/PLAYER.sf2"), &root), "");
  const testing::Chunk* pdta = root.Find("pdta");
  const auto names = [](const std::vector<uint8_t>& records, size_t size) {
    std::vector<std::string> out;
    for (size_t at = 0; at + size < records.size(); at += size) {  // all but the terminal record
      const auto* text = reinterpret_cast<const char*>(&records[at]);
      out.emplace_back(text, strnlen(text, 20));
    }
    return out;
  };
  EXPECT_EQ(names(pdta->children.at(0).data, 38),
            (std::vector<std::string>{"PLAYER", "OTHER", "LOOPS", "MIRROR", "SPLIT", "OTHER 2"}));
  const auto& shdr = pdta->children.at(8).data;
  uint64_t points = 0;
  for (size_t at = 0; at + 46 < shdr.size(); at += 46) points += testing::U32At(shdr, at + 24) - testing::U32At(shdr, at + 20) + 46;
  EXPECT_EQ(names(shdr, 46), (std::vector<std::string>{"SOFT", "HARD", "TUNED", "ONCE", "DUO L", "DUO R", "HARD 2",
                                                       "DUAL", "CUT", " MID  C#", "LOW", "HIGH", "DUO L 2", "DUO R 2",
                                                       "DUO L 3", "DUO R 3", "HARD 3"}));
  EXPECT_EQ(root.Find("sdta")->Find("smpl")->data.size(), 2 * points);

  // Each note starts 2 s after the one before.
  const auto [left, right] = Play(out_ + "/PLAYER.sf2",
                                  {{5, 57, 63}, {5, 57, 64}, {5, 62, 100}, {5, 74, 100}, {5, 84, 100}, {6, 57, 63},
                                   {7, 36, 63}, {7, 36, 64}, {7, 48, 63}, {7, 48, 64}, {7, 60, 100}, {7, 72, 100},
                                   {7, 10, 100}, {7, 120, 100}, {8, 60, 100}, {9, 60, 100}, {9, 72, 100}});
  const auto mono = [&](double from, double to) {
    Channel c;
    for (size_t i = static_cast<size_t>(from * 44100); static_cast<double>(i) < to * 44100 && i < left.x.size(); ++i)
      c.x.push_back(left.x[i] + right.x[i]);
    return c;
  };
  // Each note's pitch over its first 1.3 s, in both channels or in one.
  struct Pitch {
    int note;
    char channel;
    double hertz;
  };
  const Pitch pitches[] = {
      {0, 'm', 220.5}, {1, 'm', 441},  // the velocity layers
      {2, 'm', KeyHertz(315, 62, 60 - 2.25)},        // the keygroup's and zone's tuning, at another rate
      {4, 'l', KeyHertz(441, 84, 60)}, {4, 'r', KeyHertz(630, 84, 60)},  // the pair, each side on its own
      {12, 'm', KeyHertz(110.25, 10, 20 - 30)}, {13, 'm', KeyHertz(441, 120, 120 + 20)},  // roots outside 0-127
      {14, 'l', 441}, {14, 'r', 630},  // a pair named R first: still DUO L on the left
      {15, 'l', 630}, {15, 'r', 630}, {16, 'r', 882}};  // SPLIT: DUO R alone at 100; DUO L alone, panned right
  for (const Pitch& p : pitches) {
    SCOPED_TRACE(p.note);
    const double from = 2.0 * p.note + 0.1, to = from + 1.3;
    const double hertz = p.channel == 'l' ? left.Hertz(from, to) : p.channel == 'r' ? right.Hertz(from, to)
                                                                                    : mono(from, to).Hertz(0, 1.3);
    EXPECT_NEAR(Cents(hertz, p.hertz), 0, 5);
  }
  EXPECT_NEAR(Cents(mono(6.02, 6.12).Hertz(0, 0.1), KeyHertz(441, 74, 69)), 0, 5);
  // Preset 6 is OTHER, its sustain level 0: heard at first, silent once it has decayed.
  EXPECT_TRUE(mono(10.0, 10.1).Rms(0, 0.1) > 0.005 && mono(11.0, 11.4).Rms(0, 0.4) < 0.001);
  // A held looping sample sounds to the end of the note; one without a
  // loop falls silent when it ends.
  EXPECT_TRUE(left.Rms(1.3, 1.5) > 0.3 * left.Rms(0.2, 0.4) && left.Rms(7.0, 7.5) < 0.001);
  // One sample, each zone its own loop and end: DUAL loops in zone 1 only;
  // CUT's zone 1 stops at the loop end (0.25 s), its zone 2 loops.
  EXPECT_TRUE(mono(13.3, 13.5).Rms(0, 0.2) > 0.05 && mono(14.4, 15.4).Rms(0, 1) < 0.001);
  EXPECT_GT(mono(16.05, 16.2).Rms(0, 0.15), 0.05);
  EXPECT_LT(mono(16.3, 16.45).Rms(0, 0.15), 0.001);
  EXPECT_GT(mono(19.3, 19.5).Rms(0, 0.2), 0.05);
  // Middle C through filter 30 at most 20 dB below the open filter; DUO L
  // panned right is not heard on the left.
  EXPECT_GT(mono(20.2, 21.4).Rms(0, 1.2), 0.1 * mono(22.2, 23.4).Rms(0, 1.2));
  EXPECT_LT(left.Rms(32.1, 33.4), 0.01 * right.Rms(32.1, 33.4));
}

// Every region of each .sfz against its program; every sample= there, its
// WAV file's root key the region's pitch, its loop the region's.
TEST_F(PlayerFilesTest, SfzRegionsAreTheProgramsZones) {
  const auto run = Run("sfz", "'A/PLAYER/*' --to " + ShellQuote(out_));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // Keys, velocities, sample, loop mode and what else the region sets.
  const std::map<std::string, std::vector<std::string>> want = {
      {"PLAYER", {"48-59 0-63 SOFT.wav loop_sustain", "48-59 64-127 HARD.wav loop_continuous",
                  "60-71 0-127 TUNED.wav loop_continuous", "72-83 0-127 ONCE.wav one_shot",
                  "84-96 0-127 DUO LR.wav loop_continuous width=100"}},
      {"MIRROR", {"60-71 0-127 DUO LR.wav loop_continuous width=100"}},
      {"LOOPS", {"36-47 0-63 DUAL.wav loop_continuous", "36-47 64-127 DUAL.wav no_loop",
                 "48-59 0-63 CUT.wav no_loop end=11099", "48-59 64-127 CUT.wav loop_continuous",
                 "60-71 0-127 MID  C#.wav loop_continuous cutoff=943.2655", "72-83 0-127 MID  C#.wav loop_continuous",
                 "0-11 0-127 LOW.wav loop_continuous transpose=10", "115-127 0-127 HIGH.wav loop_continuous transpose=-13"}},
      {"SPLIT", {"60-71 0-63 DUO L.wav loop_continuous", "60-71 64-127 DUO R.wav loop_continuous",
                 "72-83 0-127 DUO L.wav loop_continuous pan=100"}},
      {"EMPTY", {}}};
  std::map<std::string, double> pitches = {{"SOFT", 57}, {"HARD", 57}, {"TUNED", 57.75}, {"ONCE", 69}, {"DUO", 60},
                                           {"DUAL", 36}, {"CUT", 48}, {"MID", 60}, {"LOW", -10}, {"HIGH", 140}};
  std::map<std::string, std::vector<std::string>> got;
  for (const auto& [program, regions] : want) {
    std::ifstream in(out_ + "/" + program + "/" + program + ".sfz");
    std::string line;
    EXPECT_TRUE(std::getline(in, line) && line == "// A/PLAYER/" + program) << program;
    got[program];
    while (std::getline(in, line)) {
      if (line.rfind("<region>", 0) != 0) continue;
      std::map<std::string, std::string> r;
      const size_t sample = line.find(" sample=");
      std::istringstream words(line.substr(8, sample - 8));
      for (std::string word; words >> word;) r[word.substr(0, word.find('='))] = word.substr(word.find('=') + 1);
      r["sample"] = line.substr(sample + 8);
      std::string summary = r["lokey"] + "-" + r["hikey"] + " " + r["lovel"] + "-" + r["hivel"] + " " + r["sample"] +
                            " " + r["loop_mode"];
      for (const char* also : {"end", "cutoff", "transpose", "pan", "width"}) {
        if (r.count(also) != 0 && r[also] != "0") summary += std::string(" ") + also + "=" + r[also];
      }
      got[program].push_back(summary);
      const double pitch = std::stod(r["pitch_keycenter"]) - std::atof(r["transpose"].c_str()) - std::stod(r["tune"]) / 100;
      EXPECT_NEAR(pitch, pitches.at(r["sample"].substr(0, r["sample"].find_first_of(" ."))), 0.01) << line;
      const testing::SoundFileInfo wav = testing::ReadWithSndfile(out_ + "/" + program + "/" + r["sample"]);
      EXPECT_NEAR(wav.baseNote, std::clamp(pitch, 0.0, 127.0), 0.99) << line;
      EXPECT_EQ(wav.loopCount, r["sample"] == "ONCE.wav" || r["sample"] == "CUT.wav" ? 0 : 1) << line;  // as the first zone plays it
      if (r["loop_mode"].rfind("loop_", 0) != 0 || wav.loopCount == 0) continue;
      EXPECT_EQ(r["loop_start"], std::to_string(wav.loopStart)) << line;
      EXPECT_EQ(std::stoul(r["loop_end"]) + 1, wav.loopEnd) << line;  // libsndfile's end is one past
    }
  }
  EXPECT_EQ(got, want);
  // The root key of "Import Waves" is lowered for a sample at 22050 Hz,
  // unless the other samplers' is asked for.
  for (const auto& [option, root] : {std::pair<std::string, int>{"", 45}, {" --standard-root-key", 57}}) {
    ASSERT_EQ(Run("import", "A/PLAYER/PLAYER --to " + ShellQuote(out_) + option).exitCode, 0);
    EXPECT_EQ(testing::ReadWithSndfile(out_ + "/PLAYER/TUNED.wav").baseNote, root) << option;
  }
}

}  // namespace
}  // namespace corvix
