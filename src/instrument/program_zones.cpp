#include "instrument/program_zones.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "export/stereo_merge.h"
#include "export/wave_writer.h"
#include "instrument/articulation_values.h"
#include "media/akai_names.h"
#include "media/akai_records.h"

namespace corvix {
namespace {

// The row of a zone's sample: its own name, or the merged name of its pair.
int32_t LookUp(const std::vector<WaveEntry>& rows, const char* zoneName) {
  char name[kWaveNameBytes] = {};
  std::memcpy(name, zoneName, std::min<size_t>(std::strlen(zoneName), kAkaiNameBytes));
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < rows.size(); ++i) {
      if (std::strncmp(rows[i].name, name, kWaveNameBytes) == 0) return static_cast<int32_t>(i);
    }
    MakeStereoName(name);
  }
  return -1;
}

}  // namespace

double CutoffHertz(uint8_t filter) {
  return 250.0 * std::pow(80.0, std::min<uint8_t>(filter, 99) / 99.0);
}

CoarseAndFine SplitCents(int32_t cents) { return {cents / 100, cents % 100}; }

WaveLoop SampleLoop(const WaveSource& source) {
  WaveLoop loop;
  const PlayRange sound = SoundRange(source.header);
  if (source.header.loopLength == 0 || source.frames == 0 || sound.loopEnd < sound.loopStart) return loop;
  loop.defined = true;
  loop.start = std::min(sound.loopStart, source.frames - 1);
  loop.end = std::min(sound.loopEnd, source.frames - 1);
  return loop;
}

std::vector<PlayZone> MapProgramZones(const ConversionItem& item, const std::vector<WaveEntry>& rows,
                                      const std::vector<WaveSource>& sources, const std::string& label,
                                      bool noteMissing, std::vector<std::string>* notes) {
  std::vector<PlayZone> zones;
  if (item.program == nullptr) return zones;
  const ProgramBuffer& program = *item.program;
  const uint32_t keygroups = ProgramKeygroupCount(program, item.keygroupStride);
  const auto note = [&](uint32_t k, uint32_t z, const char* sample, const char* what) {
    notes->push_back(label + ": keygroup " + std::to_string(k + 1) + ", zone " + std::to_string(z + 1) +
                     " (\"" + TrimmedName(sample) + "\"): " + what);
  };

  for (uint32_t k = 0; k < keygroups; ++k) {
    const ByteView keygroup = KeygroupBytes(program, item.keygroupStride, k);
    int32_t partner = -1;  // the stereo wave of the zone before: its other channel follows
    char partnerName[kAkaiNameBytes + 1] = {};
    for (uint32_t z = 0; z < kZonesPerKeygroup; ++z) {
      const ByteView zoneBytes = ZoneBytes(keygroup, z);
      const VelocityZone zone = DecodeVelocityZone(zoneBytes);
      if (!IsZoneUsed(zone.sampleName)) {
        partner = -1;
        continue;
      }
      if (item.summary != nullptr && k < kMaxKeygroups && item.summary->keygroups[k].zones[z].present == 0) {
        if (noteMissing) note(k, z, zone.sampleName, "the sample is not in the volume");
        partner = -1;
        continue;
      }
      const int32_t wave = LookUp(rows, zone.sampleName);
      // The other channel of a pair is in the merged file of the zone before
      // (also when the names pair by their letters alone).
      if (partner >= 0 && (wave == partner || (wave < 0 && z % 2 == 1 && IsStereoPair(partnerName, zone.sampleName)))) {
        partner = -1;
        continue;
      }
      partner = wave >= 0 && rows[static_cast<size_t>(wave)].stereo ? wave : -1;
      std::memcpy(partnerName, zone.sampleName, sizeof partnerName);
      if (wave < 0) {
        note(k, z, zone.sampleName, "left out, no wave was exported for it");
        continue;
      }
      const WaveEntry& row = rows[static_cast<size_t>(wave)];
      const uint8_t lowKey = std::min<uint8_t>(keygroup.U8(kKeygroupLowKey), 127),
                    highKey = std::min<uint8_t>(keygroup.U8(kKeygroupHighKey), 127),
                    lowVelocity = std::min<uint8_t>(zone.lowVelocity, 127),
                    highVelocity = std::min<uint8_t>(zone.highVelocity, 127);
      if (lowKey > highKey || lowVelocity > highVelocity) {
        note(k, z, zone.sampleName, "left out, its key or velocity range is empty");
        continue;
      }
      PlayZone& p = zones.emplace_back();
      p.keygroup = k;
      p.zone = z;
      p.lowKey = lowKey;
      p.highKey = highKey;
      p.lowVelocity = lowVelocity;
      p.highVelocity = highVelocity;
      p.row = static_cast<uint32_t>(wave);
      p.stereo = row.stereo != 0;

      // The pitch of the sample as this zone plays it: the WAV writer's
      // tuning with the sample's own rate taken as it is.
      const WaveSource source = static_cast<size_t>(wave) < sources.size() ? sources[static_cast<size_t>(wave)] : WaveSource{};
      const SampleRecord& header = source.header;
      SampleRecord atOwnRate = header;
      atOwnRate.sampleRate = 44100;
      const WaveTuning tuning = ComputeWaveTuning(atOwnRate, keygroup, zoneBytes);
      const double pitch = tuning.unityKey + tuning.pitchFraction / 4294967296.0;
      const double root = std::clamp(std::floor(pitch + 0.5), 0.0, 127.0);
      p.rootKey = static_cast<uint8_t>(root);
      p.tuneCents = static_cast<int32_t>(std::lround((root - pitch) * 100.0));

      // What this zone plays of the wave, which holds the sample's whole
      // sound: the zone's own play range and loop, moved to where the wave
      // starts and held within what it holds.
      const PlayRange sound = SoundRange(header), range = ComputePlayRange(header, zone.playbackMode);
      const uint32_t frames = source.frames;
      const uint32_t first = range.first - std::min(range.first, sound.first);
      p.start = std::min(first, frames);
      p.end = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{first} + range.words, frames));
      if (p.start >= p.end) {
        zones.pop_back();
        note(k, z, zone.sampleName, "left out, it plays no sound of its sample");
        continue;
      }
      p.loopStart = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{first} + range.loopStart, p.end - 1));
      p.loopEnd = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{first} + range.loopEnd, p.end - 1));
      p.loops = range.loops;
      uint8_t mode = zone.playbackMode;  // 1 loop, 2 loop until release, 3 no loop, 4 to the end
      if (mode == 0 || mode > 4) mode = static_cast<uint8_t>(std::min<int>(header.playbackType, 3) + 1);
      if (p.loops && range.loopEnd < range.loopStart) {
        p.loops = false;
        note(k, z, zone.sampleName, "a loop of no length can't be played; the sample plays once");
      }
      p.loopUntilRelease = p.loops && mode == 2;
      p.oneShot = !p.loops && mode == 4;

      const uint8_t a = keygroup.U8(kKeygroupEnv1Attack), d = keygroup.U8(kKeygroupEnv1Attack + 1),
                    s = keygroup.U8(kKeygroupEnv1Attack + 2), r = keygroup.U8(kKeygroupEnv1Attack + 3);
      p.attackSeconds = AttackSeconds(a) * AttackScale(a);
      p.decaySeconds = std::max(0.005, DecaySeconds(d) * DecayScale(d));
      p.sustainPercent = SustainPercent(s);
      p.releaseSeconds = DecaySeconds(r) * DecayScale(r);
      const uint8_t filter = keygroup.U8(kKeygroupFilterFrequency);
      p.filtered = filter < 99;
      p.cutoffHertz = CutoffHertz(filter);
      const int pan = p.stereo && IsRightOfPair(zone.sampleName) ? -zone.pan : zone.pan;
      p.pan = static_cast<int8_t>(std::clamp<int>(pan, -50, 50));
    }
  }
  return zones;
}

}  // namespace corvix
