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
void PutGenerator(std::vector<uint8_t>& out, uint16_t op, int32_t amount) {
  Put16(out, op);
  Put16(out, static_cast<uint16_t>(static_cast<int16_t>(std::clamp<int32_t>(amount, -32768, 32767))));
}
void PutRange(std::vector<uint8_t>& out, uint16_t op, uint8_t low, uint8_t high) {
  Put16(out, op);
  out.push_back(std::min<uint8_t>(low, 127));
  out.push_back(std::min<uint8_t>(high, 127));
}

// An offset in points as a fine generator and, beyond its 16 bits, a
// coarse one of 32768 points each.
void PutOffset(std::vector<uint8_t>& out, uint16_t fine, uint16_t coarse, int64_t points) {
  const int64_t coarsePart = points / 32768;
  if (points - coarsePart * 32768 != 0) PutGenerator(out, fine, static_cast<int32_t>(points - coarsePart * 32768));
  if (coarsePart != 0) PutGenerator(out, coarse, static_cast<int32_t>(coarsePart));
}

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

// A zero-terminated text chunk, its length even.
std::vector<uint8_t> Text(const std::string& text) {
  std::vector<uint8_t> bytes(text.begin(), text.begin() + static_cast<ptrdiff_t>(std::min<size_t>(text.size(), 254)));
  bytes.push_back(0);
  if (bytes.size() % 2 != 0) bytes.push_back(0);
  return bytes;
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

int WriteSoundFont(const std::string& path, const std::string& bankName, const std::vector<SoundFontProgram>& programs,
                   ProgressDialog* dialog, std::vector<std::string>* notes, std::vector<std::string>* info,
                   SoundFontCounts* counts) {
  if (counts != nullptr) *counts = {};
  // The samples: each wave a zone plays, once per program (a pair as two).
  std::vector<Sample> samples;
  std::vector<std::map<uint32_t, uint32_t>> firstSample(programs.size());  // row → its (first) sample
  std::vector<std::string> wantedNames;
  for (size_t p = 0; p < programs.size(); ++p) {
    const SoundFontProgram& program = programs[p];
    for (const PlayZone& zone : program.zones) {
      if (firstSample[p].count(zone.row) != 0) continue;
      const WaveEntry& row = program.rows[zone.row];
      const std::string wavePath = JoinPath(program.folder, WaveFileName(row.name, row.fileCopy));
      const WaveInfo wave = ReadWaveInfo(wavePath);
      if (!wave.ok) {
        SetPendingError(WaveFailure(program.folder, wavePath).c_str(), kStyleError);
        return 0;
      }
      if (wave.frames() == 0) {
        firstSample[p][zone.row] = UINT32_MAX;
        notes->push_back(program.label + ": \"" + TrimmedName(row.name) + "\" holds no sound; its zones are left out");
        continue;
      }
      firstSample[p][zone.row] = static_cast<uint32_t>(samples.size());
      WaveSource source = zone.row < program.sources.size() ? program.sources[zone.row] : WaveSource{};
      source.frames = std::min(source.frames, wave.frames());
      for (uint16_t channel = 0; channel < wave.channels; ++channel) {
        Sample& s = samples.emplace_back();
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
          s.link = static_cast<uint16_t>(samples.size() - 1 + (channel == 0 ? 1 : -1));
        }
      }
    }
  }
  const std::vector<std::string> names = UniqueNames(wantedNames);
  if (counts != nullptr) counts->samples = static_cast<uint32_t>(samples.size());
  uint64_t points = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i].name = names[i];
    samples[i].start = static_cast<uint32_t>(std::min<uint64_t>(points, UINT32_MAX));
    points += uint64_t{samples[i].wave.frames()} + kZeroPoints;
  }

  // The preset data. Presets and instruments are named after their
  // programs, two of one name told apart.
  std::vector<std::string> programNames;
  for (const SoundFontProgram& program : programs) programNames.push_back(program.name);
  programNames = UniqueNames(programNames);
  std::vector<uint8_t> phdr, pbag, pgen, inst, ibag, igen, shdr;
  const std::vector<uint8_t> noModulator(10, 0);
  uint32_t ibags = 0, igens = 0;
  std::set<uint32_t> presets;
  for (size_t p = 0; p < programs.size(); ++p) {
    const SoundFontProgram& program = programs[p];
    PutName(inst, programNames[p]);
    Put16(inst, static_cast<uint16_t>(ibags));
    for (const PlayZone& zone : program.zones) {
      const uint32_t first = firstSample[p].count(zone.row) != 0 ? firstSample[p][zone.row] : UINT32_MAX;
      if (first == UINT32_MAX) continue;
      const Sample& sample = samples[first];
      // A pair's zone plays both channels; a zone of one side of a pair
      // that was not merged plays its own file, mono.
      const uint32_t channels = zone.stereo ? sample.wave.channels : 1;
      const int64_t frames = sample.wave.frames();
      const CoarseAndFine tune = SplitCents(zone.tuneCents);
      for (uint32_t channel = 0; channel < channels; ++channel) {
        Put16(ibag, static_cast<uint16_t>(igens));
        Put16(ibag, 0);
        ++ibags;
        const size_t before = igen.size();
        PutRange(igen, kKeyRange, zone.lowKey, zone.highKey);
        PutRange(igen, kVelRange, zone.lowVelocity, zone.highVelocity);
        // Each zone its own part of the sample's sound, and its own loop.
        PutOffset(igen, kStartAddrsOffset, kStartAddrsCoarseOffset, std::min<int64_t>(zone.start, frames));
        PutOffset(igen, kEndAddrsOffset, kEndAddrsCoarseOffset, std::min<int64_t>(zone.end, frames) - frames);
        const bool loops = zone.loops && sample.loop.defined;
        if (loops) {
          PutOffset(igen, kStartloopAddrsOffset, kStartloopAddrsCoarseOffset,
                    int64_t{zone.loopStart} - sample.loop.start);
          PutOffset(igen, kEndloopAddrsOffset, kEndloopAddrsCoarseOffset, int64_t{zone.loopEnd} - sample.loop.end);
        }
        PutGenerator(igen, kPan, channel == 0 ? zone.pan * 10 : -zone.pan * 10);
        if (zone.filtered) PutGenerator(igen, kInitialFilterFc, CutoffCents(zone.cutoffHertz));
        PutGenerator(igen, kAttackVolEnv, Timecents(zone.attackSeconds));
        PutGenerator(igen, kDecayVolEnv, Timecents(zone.decaySeconds));
        PutGenerator(igen, kSustainVolEnv, SustainCentibels(zone.sustainPercent));
        PutGenerator(igen, kReleaseVolEnv, Timecents(zone.releaseSeconds));
        // 1: loops on through the release; 3: plays on to the end after it.
        PutGenerator(igen, kSampleModes, loops ? (zone.loopUntilRelease ? 3 : 1) : 0);
        PutGenerator(igen, kOverridingRootKey, zone.rootKey);
        if (tune.semitones != 0) PutGenerator(igen, kCoarseTune, tune.semitones);
        if (tune.cents != 0) PutGenerator(igen, kFineTune, tune.cents);
        PutGenerator(igen, kSampleId, static_cast<int32_t>(first + channel));
        igens += static_cast<uint32_t>((igen.size() - before) / 4);
        if (counts != nullptr) counts->zones += 1;
      }
    }
    const auto oneShots = std::count_if(program.zones.begin(), program.zones.end(), [](const PlayZone& z) { return z.oneShot; });
    if (oneShots > 0) {
      notes->push_back(program.label + ": " + std::to_string(oneShots) +
                       (oneShots == 1 ? " zone plays" : " zones play") +
                       " to the sample's end on the Akai; here the sound stops when the key is let go");
    }
    uint32_t place = program.preset & 0x7F;  // bank * 128 + number
    while (presets.count(place) != 0) ++place;
    presets.insert(place);
    if (place != program.preset && info != nullptr) {
      info->push_back(program.label + ": preset " + std::to_string(program.preset) +
                      " was taken by another program; it is " + PresetText(place));
    }
    PutName(phdr, programNames[p]);
    Put16(phdr, static_cast<uint16_t>(place % 128));
    Put16(phdr, static_cast<uint16_t>(place / 128));
    Put16(phdr, static_cast<uint16_t>(p));
    Put32(phdr, 0);
    Put32(phdr, 0);
    Put32(phdr, 0);
    Put16(pbag, static_cast<uint16_t>(p));  // one generator each: its instrument
    Put16(pbag, 0);
    PutGenerator(pgen, kInstrument, static_cast<int32_t>(p));
  }
  // Terminal records.
  PutName(phdr, "EOP");
  Put16(phdr, 0);
  Put16(phdr, 0);
  Put16(phdr, static_cast<uint16_t>(programs.size()));
  Put32(phdr, 0);
  Put32(phdr, 0);
  Put32(phdr, 0);
  Put16(pbag, static_cast<uint16_t>(programs.size()));
  Put16(pbag, 0);
  PutGenerator(pgen, 0, 0);
  PutName(inst, "EOI");
  Put16(inst, static_cast<uint16_t>(ibags));
  Put16(ibag, static_cast<uint16_t>(igens));
  Put16(ibag, 0);
  PutGenerator(igen, 0, 0);
  for (const Sample& s : samples) {
    PutName(shdr, s.name);
    const uint32_t end = s.start + s.wave.frames();
    Put32(shdr, s.start);
    Put32(shdr, end);
    Put32(shdr, s.loop.defined ? s.start + s.loop.start : s.start);
    Put32(shdr, s.loop.defined ? s.start + s.loop.end + 1 : end);
    Put32(shdr, s.wave.rate);
    shdr.push_back(60);  // original pitch: each zone names its own root key
    shdr.push_back(0);   // pitch correction: each zone its own fine tune
    Put16(shdr, s.link);
    Put16(shdr, s.type);
  }
  PutName(shdr, "EOS");
  shdr.insert(shdr.end(), 46 - kNameBytes, 0);
  if (samples.empty()) {
    // No player loads a file without samples.
    SetPendingError("No program has a zone to play", kStyleError);
    return 0;
  }

  // Limits of the format: 16-bit indices, a 32-bit file.
  if (ibags + 1 > 65535 || igens + 1 > 65535 || samples.size() + 1 > 65535 || programs.size() + 1 > 65535) {
    SetPendingError("Too many zones for one SoundFont file", kStyleError);
    return 0;
  }
  const uint64_t estimate = 2 * points + phdr.size() + pbag.size() + pgen.size() + inst.size() + ibag.size() +
                            igen.size() + shdr.size() + 1024;
  if (estimate > 0xFFFFFFF0ull) {
    SetPendingError("The SoundFont file would pass the format's 4 GB", kStyleError);
    return 0;
  }

  // The file, under a temporary name until it is whole.
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
  ChunkInfo form, infoList, sdta, smpl, pdta;
  form.type = FourCC("sfbk");
  const uint8_t version[4] = {2, 0, 1, 0};
  std::vector<uint8_t> isng = Text("EMU8000"), inam = Text(bankName),
                       isft = Text("Veltrex Corvix");
  if (!file->CreateChunk(form, CreateFlag::kRiff) || !BeginListChunk(*file, infoList, FourCC("INFO")) ||
      !WriteChunk(*file, FourCC("ifil"), version, 4) ||
      !WriteChunk(*file, FourCC("isng"), isng.data(), static_cast<uint32_t>(isng.size())) ||
      !WriteChunk(*file, FourCC("INAM"), inam.data(), static_cast<uint32_t>(inam.size())) ||
      !WriteChunk(*file, FourCC("ISFT"), isft.data(), static_cast<uint32_t>(isft.size())) || !EndChunk(*file, infoList) ||
      !BeginListChunk(*file, sdta, FourCC("sdta")) || !BeginChunk(*file, smpl, FourCC("smpl"))) {
    return fail(kDiskFull);
  }
  ProgressBar* bar = dialog != nullptr ? dialog->CreateProgressBar() : nullptr;
  if (bar != nullptr) {
    bar->SetRange(0, static_cast<uint32_t>(samples.size()));
    bar->SetStep(1);
  }
  std::vector<uint8_t> in(size_t{kCopyFrames} * 4), out(size_t{kCopyFrames} * 2);
  for (const Sample& s : samples) {
    CurrentProgressUi().PumpMessages();
    if (CancelRequested) return fail(kCancelled, kStyleWarning);
    if (bar != nullptr) bar->StepIt();
    std::unique_ptr<RiffFile> wave = RiffFile::Open(s.path, OpenMode::kRead);
    if (!wave || !wave->Seek(s.wave.dataOffset)) return fail(WaveFailure(s.folder, s.path).c_str());
    const uint32_t frameBytes = 2u * s.wave.channels;
    for (uint32_t done = 0; done < s.wave.frames();) {
      const uint32_t frames = std::min(kCopyFrames, s.wave.frames() - done);
      const int64_t got = wave->Read(in.data(), size_t{frames} * frameBytes);
      if (got != static_cast<int64_t>(size_t{frames} * frameBytes)) return fail(WaveFailure(s.folder, s.path).c_str());
      for (uint32_t f = 0; f < frames; ++f) std::memcpy(&out[2 * f], &in[f * frameBytes + 2u * s.channel], 2);
      if (file->Write(out.data(), size_t{frames} * 2) != static_cast<int64_t>(size_t{frames} * 2)) return fail(kDiskFull);
      done += frames;
    }
    const uint8_t zeros[2 * kZeroPoints] = {};
    if (file->Write(zeros, sizeof zeros) != static_cast<int64_t>(sizeof zeros)) return fail(kDiskFull);
  }
  const std::pair<const char*, const std::vector<uint8_t>*> chunks[] = {
      {"phdr", &phdr}, {"pbag", &pbag}, {"pmod", &noModulator}, {"pgen", &pgen}, {"inst", &inst},
      {"ibag", &ibag}, {"imod", &noModulator}, {"igen", &igen}, {"shdr", &shdr}};
  if (!EndChunk(*file, smpl) || !EndChunk(*file, sdta) || !BeginListChunk(*file, pdta, FourCC("pdta"))) return fail(kDiskFull);
  for (const auto& [id, bytes] : chunks) {
    const uint32_t code = static_cast<uint32_t>(static_cast<uint8_t>(id[0])) | static_cast<uint32_t>(static_cast<uint8_t>(id[1])) << 8 |
                          static_cast<uint32_t>(static_cast<uint8_t>(id[2])) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(id[3])) << 24;
    if (!WriteChunk(*file, code, bytes->data(), static_cast<uint32_t>(bytes->size()))) return fail(kDiskFull);
  }
  if (!EndChunk(*file, pdta) || !file->Ascend(form)) return fail(kDiskFull);
  if (!CurrentFileSystem().FileExists(tempPath)) return fail(kFolderGone);
  if (!PutRiffInPlace(*file, tempPath, path)) return fail(kDiskFull);
  return 1;
}

}  // namespace corvix
