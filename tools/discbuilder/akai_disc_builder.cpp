#include "akai_disc_builder.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <numbers>

#include <nlohmann/json.hpp>

#include "common/byte_order.h"
#include "media/akai_records.h"

namespace corvix::discbuilder {
namespace {

constexpr std::string_view kCharacters = "0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ#+-.";
// The partition information (LBA 8, bytes 1280-1283) lies over these FAT
// entries of partition 0, so those blocks are never given to a file there.
constexpr uint32_t kInfoFatEntry = (8 * 2048 + kPartitionCountOffset - kFatOffset) / 2;
constexpr uint32_t kFirstFileBlock = 3;  // blocks 0-2 hold the header

struct FileToPlace {
  int volumeIndex;                 // index into the partition's volume list
  bool isSample;
  std::string name;
  std::vector<uint8_t> bytes;      // the whole file
  uint32_t blockCount() const {
    return std::max<uint32_t>(1, static_cast<uint32_t>((bytes.size() + kBlockBytes - 1) / kBlockBytes));
  }
};

std::vector<uint8_t> ProgramFile(const ProgramSpec& p, uint32_t stride) {
  const size_t keygroups = p.keygroups.size();
  std::vector<uint8_t> bytes((keygroups + 1) * stride, 0);
  auto name = EncodeAkaiName(p.name);
  std::copy(name.begin(), name.end(), bytes.begin() + kProgramName);
  bytes[kProgramMidiProgram] = p.midiProgram;
  bytes[kProgramVelocityToLoudness] = p.velocityToLoudness;
  bytes[kProgramLfoSpeed] = p.lfoSpeed;
  bytes[kProgramModWheelToLfoDepth] = p.modWheelToLfoDepth;
  bytes[kProgramPitchBendRange] = p.pitchBendRange;
  bytes[kProgramKeygroupCount] =
      p.keygroupCount ? *p.keygroupCount : static_cast<uint8_t>(std::min<size_t>(keygroups, 255));
  for (size_t k = 0; k < keygroups; ++k) {
    const KeygroupSpec& kg = p.keygroups[k];
    uint8_t* r = bytes.data() + (k + 1) * stride;
    r[kKeygroupLowKey] = kg.lowKey;
    r[kKeygroupHighKey] = kg.highKey;
    r[kKeygroupTuneFraction] = kg.tuneFraction;
    r[kKeygroupTuneSemitones] = static_cast<uint8_t>(kg.tuneSemitones);
    r[kKeygroupFilterFrequency] = kg.filterFrequency;
    r[kKeygroupEnv2ToFilter] = static_cast<uint8_t>(kg.env2ToFilter);
    for (int i = 0; i < 4; ++i) {
      r[kKeygroupEnv1Attack + i] = kg.env1[i];
      r[kKeygroupEnv2Attack + i] = kg.env2[i];
    }
    for (uint32_t z = 0; z < 4; ++z) {
      const ZoneSpec& zone = kg.zones[z];
      uint8_t* zr = r + kKeygroupFirstZone + kZoneBytes * z;
      auto sample = EncodeAkaiName(zone.sample);
      std::copy(sample.begin(), sample.end(), zr + kZoneSampleName);
      zr[kZoneLowVelocity] = zone.lowVelocity;
      zr[kZoneHighVelocity] = zone.highVelocity;
      zr[kZoneTuneFraction] = zone.tuneFraction;
      zr[kZoneTuneSemitones] = static_cast<uint8_t>(zone.tuneSemitones);
      zr[kZonePan] = static_cast<uint8_t>(zone.pan);
      zr[kZonePlaybackMode] = zone.playbackMode;
      r[kKeygroupZoneFlags + z] = zone.flag;
    }
  }
  return bytes;
}

std::vector<uint8_t> SampleFile(const SampleSpec& s, uint32_t stride) {
  std::vector<uint8_t> bytes(stride + 2 * s.pcm.size(), 0);
  const uint32_t words = static_cast<uint32_t>(s.pcm.size());
  const uint32_t length = s.length.value_or(words);
  uint8_t* h = bytes.data();
  auto name = EncodeAkaiName(s.name);
  std::copy(name.begin(), name.end(), h + 3);
  h[kSampleRecordedPitch] = s.recordedPitch;
  h[kSamplePlaybackType] = s.playbackType;
  h[kSampleTuneFine] = s.tuneFine;
  h[kSampleTuneSemitones] = static_cast<uint8_t>(s.tuneSemitones);
  PutU32LE(h + kSampleLength, length);
  PutU32LE(h + kSamplePlayStart, s.playStart.value_or(0));
  PutU32LE(h + kSamplePlayEnd, s.playEnd.value_or(length));
  PutU32LE(h + kSampleLoopPoint, s.loopPoint.value_or(length > 0 ? length - 1 : 0));
  PutU32LE(h + kSampleLoopLength, s.loopLength.value_or(0));
  PutU16LE(h + kSampleLoopTime, s.loopTime);
  PutU16LE(h + kSampleRate, s.sampleRate);
  for (size_t i = 0; i < s.pcm.size(); ++i)
    PutU16LE(h + stride + 2 * i, static_cast<uint16_t>(s.pcm[i]));
  return bytes;
}

std::array<uint8_t, 24> DirectoryEntry(const std::string& name, uint8_t type, uint32_t length,
                                       uint16_t startBlock) {
  std::array<uint8_t, 24> e{};
  auto code = EncodeAkaiName(name);
  std::copy(code.begin(), code.end(), e.begin());
  e[16] = type;
  PutU24LE(e.data() + 17, length);
  PutU16LE(e.data() + 20, startBlock);
  return e;
}

// Hands out the blocks of one partition: the directories first, then the
// files, either one after another or interleaved so that every chain of
// more than one block jumps about.
class BlockAllocator {
 public:
  explicit BlockAllocator(uint32_t partitionIndex) : partition_(partitionIndex) {}

  uint16_t Next() {
    while (partition_ == 0 && (next_ == kInfoFatEntry || next_ == kInfoFatEntry + 1)) ++next_;
    return static_cast<uint16_t>(next_++);
  }
  uint32_t used() const { return next_; }

  std::vector<std::vector<uint16_t>> Place(const std::vector<uint32_t>& counts, bool fragmented) {
    std::vector<std::vector<uint16_t>> chains(counts.size());
    if (!fragmented) {
      for (size_t f = 0; f < counts.size(); ++f)
        for (uint32_t b = 0; b < counts[f]; ++b) chains[f].push_back(Next());
      return chains;
    }
    // Round robin over the files, alternating direction each round.
    const uint32_t rounds = counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
    for (uint32_t r = 0; r < rounds; ++r) {
      for (size_t i = 0; i < counts.size(); ++i) {
        const size_t f = (r % 2 == 0) ? i : counts.size() - 1 - i;
        if (counts[f] > r) chains[f].push_back(Next());
      }
    }
    return chains;
  }

 private:
  uint32_t partition_;
  uint32_t next_ = kFirstFileBlock;
};

struct PartitionPlan {
  std::vector<int> slots;                        // volume-table slot of each volume
  std::vector<uint16_t> directoryBlocks;         // per volume
  std::vector<FileToPlace> files;
  std::vector<std::vector<uint16_t>> chains;     // per file
  uint32_t blocksUsed = 0;
};

void PutCheckWords(uint8_t* header) {
  uint16_t value = 3333;
  for (uint32_t i = 0; i < kCheckWordCount; ++i) {
    PutU16LE(header + kCheckWordOffset + 2 * i, value);
    value = static_cast<uint16_t>(value + 3333);
  }
}

uint32_t Clamp01ToWord(double x) { return static_cast<uint32_t>(std::clamp(x, 0.0, 1.0) * 32767.0); }

}  // namespace

std::array<uint8_t, 12> EncodeAkaiName(std::string_view name) {
  std::array<uint8_t, 12> code;
  code.fill(10);  // space
  for (size_t i = 0; i < name.size() && i < code.size(); ++i) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
    const size_t at = kCharacters.find(c);
    code[i] = at == std::string_view::npos ? 10 : static_cast<uint8_t>(at);
  }
  return code;
}

const FilePlacement* BuiltDisc::FindFile(std::string_view name) const {
  for (const FilePlacement& f : files)
    if (f.name == name) return &f;
  return nullptr;
}

std::optional<BuiltDisc> BuildDisc(const DiscSpec& discSpec, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<BuiltDisc> {
    if (error) *error = why;
    return std::nullopt;
  };
  if (discSpec.partitions.empty() || discSpec.partitions.size() > 255)
    return fail("a disc holds 1 to 255 partitions");

  std::vector<PartitionPlan> plans(discSpec.partitions.size());
  uint32_t largest = 0;
  for (size_t p = 0; p < discSpec.partitions.size(); ++p) {
    const PartitionSpec& part = discSpec.partitions[p];
    PartitionPlan& plan = plans[p];
    BlockAllocator blocks(static_cast<uint32_t>(p));
    std::array<bool, 100> taken{};
    int nextSlot = 0;
    for (size_t v = 0; v < part.volumes.size(); ++v) {
      const VolumeSpec& vol = part.volumes[v];
      int slot = vol.slot.value_or(-1);
      if (slot < 0) {
        while (nextSlot < 100 && taken[nextSlot]) ++nextSlot;
        slot = nextSlot;
      }
      if (slot < 0 || slot >= 100 || taken[slot]) return fail("volume table full or slot taken: " + vol.name);
      taken[slot] = true;
      plan.slots.push_back(slot);
      plan.directoryBlocks.push_back(blocks.Next());
      if (vol.programs.size() + vol.samples.size() + vol.extraEntries.size() > kDirEntriesPerBlock)
        return fail("more directory entries than one block holds: " + vol.name);
      const uint32_t stride = RecordLength(vol.type);
      for (const ProgramSpec& prog : vol.programs)
        plan.files.push_back({static_cast<int>(v), false, prog.name, ProgramFile(prog, stride)});
      for (const SampleSpec& sample : vol.samples)
        plan.files.push_back({static_cast<int>(v), true, sample.name, SampleFile(sample, stride)});
    }
    std::vector<uint32_t> counts;
    for (const FileToPlace& f : plan.files) counts.push_back(f.blockCount());
    plan.chains = blocks.Place(counts, discSpec.fragmented);
    plan.blocksUsed = blocks.used();
    largest = std::max(largest, plan.blocksUsed);
  }
  if (largest > kFatEntries) return fail("a partition needs more blocks than its FAT holds");
  uint32_t size = discSpec.partitionSize != 0 ? discSpec.partitionSize : largest;
  if (size < largest) return fail("partitionSize is smaller than the contents");

  BuiltDisc disc;
  disc.partitionSize = static_cast<uint16_t>(size);
  disc.image.assign(static_cast<size_t>(size) * kBlockBytes * discSpec.partitions.size(), 0);
  disc.directoryOffsets.resize(discSpec.partitions.size());

  for (size_t p = 0; p < discSpec.partitions.size(); ++p) {
    const PartitionSpec& part = discSpec.partitions[p];
    const PartitionPlan& plan = plans[p];
    uint8_t* header = disc.image.data() + disc.BlockOffset(static_cast<uint32_t>(p), 0);
    PutCheckWords(header);
    std::vector<std::vector<std::array<uint8_t, 24>>> directories(part.volumes.size());

    for (size_t f = 0; f < plan.files.size(); ++f) {
      const FileToPlace& file = plan.files[f];
      const std::vector<uint16_t>& chain = plan.chains[f];
      for (size_t b = 0; b < chain.size(); ++b) {
        const size_t from = b * kBlockBytes;
        const size_t n = std::min<size_t>(kBlockBytes, file.bytes.size() - std::min(from, file.bytes.size()));
        std::memcpy(disc.image.data() + disc.BlockOffset(static_cast<uint32_t>(p), chain[b]),
                    file.bytes.data() + from, n);
        const uint16_t next = b + 1 < chain.size() ? chain[b + 1] : kChainEnd;
        PutU16LE(header + kFatOffset + 2 * chain[b], next);
      }
      const VolumeSpec& vol = part.volumes[file.volumeIndex];
      const bool isSample = file.isSample;
      const uint8_t type = static_cast<uint8_t>((isSample ? kFileSample : kFileProgram) | (vol.highBitTypes ? 0x80 : 0));
      directories[file.volumeIndex].push_back(DirectoryEntry(
          file.name, type, isSample ? static_cast<uint32_t>(file.bytes.size()) : 0, chain[0]));
      disc.files.push_back({static_cast<uint16_t>(p), plan.slots[file.volumeIndex], file.name, chain});
    }

    for (size_t v = 0; v < part.volumes.size(); ++v) {
      const VolumeSpec& vol = part.volumes[v];
      uint8_t* entry = header + kVolumeTableOffset + kVolumeEntryBytes * plan.slots[v];
      auto name = EncodeAkaiName(vol.name);
      std::copy(name.begin(), name.end(), entry);
      entry[12] = vol.type;
      PutU16LE(entry + 14, plan.directoryBlocks[v]);
      PutU16LE(header + kFatOffset + 2 * plan.directoryBlocks[v], kChainEnd);

      const uint64_t dir = disc.BlockOffset(static_cast<uint32_t>(p), plan.directoryBlocks[v]);
      disc.directoryOffsets[p][plan.slots[v]] = dir;
      size_t at = 0;
      for (const auto& e : directories[v]) std::memcpy(disc.image.data() + dir + 24 * at++, e.data(), 24);
      for (const auto& e : vol.extraEntries) std::memcpy(disc.image.data() + dir + 24 * at++, e.data(), 24);
    }
  }

  uint8_t* info = disc.image.data() + 8 * 2048;
  info[kPartitionCountOffset] = static_cast<uint8_t>(discSpec.partitions.size());
  PutU16LE(info + kPartitionSizeOffset, static_cast<uint16_t>(size));
  return disc;
}

bool WriteDiscImage(const DiscSpec& discSpec, const std::string& path, std::string* error) {
  auto disc = BuildDisc(discSpec, error);
  if (!disc) return false;
  const std::vector<uint8_t>* bytes = &disc->image;
  std::vector<uint8_t> raw;
  if (discSpec.sectorBytes == 2352) {
    raw = WrapRawSectors(disc->image, discSpec.rawMode);
    bytes = &raw;
  } else if (discSpec.sectorBytes != 2048) {
    if (error) *error = "sectorBytes must be 2048 or 2352";
    return false;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
  out.close();
  if (!out) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  if (discSpec.sectorBytes == 2352 && discSpec.cueSheet) {
    const size_t slash = path.find_last_of("/\\");
    const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    std::ofstream cue(path + ".cue", std::ios::trunc);
    cue << MakeCueSheet(fileName, discSpec.rawMode);
    cue.close();
    if (!cue) {
      if (error) *error = "cannot write " + path + ".cue";
      return false;
    }
  }
  return true;
}

std::vector<int16_t> MakeTone(const std::string& shape, double frequency, uint32_t words,
                              double amplitude, double decay, uint32_t sampleRate) {
  std::vector<int16_t> pcm(words);
  const double peak = Clamp01ToWord(amplitude);
  const double rate = sampleRate == 0 ? 44100.0 : sampleRate;
  uint32_t noise = 0x12345678u;
  for (uint32_t i = 0; i < words; ++i) {
    const double phase = std::fmod(frequency * i / rate, 1.0);
    double v;
    if (shape == "saw") {
      v = 2.0 * phase - 1.0;
    } else if (shape == "square") {
      v = phase < 0.5 ? 1.0 : -1.0;
    } else if (shape == "noise") {
      noise = noise * 1664525u + 1013904223u;
      v = static_cast<double>(noise >> 8) / 8388608.0 - 1.0;
    } else {
      v = std::sin(2.0 * std::numbers::pi * phase);
    }
    const double envelope = decay > 0 ? std::exp(-decay * 8.0 * i / std::max<uint32_t>(words, 1)) : 1.0;
    pcm[i] = static_cast<int16_t>(std::lround(v * peak * envelope));
  }
  return pcm;
}

namespace {

template <typename T>
void Take(const nlohmann::json& j, const char* key, T& field) {
  if (j.contains(key)) field = j.at(key).get<T>();
}
template <typename T>
void Take(const nlohmann::json& j, const char* key, std::optional<T>& field) {
  if (j.contains(key)) field = j.at(key).get<T>();
}
void TakeByte(const nlohmann::json& j, const char* key, uint8_t& field) {
  if (j.contains(key)) field = static_cast<uint8_t>(j.at(key).get<int>());
}
void TakeSigned(const nlohmann::json& j, const char* key, int8_t& field) {
  if (j.contains(key)) field = static_cast<int8_t>(j.at(key).get<int>());
}

SampleSpec ParseSample(const nlohmann::json& j) {
  SampleSpec s;
  s.name = j.at("name").get<std::string>();
  Take(j, "sampleRate", s.sampleRate);
  if (j.contains("pcm")) s.pcm = j.at("pcm").get<std::vector<int16_t>>();
  if (j.contains("tone")) {
    const auto& t = j.at("tone");
    s.pcm = MakeTone(t.value("shape", "sine"), t.value("frequency", 440.0), t.value("words", 4096u),
                     t.value("amplitude", 0.5), t.value("decay", 0.0), s.sampleRate);
  }
  TakeByte(j, "recordedPitch", s.recordedPitch);
  TakeByte(j, "playbackType", s.playbackType);
  TakeByte(j, "tuneFine", s.tuneFine);
  TakeSigned(j, "tuneSemitones", s.tuneSemitones);
  Take(j, "length", s.length);
  Take(j, "playStart", s.playStart);
  Take(j, "playEnd", s.playEnd);
  Take(j, "loopPoint", s.loopPoint);
  Take(j, "loopLength", s.loopLength);
  Take(j, "loopTime", s.loopTime);
  return s;
}

KeygroupSpec ParseKeygroup(const nlohmann::json& j) {
  KeygroupSpec k;
  TakeByte(j, "lowKey", k.lowKey);
  TakeByte(j, "highKey", k.highKey);
  TakeByte(j, "tuneFraction", k.tuneFraction);
  TakeSigned(j, "tuneSemitones", k.tuneSemitones);
  TakeByte(j, "filterFrequency", k.filterFrequency);
  TakeSigned(j, "env2ToFilter", k.env2ToFilter);
  Take(j, "env1", k.env1);
  Take(j, "env2", k.env2);
  if (j.contains("zones")) {
    const auto& zones = j.at("zones");
    for (size_t z = 0; z < zones.size() && z < 4; ++z) {
      const auto& zj = zones[z];
      ZoneSpec& zone = k.zones[z];
      Take(zj, "sample", zone.sample);
      TakeByte(zj, "lowVelocity", zone.lowVelocity);
      TakeByte(zj, "highVelocity", zone.highVelocity);
      TakeByte(zj, "tuneFraction", zone.tuneFraction);
      TakeSigned(zj, "tuneSemitones", zone.tuneSemitones);
      TakeSigned(zj, "pan", zone.pan);
      TakeByte(zj, "playbackMode", zone.playbackMode);
      TakeByte(zj, "flag", zone.flag);
    }
  }
  return k;
}

ProgramSpec ParseProgram(const nlohmann::json& j) {
  ProgramSpec p;
  p.name = j.at("name").get<std::string>();
  TakeByte(j, "midiProgram", p.midiProgram);
  TakeByte(j, "velocityToLoudness", p.velocityToLoudness);
  TakeByte(j, "lfoSpeed", p.lfoSpeed);
  TakeByte(j, "modWheelToLfoDepth", p.modWheelToLfoDepth);
  TakeByte(j, "pitchBendRange", p.pitchBendRange);
  if (j.contains("keygroupCount")) p.keygroupCount = static_cast<uint8_t>(j.at("keygroupCount").get<int>());
  for (const auto& k : j.value("keygroups", nlohmann::json::array())) p.keygroups.push_back(ParseKeygroup(k));
  return p;
}

}  // namespace

std::optional<DiscSpec> ParseDiscDescription(const nlohmann::json& d, std::string* error) {
  try {
    DiscSpec discSpec;
    Take(d, "partitionSize", discSpec.partitionSize);
    Take(d, "fragmented", discSpec.fragmented);
    Take(d, "sectorBytes", discSpec.sectorBytes);
    Take(d, "cueSheet", discSpec.cueSheet);
    if (d.value("rawMode", std::string("mode1")) == "mode2") discSpec.rawMode = RawMode::kMode2Form1;
    for (const auto& pj : d.at("partitions")) {
      PartitionSpec part;
      for (const auto& vj : pj.value("volumes", nlohmann::json::array())) {
        VolumeSpec vol;
        vol.name = vj.at("name").get<std::string>();
        TakeByte(vj, "type", vol.type);
        Take(vj, "slot", vol.slot);
        Take(vj, "highBitTypes", vol.highBitTypes);
        for (const auto& sj : vj.value("samples", nlohmann::json::array())) vol.samples.push_back(ParseSample(sj));
        for (const auto& prj : vj.value("programs", nlohmann::json::array())) vol.programs.push_back(ParseProgram(prj));
        part.volumes.push_back(std::move(vol));
      }
      discSpec.partitions.push_back(std::move(part));
    }
    return discSpec;
  } catch (const nlohmann::json::exception& e) {
    if (error) *error = std::string("bad description: ") + e.what();
    return std::nullopt;
  }
}

}  // namespace corvix::discbuilder
