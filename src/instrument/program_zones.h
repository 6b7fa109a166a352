// A program's zones as today's samplers take them (SoundFont 2, SFZ): one
// per velocity zone of a keygroup that has a wave, with its keys,
// velocities, pitch, loop, amplitude envelope, filter and pan decoded from
// the Akai records, in keygroup and zone order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/job_state.h"

namespace corvix {

struct PlayZone {
  uint32_t keygroup = 0, zone = 0;  // where it comes from (0-based)
  uint8_t lowKey = 0, highKey = 127, lowVelocity = 0, highVelocity = 127;
  uint32_t row = 0;       // its wave, in the table the zones were mapped with
  bool stereo = false;    // the wave is a merged pair: left channel, then right
  // Pitch, without the correction for the sampling rate that the WAV
  // writer makes (these samplers play each sample at its own rate): the
  // key nearest to the one at which the sample sounds at its own pitch,
  // and the cents to tune it by there.
  uint8_t rootKey = 60;
  int32_t tuneCents = 0;
  bool loops = false;     // the WAV file's loop decision
  // How the Akai plays it (zone override, else the sample's type): a loop
  // that plays only while the key is held, or a sample without a loop that
  // plays to its end whenever the key is let go.
  bool loopUntilRelease = false, oneShot = false;
  uint32_t loopStart = 0, loopEnd = 0;  // frames of the wave, inclusive (the WAV file's smpl)
  // Amplitude envelope (Akai envelope 1) as the instrument file has it.
  double attackSeconds = 0, decaySeconds = 0, sustainPercent = 100, releaseSeconds = 0;
  // Low-pass cutoff as a key number (8.18 Hz at 0, 440 Hz at 69); none when
  // the filter is fully open (99).
  bool filtered = false;
  uint8_t cutoffKey = 127;
  int8_t pan = 0;  // the zone's −50 … +50 (0 for a pair: its channels are panned themselves)
};

// The zones of the program of item (read, with its stride), its waves
// looked up in rows (their names, or the merged name of a pair) with their
// sources. Zones whose sample has no wave are left out and noted
// ("LABEL: keygroup 2, zone 1 ("KICK"): …"), as are those whose sample is
// not in the volume when noteMissing is set (the wave import notes those
// itself in "Import Waves" mode); so is a loop of no length, which plays
// once.
std::vector<PlayZone> MapProgramZones(const ConversionItem& item, const std::vector<WaveEntry>& rows,
                                      const std::vector<WaveSource>& sources, const std::string& label,
                                      bool noteMissing, std::vector<std::string>* notes);

// Hertz of a cutoff key number.
double CutoffHertz(uint8_t key);

}  // namespace corvix
