#include "media/akai_records.h"

#include <algorithm>
#include <bitset>
#include <cstring>

namespace corvix {
namespace {

constexpr char kAkaiCharacters[] = "0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ#+-.";
constexpr uint8_t kAkaiCharacterCount = sizeof kAkaiCharacters - 1;  // 41
// Name bytes past the table have no character; they show as this one.
constexpr char kUnknownCharacter = '_';

void DecodeName(ByteView bytes, uint32_t offset, char* destination) {
  uint8_t raw[kAkaiNameBytes];
  for (int i = 0; i < kAkaiNameBytes; ++i) raw[i] = bytes.U8(offset + i);
  std::memset(destination, 0, kAkaiNameBytes + 1);
  DecodeAkaiName(raw, destination, kAkaiNameBytes);
}

}  // namespace

int DecodeAkaiName(const uint8_t* source, char* destination, int n) {
  for (int i = 0; i < n; ++i) {
    const uint8_t code = source[i];
    destination[i] = code < kAkaiCharacterCount ? kAkaiCharacters[code] : kUnknownCharacter;
  }
  return 1;
}

void DecodeVolumeTable(const uint8_t* header, VolumeEntry (&volumes)[kVolumesPerPartition]) {
  for (int n = 0; n < kVolumesPerPartition; ++n) {
    const uint8_t* entry = header + kVolumeTableOffset + kVolumeEntryBytes * n;
    VolumeEntry& volume = volumes[n];
    std::memset(volume.name, 0, sizeof volume.name);
    DecodeAkaiName(entry, volume.name, kAkaiNameBytes);
    volume.type = entry[12];
    volume.startBlock = ReadU16LE(entry + 14);
  }
}

void DecodeDirectory(const uint8_t* block, VolumeEntry* volumePointer) {
  VolumeEntry& volume = *volumePointer;
  volume.programCount = 0;
  volume.sampleCount = 0;
  if (volume.programs == nullptr || volume.samples == nullptr) return;

  for (uint32_t i = 0; i < kDirEntriesPerBlock; ++i) {
    const uint8_t* entry = block + kDirEntryBytes * i;
    const uint8_t type = entry[16];
    const uint8_t kind = type & 0x7F;
    if (type == 0) {
      // An unused slot ends the directory; a type-0 entry carrying both a
      // start block and a tag word is some other file and is passed over.
      if (ReadU16LE(entry + 20) == 0 || ReadU16LE(entry + 22) == 0) break;
      continue;
    }
    if (kind != kFileProgram && kind != kFileSample && type != 'd' && type != 'c' &&
        type != 'x' && type != 'q') {
      break;
    }
    // Entries past the lists' capacity are walked over but not stored.
    if (kind == kFileProgram && volume.programCount < kMaxPrograms) {
      DirEntry& program = volume.programs[volume.programCount++];
      std::memset(program.name, 0, sizeof program.name);
      DecodeAkaiName(entry, program.name, kAkaiNameBytes);
      program.length = 0;
      program.startBlock = ReadU16LE(entry + 20);
    } else if (kind == kFileSample && volume.sampleCount < kMaxSamples) {
      DirEntry& sample = volume.samples[volume.sampleCount++];
      std::memset(sample.name, 0, sizeof sample.name);
      DecodeAkaiName(entry, sample.name, kAkaiNameBytes);
      sample.length = ReadU24LE(entry + 17);
      sample.startBlock = ReadU16LE(entry + 20);
    }
  }
}

void SummarizeProgram(const ProgramBuffer& program, const VolumeEntry& volume, ProgramSummary* out) {
  const uint32_t stride = RecordLength(volume.type);
  std::memset(out->keygroups, 0, sizeof out->keygroups);
  out->keygroupCount = static_cast<uint8_t>(ProgramKeygroupCount(program, stride));
  out->lowestKey = 127;
  out->highestKey = 0;

  for (uint32_t k = 0; k < out->keygroupCount; ++k) {
    const ByteView keygroup = KeygroupBytes(program, stride, k);
    KeygroupSlot& slot = out->keygroups[k];
    slot.lowKey = keygroup.U8(kKeygroupLowKey);
    slot.highKey = keygroup.U8(kKeygroupHighKey);
    slot.present = 1;
    out->lowestKey = std::min(out->lowestKey, slot.lowKey);
    out->highestKey = std::max(out->highestKey, slot.highKey);

    for (uint32_t z = 0; z < kZonesPerKeygroup; ++z) {
      const VelocityZone zone = DecodeVelocityZone(ZoneBytes(keygroup, z));
      if (!IsZoneUsed(zone.sampleName)) continue;
      const uint8_t sampleCount = std::min<uint8_t>(volume.sampleCount, kMaxSamples);
      for (uint32_t s = 0; volume.samples != nullptr && s < sampleCount; ++s) {
        if (std::strcmp(volume.samples[s].name, zone.sampleName) == 0) {
          ZoneSlot& zoneSlot = slot.zones[z];
          zoneSlot.present = 1;
          zoneSlot.zoneNumber = static_cast<uint8_t>(z);
          zoneSlot.lowVelocity = zone.lowVelocity;
          zoneSlot.highVelocity = zone.highVelocity;
          break;
        }
      }
    }
  }
}

std::vector<uint16_t> WalkChain(const uint8_t* fat, uint32_t partitionSize, uint16_t startBlock, uint32_t maxBlocks) {
  const auto isFileBlock = [partitionSize](uint32_t block) {
    return block < partitionSize && block < kFatEntries && block * kBlockBytes >= kHeaderBytes;
  };
  std::vector<uint16_t> chain;
  if (fat == nullptr || !isFileBlock(startBlock)) return chain;
  std::bitset<kFatEntries> visited;
  for (uint16_t block = startBlock; chain.size() < maxBlocks;) {
    chain.push_back(block);
    visited.set(block);
    const uint16_t next = ReadU16LE(fat + 2u * block);
    if (!isFileBlock(next) || visited.test(next)) break;
    block = next;
  }
  return chain;
}

ProgramRecord DecodeProgramRecord(ByteView program) {
  ProgramRecord r{};
  DecodeName(program, kProgramName, r.name);
  r.midiProgram = program.U8(kProgramMidiProgram);
  r.velocityToLoudness = program.U8(kProgramVelocityToLoudness);
  r.lfoSpeed = program.U8(kProgramLfoSpeed);
  r.modWheelToLfoDepth = program.U8(kProgramModWheelToLfoDepth);
  r.pitchBendRange = program.U8(kProgramPitchBendRange);
  r.keygroupCount = program.U8(kProgramKeygroupCount);
  return r;
}

VelocityZone DecodeVelocityZone(ByteView zone) {
  VelocityZone r{};
  DecodeName(zone, kZoneSampleName, r.sampleName);
  r.lowVelocity = zone.U8(kZoneLowVelocity);
  r.highVelocity = zone.U8(kZoneHighVelocity);
  r.tuneFraction = zone.U8(kZoneTuneFraction);
  r.tuneSemitones = zone.I8(kZoneTuneSemitones);
  r.pan = zone.I8(kZonePan);
  r.playbackMode = zone.U8(kZonePlaybackMode);
  return r;
}

KeygroupRecord DecodeKeygroupRecord(ByteView keygroup) {
  KeygroupRecord r{};
  r.lowKey = keygroup.U8(kKeygroupLowKey);
  r.highKey = keygroup.U8(kKeygroupHighKey);
  r.tuneFraction = keygroup.U8(kKeygroupTuneFraction);
  r.tuneSemitones = keygroup.I8(kKeygroupTuneSemitones);
  r.filterFrequency = keygroup.U8(kKeygroupFilterFrequency);
  r.env2ToFilter = keygroup.I8(kKeygroupEnv2ToFilter);
  r.env1Attack = keygroup.U8(kKeygroupEnv1Attack);
  r.env1Decay = keygroup.U8(kKeygroupEnv1Attack + 1);
  r.env1Sustain = keygroup.U8(kKeygroupEnv1Attack + 2);
  r.env1Release = keygroup.U8(kKeygroupEnv1Attack + 3);
  r.env2Attack = keygroup.U8(kKeygroupEnv2Attack);
  r.env2Decay = keygroup.U8(kKeygroupEnv2Attack + 1);
  r.env2Sustain = keygroup.U8(kKeygroupEnv2Attack + 2);
  r.env2Release = keygroup.U8(kKeygroupEnv2Attack + 3);
  for (uint32_t z = 0; z < kZonesPerKeygroup; ++z) {
    r.zones[z] = DecodeVelocityZone(ZoneBytes(keygroup, z));
    r.zoneFlags[z] = keygroup.U8(kKeygroupZoneFlags + z);
  }
  return r;
}

SampleRecord DecodeSampleRecord(ByteView header) {
  SampleRecord r{};
  r.recordedPitch = header.U8(kSampleRecordedPitch);
  r.playbackType = header.U8(kSamplePlaybackType);
  r.tuneFine = header.U8(kSampleTuneFine);
  r.tuneSemitones = header.I8(kSampleTuneSemitones);
  r.length = header.U32(kSampleLength);
  r.playStart = header.U32(kSamplePlayStart);
  r.playEnd = header.U32(kSamplePlayEnd);
  r.loopPoint = header.U32(kSampleLoopPoint);
  r.loopLength = header.U32(kSampleLoopLength);
  r.loopTime = header.U16(kSampleLoopTime);
  r.sampleRate = header.U16(kSampleRate);
  return r;
}

bool IsZoneUsed(const char* sampleName) {
  return std::strncmp(sampleName, "            ", kAkaiNameBytes) != 0;
}

uint32_t ProgramKeygroupCount(const ProgramBuffer& program, uint32_t stride) {
  const ByteView bytes = ProgramBytes(program);
  uint32_t count = bytes.U8(kProgramKeygroupCount);
  if (count > kMaxKeygroups) count = kMaxKeygroups;
  const uint32_t records = stride == 0 ? 0 : static_cast<uint32_t>(bytes.size / stride);
  const uint32_t whole = records == 0 ? 0 : records - 1;  // record 0 is the header
  return count < whole ? count : whole;
}

ByteView KeygroupBytes(const ProgramBuffer& program, uint32_t stride, uint32_t k) {
  const ByteView bytes = ProgramBytes(program);
  const size_t offset = static_cast<size_t>(k + 1) * stride;
  if (!bytes.Holds(offset, stride)) return {};
  return bytes.Sub(offset, stride);
}

ByteView ZoneBytes(ByteView keygroup, uint32_t z) {
  return keygroup.Sub(kKeygroupFirstZone + kZoneBytes * z, kZoneBytes);
}

}  // namespace corvix
