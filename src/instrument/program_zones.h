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
  bool stereo = false;    // the wave is a merged pair: left channel (the L sample), then right
  // Pitch, without the correction for the sampling rate that the WAV
  // writer makes for the .tes (these samplers play each sample at its own
  // rate): the key nearest to the one at which the sample sounds at its own
  // pitch, held to 0 … 127, and the cents to tune it by there (beyond ±50
  // where the key was held: CoarseAndFine splits them).
  uint8_t rootKey = 60;
  int32_t tuneCents = 0;
  // What the zone plays of its wave, in frames of the wave: the play range
  // and loop of the sample as this zone's playback override has them
  // (ComputePlayRange), within the frames the wave holds. end is one past
  // the last frame played; the loop is inclusive.
  uint32_t start = 0, end = 0;
  bool loops = false;
  uint32_t loopStart = 0, loopEnd = 0;
  // How the Akai plays it (zone override, else the sample's type): a loop
  // that plays only while the key is held, or a sample without a loop that
  // plays to its end whenever the key is let go.
  bool loopUntilRelease = false, oneShot = false;
  // Amplitude envelope (Akai envelope 1) as the instrument file has it.
  double attackSeconds = 0, decaySeconds = 0, sustainPercent = 100, releaseSeconds = 0;
  // Low-pass cutoff (CutoffHertz); none when the filter is fully open (99).
  bool filtered = false;
  double cutoffHertz = 20000;
  // The zone's −50 … +50; for a pair the pan of its left side (the zone of
  // its L sample), the right side panned as far the other way.
  int8_t pan = 0;
};

// The loop a wave's sample defines, in frames of the wave (inclusive), for
// the sample headers of today's formats; zones that play it otherwise say
// so themselves. defined false when the sample has no loop of any length.
struct WaveLoop {
  bool defined = false;
  uint32_t start = 0, end = 0;
};
WaveLoop SampleLoop(const WaveSource& source);

// The zones of the program of item (read, with its stride), its waves
// looked up in rows (their names, or the merged name of a pair) with their
// sources; the waves hold each sample's whole sound (WaveStyle::wholeSound)
// and their unity notes are not corrected for the rate. Zones whose sample
// has no wave, or whose wave holds nothing the zone plays, are left out and
// noted ("LABEL: keygroup 2, zone 1 ("KICK"): …"), as are those whose
// sample is not in the volume when noteMissing is set (the wave import
// notes those itself in "Import Waves" mode); so is a loop of no length,
// which plays once.
std::vector<PlayZone> MapProgramZones(const ConversionItem& item, const std::vector<WaveEntry>& rows,
                                      const std::vector<WaveSource>& sources, const std::string& label,
                                      bool noteMissing, std::vector<std::string>* notes);

// The cutoff of the Akai filter 0 … 99 for today's samplers: rising
// evenly in octaves from 250 Hz at 0 to 20 kHz (fully open) at 99.
double CutoffHertz(uint8_t filter);

// Cents as whole semitones and the cents left (−99 … 99), both toward zero.
struct CoarseAndFine {
  int32_t semitones, cents;
};
CoarseAndFine SplitCents(int32_t cents);

}  // namespace corvix
