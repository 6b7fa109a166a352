#include "media/akai_records.h"

#include <cstring>

namespace corvix {
namespace {

void DecodeName(ByteView bytes, uint32_t offset, char* destination) {
  uint8_t raw[kAkaiNameBytes];
  for (int i = 0; i < kAkaiNameBytes; ++i) raw[i] = bytes.U8(offset + i);
  std::memset(destination, 0, kAkaiNameBytes + 1);
  DecodeAkaiName(raw, destination, kAkaiNameBytes);
}

}  // namespace

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
