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

double CutoffHertz(uint8_t key) { return 440.0 * std::pow(2.0, (key - 69) / 12.0); }

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
      SampleRecord header = static_cast<size_t>(wave) < sources.size() ? sources[static_cast<size_t>(wave)].header
                                                                       : SampleRecord{};
      header.sampleRate = 44100;
      const WaveTuning tuning = ComputeWaveTuning(header, keygroup, zoneBytes);
      const double pitch = tuning.unityNote + tuning.pitchFraction / 4294967296.0;
      const double root = std::clamp(std::floor(pitch + 0.5), 0.0, 127.0);
      p.rootKey = static_cast<uint8_t>(root);
      p.tuneCents = static_cast<int32_t>(std::lround((root - pitch) * 100.0));

      p.loops = row.loopMarker != kNoLoop;
      uint8_t mode = zone.playbackMode;  // 1 loop, 2 loop until release, 3 no loop, 4 to the end
      if (mode == 0 || mode > 4) mode = static_cast<uint8_t>(std::min<int>(header.playbackType, 3) + 1);
      p.loopUntilRelease = p.loops && mode == 2;
      p.oneShot = !p.loops && mode == 4;
      p.loopStart = row.loopStart;
      p.loopEnd = row.loopEnd;
      if (p.loops && p.loopEnd < p.loopStart) {
        p.loops = false;
        note(k, z, zone.sampleName, "a loop of no length can't be played; the sample plays once");
      }

      const uint8_t a = keygroup.U8(kKeygroupEnv1Attack), d = keygroup.U8(kKeygroupEnv1Attack + 1),
                    s = keygroup.U8(kKeygroupEnv1Attack + 2), r = keygroup.U8(kKeygroupEnv1Attack + 3);
      p.attackSeconds = AttackSeconds(a) * AttackScale(a);
      p.decaySeconds = std::max(0.005, DecaySeconds(d) * DecayScale(d));
      p.sustainPercent = SustainPercent(s);
      p.releaseSeconds = DecaySeconds(r) * DecayScale(r);
      const uint8_t filter = keygroup.U8(kKeygroupFilterFrequency);
      p.filtered = filter < 99;
      p.cutoffKey = std::min<uint8_t>(FilterCutoff(filter), 127);
      p.pan = p.stereo ? 0 : static_cast<int8_t>(std::clamp<int>(zone.pan, -50, 50));
    }
  }
  return zones;
}

}  // namespace corvix
