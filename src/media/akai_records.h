// Byte layouts of Akai S1000 programs, keygroups, velocity zones and samples.
//
// A program file is a ProgramRecord followed by one KeygroupRecord per
// keygroup, all `stride` bytes long (RecordLength of the volume's type);
// keygroup k begins at byte (k + 1) × stride and velocity zone z at byte
// 34 + 24 × z of its keygroup. A sample file is a header of the same length
// followed by 16-bit little-endian sound words.
//
// The decoders take a ByteView, so a record that lies partly outside the
// bytes read decodes its missing fields as zero rather than reading on.
// Names are decoded with DecodeAkaiName (12 characters, trailing spaces kept).
#pragma once

#include <cstdint>
#include <vector>

#include "common/byte_order.h"
#include "media/akai_format.h"

namespace corvix {

// ProgramRecord fields.
constexpr uint32_t kProgramName = 3;
constexpr uint32_t kProgramMidiProgram = 15;
constexpr uint32_t kProgramVelocityToLoudness = 26;
constexpr uint32_t kProgramLfoSpeed = 33;
constexpr uint32_t kProgramModWheelToLfoDepth = 36;
constexpr uint32_t kProgramPitchBendRange = 39;
constexpr uint32_t kProgramKeygroupCount = 42;

// KeygroupRecord fields.
constexpr uint32_t kKeygroupLowKey = 3;
constexpr uint32_t kKeygroupHighKey = 4;
constexpr uint32_t kKeygroupTuneFraction = 5;
constexpr uint32_t kKeygroupTuneSemitones = 6;
constexpr uint32_t kKeygroupFilterFrequency = 7;
constexpr uint32_t kKeygroupEnv2ToFilter = 11;
constexpr uint32_t kKeygroupEnv1Attack = 12;   // then decay, sustain, release
constexpr uint32_t kKeygroupEnv2Attack = 20;   // then decay, sustain, release
constexpr uint32_t kKeygroupFirstZone = 34;
constexpr uint32_t kZoneBytes = 24;
constexpr uint32_t kKeygroupZoneFlags = 132;   // one byte per zone

// VelocityZone fields.
constexpr uint32_t kZoneSampleName = 0;
constexpr uint32_t kZoneLowVelocity = 12;
constexpr uint32_t kZoneHighVelocity = 13;
constexpr uint32_t kZoneTuneFraction = 14;
constexpr uint32_t kZoneTuneSemitones = 15;
constexpr uint32_t kZonePan = 18;
constexpr uint32_t kZonePlaybackMode = 19;

// SampleRecord fields.
constexpr uint32_t kSampleRecordedPitch = 2;
constexpr uint32_t kSamplePlaybackType = 19;
constexpr uint32_t kSampleTuneFine = 20;
constexpr uint32_t kSampleTuneSemitones = 21;
constexpr uint32_t kSampleLength = 26;
constexpr uint32_t kSamplePlayStart = 30;
constexpr uint32_t kSamplePlayEnd = 34;
constexpr uint32_t kSampleLoopPoint = 38;
constexpr uint32_t kSampleLoopLength = 44;
constexpr uint32_t kSampleLoopTime = 48;
constexpr uint32_t kSampleRate = 138;

struct ProgramRecord {
  char name[kAkaiNameBytes + 1];
  uint8_t midiProgram;
  uint8_t velocityToLoudness;  // −50…+50 stored as a byte (negative = 206…255)
  uint8_t lfoSpeed;
  uint8_t modWheelToLfoDepth;
  uint8_t pitchBendRange;      // semitones
  uint8_t keygroupCount;       // as stored; see ProgramKeygroupCount
};

struct VelocityZone {
  char sampleName[kAkaiNameBytes + 1];
  uint8_t lowVelocity;
  uint8_t highVelocity;
  uint8_t tuneFraction;   // 1/256 semitone
  int8_t tuneSemitones;
  int8_t pan;             // −50…+50, negative = left
  uint8_t playbackMode;   // overrides the sample's loop decision
};

struct KeygroupRecord {
  uint8_t lowKey;
  uint8_t highKey;
  uint8_t tuneFraction;
  int8_t tuneSemitones;
  uint8_t filterFrequency;  // 0…99, 99 = fully open
  int8_t env2ToFilter;
  uint8_t env1Attack, env1Decay, env1Sustain, env1Release;  // amplitude
  uint8_t env2Attack, env2Decay, env2Sustain, env2Release;  // filter
  VelocityZone zones[kZonesPerKeygroup];
  uint8_t zoneFlags[kZonesPerKeygroup];
};

struct SampleRecord {
  uint8_t recordedPitch;  // MIDI note
  uint8_t playbackType;   // 0, 1: looped; 2, 3: not looped
  uint8_t tuneFine;       // 1/256 semitone
  int8_t tuneSemitones;
  uint32_t length;        // sound words in the file
  uint32_t playStart;     // word index
  uint32_t playEnd;       // word index; not below length = end of sample
  uint32_t loopPoint;     // last word of the loop
  uint32_t loopLength;    // words; the loop is loopPoint − loopLength + 1 … loopPoint
  uint16_t loopTime;      // 0 = the loop is not played
  uint16_t sampleRate;    // Hz
};

// Writes n decoded characters of an Akai name (no terminator of its own;
// destinations are zero-filled beforehand). Returns 1.
int DecodeAkaiName(const uint8_t* source, char* destination, int n);

// The 100 volume entries of a partition header (names, types and directory
// blocks; the lists are left as they are).
void DecodeVolumeTable(const uint8_t* header, VolumeEntry (&volumes)[kVolumesPerPartition]);

// A volume's directory block (kBlockBytes) into the volume's lists and
// counts. An unused entry or an unknown type ends the directory; entries
// past the lists' capacity are walked over but not stored.
void DecodeDirectory(const uint8_t* block, VolumeEntry* volume);

// The summary of a program read: its keygroups' key ranges and which zones
// name a sample of `volume` (whose lists must be current).
void SummarizeProgram(const ProgramBuffer& program, const VolumeEntry& volume, ProgramSummary* out);

// The chain of the file starting at startBlock, from a partition's FAT
// (kFatEntries little-endian u16 at fat) in a partition of partitionSize
// blocks: at most maxBlocks blocks, ending at the end mark, at a block that
// is not a file block (blocks 0 to 2 hold the header; none at or past the
// partition's size or the FAT's end), or where the chain comes back to a
// block it has been through (a file holds no block twice). Empty when
// startBlock is not a file block.
std::vector<uint16_t> WalkChain(const uint8_t* fat, uint32_t partitionSize, uint16_t startBlock, uint32_t maxBlocks);

ProgramRecord DecodeProgramRecord(ByteView program);
KeygroupRecord DecodeKeygroupRecord(ByteView keygroup);
VelocityZone DecodeVelocityZone(ByteView zone);
SampleRecord DecodeSampleRecord(ByteView header);

// True when the zone names a sample: its name is not twelve spaces.
bool IsZoneUsed(const char* sampleName);

// A tuning pair as one signed number of 1/256 semitones:
// semitones × 256 + fraction, e.g. (−1, 128) = −128, half a semitone down.
inline int32_t TuneUnits(int8_t semitones, uint8_t fraction) {
  return semitones * 256 + fraction;
}

// The program's bytes as read, and the keygroups that may be addressed in
// them: the stored count, clipped to kMaxKeygroups and to the whole
// keygroups that the bytes read hold.
inline ByteView ProgramBytes(const ProgramBuffer& program) {
  return {program.bytes, program.bytesRead <= kProgramBufferBytes ? program.bytesRead
                                                                   : kProgramBufferBytes};
}
uint32_t ProgramKeygroupCount(const ProgramBuffer& program, uint32_t stride);

// The stride bytes of keygroup k (empty when outside the bytes read), and
// zone z of a keygroup.
ByteView KeygroupBytes(const ProgramBuffer& program, uint32_t stride, uint32_t k);
ByteView ZoneBytes(ByteView keygroup, uint32_t z);

}  // namespace corvix
