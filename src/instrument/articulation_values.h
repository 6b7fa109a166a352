// Akai program values in the instrument file's units.
//
// Akai envelopes, filter and LFO settings are mostly 0…99; the instrument
// file wants times as 32-bit logarithmic time values (1200 × 65536 per
// octave of seconds), levels and depths as 16.16 fixed-point numbers. The
// curves below are piecewise linear or tabulated per Akai step. All are pure
// functions; arguments outside 0…99 are clamped to the table's ends.
#pragma once

#include <array>
#include <cstdint>

#include "common/byte_order.h"

namespace corvix {

constexpr int32_t kTimeCentsNone = static_cast<int32_t>(0x80000000u);  // "no time": 0 s

int32_t TimeCents(double value);   // log2(value) × 78643200, kTimeCentsNone for 0
int32_t Level16(double percent);   // tenths of a percent, 16.16
int32_t Fixed16(double value);     // 16.16

double AttackSeconds(uint8_t x);
double DecaySeconds(uint8_t x);    // decays and releases
double SustainPercent(uint8_t x);
double AttackScale(uint8_t x);
double DecayScale(uint8_t x);
double LfoRateHz(uint8_t x);
double LfoDepth(uint8_t x);
uint8_t FilterCutoff(uint8_t x);
double FilterSustain(uint8_t x, double sustainPercent);
uint32_t VelocityCurve(uint8_t amount);  // the program's velocity-to-loudness byte
uint8_t PanByte(int8_t pan);

// What the articulation of one sub-region is made from: the program header,
// the keygroup and the velocity zone (each a view on its record bytes), and
// the wave it plays.
struct ArticulationSource {
  ByteView program;
  ByteView keygroup;
  ByteView zone;
  uint8_t keyByte;       // the WaveTable row's keyByte
  bool stereo;           // the wave is a merged two-channel file
  uint8_t velocityHigh;  // the sub-region's
};

constexpr uint32_t kArticulationBytes = 140;

// The 140-byte articulation body ("3fra"), little-endian.
std::array<uint8_t, kArticulationBytes> BuildArticulation(const ArticulationSource& source);

// The tune recorded with an exported wave and the tune a zone asks for, as
// raw Akai bytes (fraction: 1/256 semitone, unsigned; semitones: signed).
struct TuneBytes {
  uint8_t keygroupFraction;
  int8_t keygroupSemitones;
  uint8_t zoneFraction;
  int8_t zoneSemitones;
};

// Moves a wave's unity note and fine tune (the note it plays is
// unityNote − fineTune / 100) from the recorded keygroup and zone tune to
// the current one. Fractions that add up past a semitone carry into the
// semitones before the cents are taken, so the result agrees with the pitch
// the WAV writer computes for the current tune.
void RetuneSample(const TuneBytes& current, const TuneBytes& recorded, uint16_t* unityNote,
                  int16_t* fineTune);

}  // namespace corvix
