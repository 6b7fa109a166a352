#include "instrument/soundfont.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "common/byte_order.h"
#include "common/messages.h"
#include "common/pending_error.h"
#include "media/akai_names.h"
#include "riff/chunk_writer.h"
#include "riff/file_system.h"
#include "riff/riff_file.h"

namespace corvix {
namespace {

constexpr uint32_t kZeroPoints = 46;     // after every sample
constexpr size_t kNameBytes = 20;
constexpr uint32_t kCopyFrames = 32768;  // frames read at a time
constexpr uint64_t kMaxFileBytes = 0xFFFFFFFF;  // RIFF positions are 32-bit

// Generators (SoundFont 2.01, section 8.1.2).
enum Generator : uint16_t {
  kStartAddrsOffset = 0,
  kEndAddrsOffset = 1,
  kStartloopAddrsOffset = 2,
  kEndloopAddrsOffset = 3,
  kStartAddrsCoarseOffset = 4,
  kInitialFilterFc = 8,
  kEndAddrsCoarseOffset = 12,
  kPan = 17,
  kAttackVolEnv = 34,
  kDecayVolEnv = 36,
  kSustainVolEnv = 37,
  kReleaseVolEnv = 38,
  kInstrument = 41,
  kKeyRange = 43,
  kVelRange = 44,
  kStartloopAddrsCoarseOffset = 45,
  kEndloopAddrsCoarseOffset = 50,
  kCoarseTune = 51,
  kFineTune = 52,
  kSampleId = 53,
  kSampleModes = 54,
  kOverridingRootKey = 58,
};
enum SampleType : uint16_t { kMonoSample = 1, kRightSample = 2, kLeftSample = 4 };

// What a WAV file holds, from its head.
struct WaveInfo {
  bool ok = false;
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint32_t dataOffset = 0, dataBytes = 0;
  uint32_t frames() const { return channels > 0 ? dataBytes / (2u * channels) : 0; }
};

WaveInfo ReadWaveInfo(const std::string& path) {
  WaveInfo info;
  std::unique_ptr<RiffFile> file = RiffFile::Open(path, OpenMode::kRead);
  if (!file) return info;
  ChunkInfo form, format, data;
  form.type = FourCC("WAVE");
  format.id = FourCC("fmt ");
  data.id = FourCC("data");
  if (!file->Descend(form, nullptr, FindFlag::kRiff) || !file->Descend(format, &form, FindFlag::kChunk)) return info;
  uint8_t bytes[16] = {};
  ReadChunkPadded(*file, bytes, sizeof bytes, format.size);
  if (!file->Ascend(format) || !file->Descend(data, &form, FindFlag::kChunk)) return info;
  info.channels = ReadU16LE(bytes + 2);
  info.rate = ReadU32LE(bytes + 4);
  info.dataOffset = data.dataOffset;
  info.dataBytes = data.size;
  info.ok = ReadU16LE(bytes) == 1 && ReadU16LE(bytes + 14) == 16 && (info.channels == 1 || info.channels == 2);
  return info;
}

// One sample of the file: a channel of a wave.
struct Sample {
  std::string folder, path;
  WaveInfo wave;
  uint16_t channel = 0;   // 0 left (or mono), 1 right
  uint32_t start = 0;     // in points, in the smpl chunk
  WaveLoop loop;          // frames of the wave
  uint16_t type = kMonoSample, link = 0;
  std::string name;
};

// The points a sample takes in the smpl chunk: its sound and the zeros after it.
uint64_t SamplePoints(const Sample& s) { return uint64_t{s.wave.frames()} + kZeroPoints; }

constexpr uint32_t kNoSound = UINT32_MAX;

// What goes into a file: the samples in their smpl order, the zones' samples
// and each program's preset.
struct Plan {
  std::vector<Sample> samples;
  std::vector<std::map<uint32_t, uint32_t>> firstSample;  // per program: row → its (first) sample, or kNoSound
  uint64_t points = 0;                                    // the smpl chunk's
  std::vector<std::string> names;                         // each program's preset and instrument
  std::vector<uint32_t> places;                           // each program's preset: bank * 128 + number
};

// The cutoff in absolute cents (8.176 Hz at 0), within what the format takes.
int32_t CutoffCents(double hertz) {
  return std::clamp(static_cast<int32_t>(std::lround(1200.0 * std::log2(hertz / 8.176))), 1500, 13500);
}

int32_t Timecents(double seconds) {
  if (seconds <= 0.001) return -12000;
  return std::clamp<int32_t>(static_cast<int32_t>(std::lround(1200.0 * std::log2(seconds))), -12000, 8000);
}

int32_t SustainCentibels(double percent) {
  if (percent <= 0.0) return 1440;
  return std::clamp<int32_t>(static_cast<int32_t>(std::lround(200.0 * std::log10(100.0 / percent))), 0, 1440);
}

// Why a wave could not be read: its folder is gone, or the file is not what
// the job wrote.
std::string WaveFailure(const std::string& folder, const std::string& path) {
  return CurrentFileSystem().FolderExists(folder) ? kCantReadFile + path : kFolderGone;
}

std::string PresetText(uint32_t place) {
  return place < 128 ? "preset " + std::to_string(place)
                     : "preset " + std::to_string(place % 128) + " of bank " + std::to_string(place / 128);
}

}  // namespace

std::vector<std::string> UniqueNames(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  std::set<std::string> taken;
  for (const std::string& wanted : names) {
    std::string base = TrimmedName(wanted).substr(0, kNameBytes - 1);
    std::string name = base;
    for (int k = 2; taken.count(name) != 0; ++k) {
      const std::string suffix = " " + std::to_string(k);
      name = base.substr(0, kNameBytes - 1 - suffix.size()) + suffix;
    }
    taken.insert(name);
    out.push_back(name);
  }
  return out;
}

namespace {

// The plan: what the file holds, read from the waves' heads.

// The samples: each wave a zone plays, once per program (a pair as two),
// named and placed in the smpl chunk. False (PendingError set) when a wave
// can't be read.
bool PlanSamples(const std::vector<SoundFontProgram>& programs, Plan& plan, std::vector<std::string>* notes) {
  plan.firstSample.assign(programs.size(), {});
  std::vector<std::string> wantedNames;
  for (size_t p = 0; p < programs.size(); ++p) {
    const SoundFontProgram& program = programs[p];
    for (const PlayZone& zone : program.zones) {
      if (plan.firstSample[p].count(zone.row) != 0) continue;
      const WaveEntry& row = program.rows[zone.row];
      const std::string wavePath = JoinPath(program.folder, WaveFileName(row.name, row.fileCopy));
      const WaveInfo wave = ReadWaveInfo(wavePath);
      if (!wave.ok) {
        SetPendingError(WaveFailure(program.folder, wavePath).c_str(), kStyleError);
        return false;
      }
      if (wave.frames() == 0) {
        plan.firstSample[p][zone.row] = kNoSound;
        notes->push_back(program.label + ": \"" + TrimmedName(row.name) + "\" holds no sound; its zones are left out");
        continue;
      }
      plan.firstSample[p][zone.row] = static_cast<uint32_t>(plan.samples.size());
      WaveSource source = zone.row < program.sources.size() ? program.sources[zone.row] : WaveSource{};
      source.frames = std::min(source.frames, wave.frames());
      for (uint16_t channel = 0; channel < wave.channels; ++channel) {
        Sample& s = plan.samples.emplace_back();
        s.folder = program.folder;
        s.path = wavePath;
        s.wave = wave;
        s.channel = channel;
        s.loop = SampleLoop(source);
        const char* name = row.name;
        if (wave.channels == 2) name = channel == 0 ? source.left : source.right;
        wantedNames.push_back(name[0] != '\0' ? name : row.name);
        if (wave.channels == 2 && zone.stereo) {
          s.type = channel == 0 ? kLeftSample : kRightSample;
          s.link = static_cast<uint16_t>(plan.samples.size() - 1 + (channel == 0 ? 1 : -1));
        }
      }
    }
  }
  const std::vector<std::string> names = UniqueNames(wantedNames);
  for (size_t i = 0; i < plan.samples.size(); ++i) {
    plan.samples[i].name = names[i];
    plan.samples[i].start = static_cast<uint32_t>(std::min<uint64_t>(plan.points, UINT32_MAX));
    plan.points += SamplePoints(plan.samples[i]);
  }
  return true;
}

// The presets: named after their programs (two of one name told apart),
// each at its program's number or, when an earlier program took that, the
// next free one (info). One-shot zones are noted.
void PlanPresets(const std::vector<SoundFontProgram>& programs, Plan& plan, std::vector<std::string>* notes,
                 std::vector<std::string>* info) {
  for (const SoundFontProgram& program : programs) plan.names.push_back(program.name);
  plan.names = UniqueNames(plan.names);
  std::set<uint32_t> taken;
  for (const SoundFontProgram& program : programs) {
    const auto oneShots = std::count_if(program.zones.begin(), program.zones.end(), [](const PlayZone& z) { return z.oneShot; });
    if (oneShots > 0) {
      notes->push_back(program.label + ": " + std::to_string(oneShots) +
                       (oneShots == 1 ? " zone plays" : " zones play") +
                       " to the sample's end on the Akai; here the sound stops when the key is let go");
    }
    uint32_t place = program.preset & 0x7F;
    while (taken.count(place) != 0) ++place;
    taken.insert(place);
    plan.places.push_back(place);
    if (place != program.preset && info != nullptr) {
      info->push_back(program.label + ": preset " + std::to_string(program.preset) +
                      " was taken by another program; it is " + PresetText(place));
    }
  }
}

// The preset data as plain records, each table ending in its terminal
// record. A bag is the index of its first generator (no bag has modulators).
struct GeneratorRecord {
  uint16_t op = 0;
  uint16_t amount = 0;  // as stored: a signed amount, or a range's low and high bytes
};
struct PresetHeader {
  std::string name;
  uint16_t number = 0, bank = 0;
  uint32_t bag = 0;
};
struct InstrumentHeader {
  std::string name;
  uint32_t bag = 0;
};
struct SampleHeader {
  std::string name;
  uint32_t start = 0, end = 0, loopStart = 0, loopEnd = 0, rate = 0;
  uint8_t pitch = 0;
  uint16_t link = 0, type = 0;
};
struct Tables {
  std::vector<PresetHeader> presets;
  std::vector<uint32_t> presetBags;
  std::vector<GeneratorRecord> presetGenerators;
  std::vector<InstrumentHeader> instruments;
  std::vector<uint32_t> instrumentBags;
  std::vector<GeneratorRecord> instrumentGenerators;
  std::vector<SampleHeader> samples;
};

GeneratorRecord Amount(uint16_t op, int32_t amount) {
  return {op, static_cast<uint16_t>(static_cast<int16_t>(std::clamp<int32_t>(amount, -32768, 32767)))};
}
// An instrument's or a sample's index: unsigned, all 16 bits.
GeneratorRecord Index(uint16_t op, uint32_t index) { return {op, static_cast<uint16_t>(index)}; }
GeneratorRecord Range(uint16_t op, uint8_t low, uint8_t high) {
  return {op, static_cast<uint16_t>(std::min<uint8_t>(low, 127) | std::min<uint8_t>(high, 127) << 8)};
}

// An offset in points as a fine generator and, beyond its 16 bits, a
// coarse one of 32768 points each.
void AddOffset(std::vector<GeneratorRecord>& out, uint16_t fine, uint16_t coarse, int64_t points) {
  const int64_t coarsePart = points / 32768;
  if (points - coarsePart * 32768 != 0) out.push_back(Amount(fine, static_cast<int32_t>(points - coarsePart * 32768)));
  if (coarsePart != 0) out.push_back(Amount(coarse, static_cast<int32_t>(coarsePart)));
}

// The generators of one instrument zone: the zone played from one channel
// of its sample (sampleId).
void AddZone(std::vector<GeneratorRecord>& out, const PlayZone& zone, const Sample& sample, uint32_t channel,
             uint32_t sampleId) {
  const int64_t frames = sample.wave.frames();
  const CoarseAndFine tune = SplitCents(zone.tuneCents);
  out.push_back(Range(kKeyRange, zone.lowKey, zone.highKey));
  out.push_back(Range(kVelRange, zone.lowVelocity, zone.highVelocity));
  // Each zone its own part of the sample's sound, and its own loop.
  AddOffset(out, kStartAddrsOffset, kStartAddrsCoarseOffset, std::min<int64_t>(zone.start, frames));
  AddOffset(out, kEndAddrsOffset, kEndAddrsCoarseOffset, std::min<int64_t>(zone.end, frames) - frames);
  const bool loops = zone.loops && sample.loop.defined;
  if (loops) {
    AddOffset(out, kStartloopAddrsOffset, kStartloopAddrsCoarseOffset, int64_t{zone.loopStart} - sample.loop.start);
    AddOffset(out, kEndloopAddrsOffset, kEndloopAddrsCoarseOffset, int64_t{zone.loopEnd} - sample.loop.end);
  }
  out.push_back(Amount(kPan, channel == 0 ? zone.pan * 10 : -zone.pan * 10));
  if (zone.filtered) out.push_back(Amount(kInitialFilterFc, CutoffCents(zone.cutoffHertz)));
  out.push_back(Amount(kAttackVolEnv, Timecents(zone.attackSeconds)));
  out.push_back(Amount(kDecayVolEnv, Timecents(zone.decaySeconds)));
  out.push_back(Amount(kSustainVolEnv, SustainCentibels(zone.sustainPercent)));
  out.push_back(Amount(kReleaseVolEnv, Timecents(zone.releaseSeconds)));
  // 1: loops on through the release; 3: plays on to the end after it.
  out.push_back(Amount(kSampleModes, loops ? (zone.loopUntilRelease ? 3 : 1) : 0));
  out.push_back(Amount(kOverridingRootKey, zone.rootKey));
  if (tune.semitones != 0) out.push_back(Amount(kCoarseTune, tune.semitones));
  if (tune.cents != 0) out.push_back(Amount(kFineTune, tune.cents));
  out.push_back(Index(kSampleId, sampleId));
}

// The preset data of the plan. Each program is a preset with one
// generator (its instrument) and an instrument of the same name whose zones
// are the program's zones with sound, a pair's zone as one per channel.
Tables BuildTables(const std::vector<SoundFontProgram>& programs, const Plan& plan) {
  Tables t;
  for (size_t p = 0; p < programs.size(); ++p) {
    t.instruments.push_back({plan.names[p], static_cast<uint32_t>(t.instrumentBags.size())});
    for (const PlayZone& zone : programs[p].zones) {
      const auto found = plan.firstSample[p].find(zone.row);
      if (found == plan.firstSample[p].end() || found->second == kNoSound) continue;
      const Sample& sample = plan.samples[found->second];
      // A pair's zone plays both channels; a zone of one side of a pair
      // that was not merged plays its own file, mono.
      const uint32_t channels = zone.stereo ? sample.wave.channels : 1;
      for (uint32_t channel = 0; channel < channels; ++channel) {
        t.instrumentBags.push_back(static_cast<uint32_t>(t.instrumentGenerators.size()));
        AddZone(t.instrumentGenerators, zone, sample, channel, found->second + channel);
      }
    }
    const uint32_t place = plan.places[p];
    t.presets.push_back({plan.names[p], static_cast<uint16_t>(place % 128), static_cast<uint16_t>(place / 128),
                         static_cast<uint32_t>(p)});
    t.presetBags.push_back(static_cast<uint32_t>(p));
    t.presetGenerators.push_back(Index(kInstrument, static_cast<uint32_t>(p)));
  }
  for (const Sample& s : plan.samples) {
    const uint32_t end = s.start + s.wave.frames();
    // Original pitch 60 and no pitch correction: each zone names its own
    // root key and fine tune.
    t.samples.push_back({s.name, s.start, end, s.loop.defined ? s.start + s.loop.start : s.start,
                         s.loop.defined ? s.start + s.loop.end + 1 : end, s.wave.rate, 60, s.link, s.type});
  }
  // Terminal records.
  t.presets.push_back({"EOP", 0, 0, static_cast<uint32_t>(t.presetBags.size())});
  t.presetBags.push_back(static_cast<uint32_t>(t.presetGenerators.size()));
  t.presetGenerators.push_back({});
  t.instruments.push_back({"EOI", static_cast<uint32_t>(t.instrumentBags.size())});
  t.instrumentBags.push_back(static_cast<uint32_t>(t.instrumentGenerators.size()));
  t.instrumentGenerators.push_back({});
  t.samples.push_back({"EOS"});
  return t;
}

// The format's indices are 16-bit: no table may pass 65535 records.
bool WithinIndexLimits(const Tables& t) {
  const size_t counts[] = {t.presets.size(), t.presetBags.size(), t.presetGenerators.size(),
                           t.instruments.size(), t.instrumentBags.size(), t.instrumentGenerators.size(),
                           t.samples.size()};
  return std::all_of(std::begin(counts), std::end(counts), [](size_t n) { return n <= 65535; });
}

// The file: RIFF chunks, each one's size what is written into it.

void PutName(std::vector<uint8_t>& out, const std::string& name) {
  uint8_t field[kNameBytes] = {};
  std::memcpy(field, name.data(), std::min(name.size(), kNameBytes - 1));
  out.insert(out.end(), field, field + kNameBytes);
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v));
  Put16(out, static_cast<uint16_t>(v >> 16));
}

// The tables as the chunks store them.
std::vector<uint8_t> Bytes(const std::vector<PresetHeader>& records) {
  std::vector<uint8_t> out;
  for (const PresetHeader& r : records) {
    PutName(out, r.name);
    Put16(out, r.number);
    Put16(out, r.bank);
    Put16(out, static_cast<uint16_t>(r.bag));
    Put32(out, 0);  // library, genre, morphology
    Put32(out, 0);
    Put32(out, 0);
  }
  return out;
}
std::vector<uint8_t> Bytes(const std::vector<InstrumentHeader>& records) {
  std::vector<uint8_t> out;
  for (const InstrumentHeader& r : records) {
    PutName(out, r.name);
    Put16(out, static_cast<uint16_t>(r.bag));
  }
  return out;
}
std::vector<uint8_t> Bytes(const std::vector<uint32_t>& bags) {
  std::vector<uint8_t> out;
  for (const uint32_t generator : bags) {
    Put16(out, static_cast<uint16_t>(generator));
    Put16(out, 0);  // modulators
  }
  return out;
}
std::vector<uint8_t> Bytes(const std::vector<GeneratorRecord>& records) {
  std::vector<uint8_t> out;
  for (const GeneratorRecord& r : records) {
    Put16(out, r.op);
    Put16(out, r.amount);
  }
  return out;
}
std::vector<uint8_t> Bytes(const std::vector<SampleHeader>& records) {
  std::vector<uint8_t> out;
  for (const SampleHeader& r : records) {
    PutName(out, r.name);
    Put32(out, r.start);
    Put32(out, r.end);
    Put32(out, r.loopStart);
    Put32(out, r.loopEnd);
    Put32(out, r.rate);
    out.push_back(r.pitch);
    out.push_back(0);  // pitch correction
    Put16(out, r.link);
    Put16(out, r.type);
  }
  return out;
}

// A zero-terminated text chunk, its length even.
std::vector<uint8_t> Text(const std::string& text) {
  std::vector<uint8_t> bytes(text.begin(), text.begin() + static_cast<ptrdiff_t>(std::min<size_t>(text.size(), 254)));
  bytes.push_back(0);
  if (bytes.size() % 2 != 0) bytes.push_back(0);
  return bytes;
}

// A chunk whose bytes are known before it is written.
struct Chunk {
  uint32_t id;
  std::vector<uint8_t> bytes;
};

// The bytes a chunk of size bytes of data takes in the file: its header,
// its data and the pad byte after odd data.
uint64_t ChunkBytes(uint64_t size) { return 8 + size + (size & 1); }
uint64_t ListBytes(const std::vector<Chunk>& chunks) {
  uint64_t size = 4;  // the list type
  for (const Chunk& c : chunks) size += ChunkBytes(c.bytes.size());
  return ChunkBytes(size);
}

// The file's parts: INFO, the sample data (the samples, copied as it is
// written) and the preset data.
struct Layout {
  std::vector<Chunk> info, presetData;
  uint64_t sampleBytes = 0;  // of the smpl chunk

  uint64_t FileBytes() const {
    const uint64_t sdta = ChunkBytes(4 + ChunkBytes(sampleBytes));
    return ChunkBytes(4 + ListBytes(info) + sdta + ListBytes(presetData));
  }
};

Layout LayOut(const std::string& bankName, const Plan& plan, const Tables& t) {
  Layout layout;
  const std::vector<uint8_t> noModulator(10, 0);  // the terminal record alone
  layout.info = {{FourCC("ifil"), {2, 0, 1, 0}},
                 {FourCC("isng"), Text("EMU8000")},
                 {FourCC("INAM"), Text(bankName)},
                 {FourCC("ISFT"), Text("Veltrex Corvix")}};
  layout.sampleBytes = 2 * plan.points;
  layout.presetData = {{FourCC("phdr"), Bytes(t.presets)},
                       {FourCC("pbag"), Bytes(t.presetBags)},
                       {FourCC("pmod"), noModulator},
                       {FourCC("pgen"), Bytes(t.presetGenerators)},
                       {FourCC("inst"), Bytes(t.instruments)},
                       {FourCC("ibag"), Bytes(t.instrumentBags)},
                       {FourCC("imod"), noModulator},
                       {FourCC("igen"), Bytes(t.instrumentGenerators)},
                       {FourCC("shdr"), Bytes(t.samples)}};
  return layout;
}

bool WriteList(RiffFile& file, uint32_t type, const std::vector<Chunk>& chunks) {
  ChunkInfo list;
  if (!BeginListChunk(file, list, type)) return false;
  for (const Chunk& c : chunks) {
    if (!WriteChunk(file, c.id, c.bytes.data(), static_cast<uint32_t>(c.bytes.size()))) return false;
  }
  return EndChunk(file, list) != 0;
}

// Copies one channel of a wave into the smpl chunk, then its zero points.
// Empty, or why it failed.
std::string CopySample(RiffFile& file, const Sample& s) {
  std::unique_ptr<RiffFile> wave = RiffFile::Open(s.path, OpenMode::kRead);
  if (!wave || !wave->Seek(s.wave.dataOffset)) return WaveFailure(s.folder, s.path);
  const uint32_t frameBytes = 2u * s.wave.channels;
  std::vector<uint8_t> in(size_t{kCopyFrames} * frameBytes), out(size_t{kCopyFrames} * 2);
  for (uint32_t done = 0; done < s.wave.frames();) {
    const uint32_t frames = std::min(kCopyFrames, s.wave.frames() - done);
    const int64_t got = wave->Read(in.data(), size_t{frames} * frameBytes);
    if (got != static_cast<int64_t>(size_t{frames} * frameBytes)) return WaveFailure(s.folder, s.path);
    for (uint32_t f = 0; f < frames; ++f) std::memcpy(&out[2 * f], &in[f * frameBytes + 2u * s.channel], 2);
    if (file.Write(out.data(), size_t{frames} * 2) != static_cast<int64_t>(size_t{frames} * 2)) return kDiskFull;
    done += frames;
  }
  const uint8_t zeros[2 * kZeroPoints] = {};
  if (file.Write(zeros, sizeof zeros) != static_cast<int64_t>(sizeof zeros)) return kDiskFull;
  return {};
}

// Writes the file under a temporary name and puts it in place once whole.
int WriteFile(const std::string& path, const Layout& layout, const std::vector<Sample>& samples,
              ProgressDialog* dialog) {
  std::string tempPath;
  std::unique_ptr<RiffFile> file = CreateTempRiff(FolderOf(path), &tempPath);
  if (!file) {
    SetPendingError((kCantOpenFile + path).c_str(), kStyleError);
    return 0;
  }
  const auto fail = [&](const char* message, uint32_t style = kStyleError) {
    SetPendingError(message, style);
    file->Close();
    DeleteFileByName(tempPath);
    return 0;
  };
  ChunkInfo form, sdta, smpl;
  form.type = FourCC("sfbk");
  if (!file->CreateChunk(form, CreateFlag::kRiff) || !WriteList(*file, FourCC("INFO"), layout.info) ||
      !BeginListChunk(*file, sdta, FourCC("sdta")) || !BeginChunk(*file, smpl, FourCC("smpl"))) {
    return fail(kDiskFull);
  }
  ProgressBar* bar = dialog != nullptr ? dialog->CreateProgressBar() : nullptr;
  if (bar != nullptr) {
    bar->SetRange(0, static_cast<uint32_t>(samples.size()));
    bar->SetStep(1);
  }
  for (const Sample& s : samples) {
    CurrentProgressUi().PumpMessages();
    if (CancelRequested) return fail(kCancelled, kStyleWarning);
    if (bar != nullptr) bar->StepIt();
    const std::string failure = CopySample(*file, s);
    if (!failure.empty()) return fail(failure.c_str());
  }
  if (!EndChunk(*file, smpl) || !EndChunk(*file, sdta) || !WriteList(*file, FourCC("pdta"), layout.presetData) ||
      !file->Ascend(form)) {
    return fail(kDiskFull);
  }
  if (!CurrentFileSystem().FileExists(tempPath)) return fail(kFolderGone);
  if (!PutRiffInPlace(*file, tempPath, path)) return fail(kDiskFull);
  return 1;
}

}  // namespace

// A file is made in steps: the plan (which samples, which presets, their
// names), the preset data's tables built from it, their chunks laid out
// (which also gives the file's size), and the file written.
int WriteSoundFont(const std::string& path, const std::string& bankName, const std::vector<SoundFontProgram>& programs,
                   ProgressDialog* dialog, std::vector<std::string>* notes, std::vector<std::string>* info,
                   SoundFontCounts* counts) {
  if (counts != nullptr) *counts = {};
  Plan plan;
  if (!PlanSamples(programs, plan, notes)) return 0;
  PlanPresets(programs, plan, notes, info);
  if (plan.samples.empty()) {
    // No player loads a file without samples.
    SetPendingError("No program has a zone to play", kStyleError);
    return 0;
  }
  const Tables tables = BuildTables(programs, plan);
  if (counts != nullptr) {
    counts->zones = static_cast<uint32_t>(tables.instrumentBags.size() - 1);
    counts->samples = static_cast<uint32_t>(plan.samples.size());
  }
  if (!WithinIndexLimits(tables)) {
    SetPendingError("Too many zones for one SoundFont file", kStyleError);
    return 0;
  }
  const Layout layout = LayOut(bankName, plan, tables);
  if (layout.FileBytes() > kMaxFileBytes) {
    SetPendingError("The SoundFont file would pass the format's 4 GB", kStyleError);
    return 0;
  }
  return WriteFile(path, layout, plan.samples, dialog);
}

}  // namespace corvix
