// The test-disc builder: Akai S1000 disc images from a description.
//
// Tests, fuzz seeds, the benchmark and the demo disc build their images with
// it; no disc image is kept in the repository. The builder writes every byte
// the reader looks at: check words and partition information, the volume
// tables, the FATs (contiguous or fragmented chains), the directories, the
// program and keygroup records and the sample headers with their sound.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "raw_sectors.h"

namespace corvix::discbuilder {

struct SampleSpec {
  std::string name;
  std::vector<int16_t> pcm;  // the sound words stored after the header
  uint8_t recordedPitch = 60;
  uint8_t playbackType = 0;
  uint8_t tuneFine = 0;
  int8_t tuneSemitones = 0;
  // Header values; unset ones follow from pcm: length = words, playStart 0,
  // playEnd = length, loopPoint = length - 1, loopLength 0.
  std::optional<uint32_t> length, playStart, playEnd, loopPoint, loopLength;
  uint16_t loopTime = 0;
  uint16_t sampleRate = 44100;
};

struct ZoneSpec {
  std::string sample;  // empty = an unused zone (twelve spaces)
  uint8_t lowVelocity = 0;
  uint8_t highVelocity = 127;
  uint8_t tuneFraction = 0;
  int8_t tuneSemitones = 0;
  int8_t pan = 0;
  uint8_t playbackMode = 0;
  uint8_t flag = 0;  // the keygroup's byte 132 + z
};

struct KeygroupSpec {
  uint8_t lowKey = 24;
  uint8_t highKey = 127;
  uint8_t tuneFraction = 0;
  int8_t tuneSemitones = 0;
  uint8_t filterFrequency = 99;
  int8_t env2ToFilter = 0;
  std::array<uint8_t, 4> env1{0, 50, 99, 30};  // attack, decay, sustain, release
  std::array<uint8_t, 4> env2{0, 50, 99, 30};
  std::array<ZoneSpec, 4> zones{};
};

struct ProgramSpec {
  std::string name;
  uint8_t midiProgram = 0;
  uint8_t velocityToLoudness = 20;
  uint8_t lfoSpeed = 50;
  uint8_t modWheelToLfoDepth = 0;
  uint8_t pitchBendRange = 2;
  std::vector<KeygroupSpec> keygroups;
  std::optional<uint8_t> keygroupCount;  // stored count; default keygroups.size()
};

struct VolumeSpec {
  std::string name;
  uint8_t type = 1;               // 3 = 192-byte records
  std::optional<int> slot;        // volume-table slot; default the next free one
  std::vector<ProgramSpec> programs;
  std::vector<SampleSpec> samples;
  // Raw 24-byte directory entries written after the programs and samples.
  std::vector<std::array<uint8_t, 24>> extraEntries;
  bool highBitTypes = false;      // types 0xF0 / 0xF3 instead of 'p' / 's'
};

struct PartitionSpec {
  std::vector<VolumeSpec> volumes;
};

struct DiscSpec {
  std::vector<PartitionSpec> partitions;
  uint16_t partitionSize = 0;     // blocks; 0 = just large enough for every partition
  bool fragmented = false;        // interleave the blocks of the files
  uint32_t sectorBytes = 2048;    // 2048, or 2352 for a raw image
  RawMode rawMode = RawMode::kMode1;
  bool cueSheet = false;          // with 2352: also write PATH.cue naming the image
};

// Where things landed, for tests that poke at the image afterwards.
struct FilePlacement {
  uint16_t partition;
  int volumeSlot;
  std::string name;
  std::vector<uint16_t> blocks;  // the file's chain
};

struct BuiltDisc {
  std::vector<uint8_t> image;  // 2048-byte sectors
  uint16_t partitionSize = 0;
  std::vector<FilePlacement> files;
  // Byte offset in image of volume directory [partition][slot]; 0 if none.
  std::vector<std::array<uint64_t, 100>> directoryOffsets;

  uint64_t BlockOffset(uint32_t partition, uint32_t block) const {
    return (static_cast<uint64_t>(partitionSize) * partition + block) * 8192;
  }
  const FilePlacement* FindFile(std::string_view name) const;
};

// The 12 Akai character codes of a name, padded with spaces. Characters
// without a code (lower case is folded to upper) become spaces.
std::array<uint8_t, 12> EncodeAkaiName(std::string_view name);

// Builds the image in memory. Fails (returns nullopt, sets *error) when the
// description does not fit a disc: too many volumes, programs or samples for
// the tables, a partition larger than its FAT, a zone naming a missing sample
// is allowed (the reader treats it as absent).
std::optional<BuiltDisc> BuildDisc(const DiscSpec& discSpec, std::string* error);

// Builds and writes the image to path: 2048-byte sectors as they are, 2352
// wrapped as raw sectors (and a cue sheet at path with ".cue" when asked).
bool WriteDiscImage(const DiscSpec& discSpec, const std::string& path, std::string* error);

// A description in JSON (see demo.json) as a DiscSpec. Sample sound is
// either "pcm": [words…] or "tone": {"shape": "sine"|"saw"|"square"|"noise",
// "frequency": Hz, "words": n, "amplitude": 0…1, "decay": 0…1}.
std::optional<DiscSpec> ParseDiscDescription(const nlohmann::json& description,
                                             std::string* error);

// Synthesised sound for descriptions and tests.
std::vector<int16_t> MakeTone(const std::string& shape, double frequency, uint32_t words,
                              double amplitude, double decay, uint32_t sampleRate);

}  // namespace corvix::discbuilder
