#include "instrument/articulation_values.h"

#include <algorithm>
#include <cmath>

#include "media/akai_records.h"

namespace corvix {
namespace {

constexpr double kAttackSeconds[100] = {
    0,     0.001, 0.001, 0.002, 0.002, 0.003, 0.003, 0.004, 0.004, 0.005,
    0.005, 0.005, 0.006, 0.006, 0.006, 0.007, 0.007, 0.007, 0.008, 0.008,
    0.008, 0.009, 0.01,  0.011, 0.011, 0.012, 0.013, 0.015, 0.017, 0.018,
    0.019, 0.023, 0.024, 0.027, 0.029, 0.032, 0.035, 0.039, 0.043, 0.047,
    0.051, 0.057, 0.064, 0.069, 0.076, 0.084, 0.093, 0.102, 0.113, 0.124,
    0.136, 0.152, 0.165, 0.181, 0.202, 0.223, 0.247, 0.272, 0.301, 0.331,
    0.367, 0.404, 0.448, 0.485, 0.533, 0.59,  0.658, 0.716, 0.786, 0.868,
    0.97,  1.099, 1.176, 1.266, 1.497, 1.65,  1.83,  2.06,  2.06,  2.35,
    2.75,  2.75,  3.3,   3.3,   4.12,  4.12,  5.5,   5.5,   5.5,   8.25,
    8.25,  8.25,  8.25,  8.25,  16.5,  16.5,  16.5,  16.5,  16.5,  16.5};

constexpr double kDecaySeconds[100] = {
    0.001, 0.002, 0.003, 0.004, 0.005, 0.006, 0.007, 0.008, 0.009, 0.01,
    0.011, 0.012, 0.013, 0.014, 0.015, 0.016, 0.017, 0.018, 0.019, 0.021,
    0.023, 0.026, 0.029, 0.032, 0.034, 0.038, 0.043, 0.045, 0.05,  0.057,
    0.061, 0.069, 0.075, 0.082, 0.094, 0.1,   0.109, 0.12,  0.134, 0.148,
    0.164, 0.18,  0.198, 0.218, 0.241, 0.264, 0.293, 0.325, 0.357, 0.393,
    0.431, 0.479, 0.527, 0.578, 0.642, 0.712, 0.786, 0.861, 0.957, 1.054,
    1.169, 1.284, 1.422, 1.549, 1.697, 1.881, 2.103, 2.287, 2.505, 2.768,
    3.097, 3.508, 3.758, 4.046, 4.781, 5.26,  5.843, 6.575, 6.575, 7.51,
    8.76,  8.76,  10.5,  10.5,  13,    13,    17,    17,    17,    26,
    26,    26,    26,    26,    52,    52,    52,    52,    52,    52};

constexpr double kSustainPercent[100] = {
    0,      0,      0.07,   0.086,  0.095,  0.117,  0.138,  0.165,  0.185,  0.209,
    0.229,  0.251,  0.268,  0.286,  0.303,  0.324,  0.35,   0.385,  0.402,  0.415,
    0.427,  0.437,  0.45,   0.498,  0.558,  0.588,  0.671,  0.692,  0.701,  0.75,
    0.809,  0.9,    0.987,  1.03,   1.129,  1.189,  1.281,  1.389,  1.476,  1.528,
    1.618,  1.865,  1.952,  2.06,   2.181,  2.393,  2.488,  2.718,  2.891,  3.155,
    3.332,  3.57,   3.877,  4.128,  4.5,    4.747,  5.115,  5.392,  5.885,  6.145,
    6.755,  7.274,  7.685,  8.313,  8.828,  9.576,  10.165, 10.996, 11.588, 12.575,
    13.263, 14.466, 15.669, 16.548, 17.945, 18.928, 20.602, 21.662, 23.558, 24.899,
    27.007, 29.33,  30.953, 33.571, 35.445, 38.465, 40.603, 44.108, 46.575, 50.526,
    53.395, 57.943, 62.872, 66.433, 72.132, 76.152, 82.66,  87.26,  94.738, 100};

// A piecewise-linear curve over Akai steps: segment i covers x in
// (10i, 10(i + 1)] (the first also takes 0) and is base + (x − 10i) × slope.
struct Segment {
  double base, slope;
};
double Piecewise(const Segment (&segments)[10], uint8_t x) {
  const int value = std::min<int>(x, 99);
  const int i = value <= 10 ? 0 : std::min((value - 1) / 10, 9);
  return segments[i].base + (value - 10 * i) * segments[i].slope;
}

uint8_t Table(uint8_t x) { return std::min<uint8_t>(x, 99); }

int32_t Truncate(double value) {
  // Values come from the tables above and stay well inside 32 bits; the
  // clamp only guards against a table entry out of range.
  return static_cast<int32_t>(std::clamp(std::trunc(value), -2147483648.0, 2147483647.0));
}

}  // namespace

int32_t TimeCents(double value) {
  if (value <= 0) return kTimeCentsNone;
  return Truncate(std::log2(value) * 78643200.0);
}
int32_t Level16(double percent) { return Truncate(percent * 655360.0); }
int32_t Fixed16(double value) { return Truncate(value * 65536.0); }

double AttackSeconds(uint8_t x) { return kAttackSeconds[Table(x)]; }
double DecaySeconds(uint8_t x) { return kDecaySeconds[Table(x)]; }
double SustainPercent(uint8_t x) { return kSustainPercent[Table(x)]; }

double AttackScale(uint8_t x) {
  return x <= 65 ? 1.0 : 1.0 - std::min(x - 65, 15) * 0.018;
}

double DecayScale(uint8_t x) {
  if (x <= 40) return 0.4;
  if (x <= 50) return 0.4 + (x - 40) * 0.008;
  if (x <= 60) return 0.48 + (x - 50) * 0.016;
  if (x <= 70) return 0.64 + (x - 60) * 0.008;
  return 0.72;
}

double LfoRateHz(uint8_t x) {
  static constexpr Segment kRate[10] = {{0, 0.11},   {1.1, 0.07},   {1.8, 0.08},  {2.6, 0.08},
                                        {3.4, 0.075}, {4.15, 0.075}, {4.9, 0.085}, {5.75, 0.075},
                                        {6.5, 0.065}, {7.15, 0.06}};
  return Piecewise(kRate, x);
}

double LfoDepth(uint8_t x) {
  static constexpr Segment kDepth[10] = {{0, 4},     {40, 3},    {70, 5},   {120, 3},  {150, 2.5},
                                         {175, 2.5}, {200, 5.5}, {255, 2},  {275, 2.5}, {300, 2.5}};
  return Piecewise(kDepth, x);
}

uint8_t FilterCutoff(uint8_t x) {
  static constexpr Segment kCutoff[10] = {{2, 0},  {3, 0},  {4, 0},  {10, 0}, {15, 0},
                                          {15, 1.5}, {30, 3}, {60, 2}, {80, 3}, {110, 1.7}};
  return static_cast<uint8_t>(Truncate(Piecewise(kCutoff, x)));
}

double FilterSustain(uint8_t x, double sustainPercent) {
  static constexpr Segment kSustain[10] = {{2, 0},    {3, 0},  {4, 0},    {10, 0}, {15, 0},
                                           {15, 1.5}, {30, 2}, {50, 2.5}, {75, 1}, {85, 1.5}};
  return std::min(100.0, Piecewise(kSustain, x) + sustainPercent);
}

uint32_t VelocityCurve(uint8_t amount) {
  if (amount <= 10) return 0x0909;
  if (amount <= 19) return 0x0703;
  if (amount <= 39) return 0x0702;
  if (amount <= 50) return 0x0601;
  return amount;
}

uint8_t PanByte(int8_t pan) {
  if (pan >= 0) {
    const int v = static_cast<int>(std::trunc(1.26 * pan + 0.5));
    return static_cast<uint8_t>(v == 0 ? 1 : v);
  }
  return static_cast<uint8_t>(64 + static_cast<int>(std::trunc(-1.26 * pan + 0.5)));
}

std::array<uint8_t, kArticulationBytes> BuildArticulation(const ArticulationSource& s) {
  std::array<uint8_t, kArticulationBytes> out{};
  auto put = [&](uint32_t offset, uint32_t value) { PutU32LE(out.data() + offset, value); };
  auto putSigned = [&](uint32_t offset, int32_t value) { put(offset, static_cast<uint32_t>(value)); };
  const ByteView& k = s.keygroup;
  const uint8_t filter = k.U8(kKeygroupFilterFrequency);
  const int8_t env2Amount = k.I8(kKeygroupEnv2ToFilter);
  auto attack = [&](uint32_t at) { return TimeCents(AttackSeconds(k.U8(at)) * AttackScale(k.U8(at))); };
  auto decay = [&](uint32_t at) {
    return TimeCents(std::max(0.005, DecaySeconds(k.U8(at)) * DecayScale(k.U8(at))));
  };
  auto release = [&](uint32_t at) { return TimeCents(DecaySeconds(k.U8(at)) * DecayScale(k.U8(at))); };
  constexpr uint32_t kEnv1 = kKeygroupEnv1Attack, kEnv2 = kKeygroupEnv2Attack;

  put(0, kArticulationBytes);
  putSigned(4, TimeCents(LfoRateHz(s.program.U8(kProgramLfoSpeed))));
  put(8, 0x80000000u);
  putSigned(24, Fixed16(LfoDepth(s.program.U8(kProgramModWheelToLfoDepth))));
  putSigned(28, attack(kEnv1));
  putSigned(32, decay(kEnv1 + 1));
  putSigned(36, Level16(SustainPercent(k.U8(kEnv1 + 2))));
  putSigned(40, release(kEnv1 + 3));
  put(44, 0x80000000u);
  put(48, 0x80000000u);
  putSigned(52, attack(kEnv2));
  putSigned(56, decay(kEnv2 + 1));
  putSigned(60, env2Amount > 0 ? Level16(FilterSustain(filter, SustainPercent(k.U8(kEnv2 + 2))))
                               : Level16(100));
  putSigned(64, release(kEnv2 + 3));
  put(68, 0x80000000u);
  put(72, 0x80000000u);
  put(80, 0x7FFFFFFFu);
  put(88, 0x7FFFFFFFu);
  putSigned(92, filter == 99 ? 0 : Level16(FilterCutoff(filter)));
  put(96, VelocityCurve(s.program.U8(kProgramVelocityToLoudness)));
  put(100, 10);
  out[108] = s.keyByte;
  out[109] = s.stereo ? 0 : PanByte(s.zone.I8(kZonePan));
  put(112, 1);
  put(120, 2);
  put(124, s.velocityHigh);
  if (filter == 99) {
    out[132] = 0x7F;
  } else {
    const int opened = std::min(99, filter + 2 * std::max<int>(0, env2Amount));
    out[132] = static_cast<uint8_t>(0x80 | FilterCutoff(static_cast<uint8_t>(opened)));
  }
  out[134] = 0x3C;
  put(136, 0x00030000u);
  return out;
}

namespace {

// A keygroup-plus-zone tune as whole semitones (signed, after the carry of
// the fractions) and the remaining fraction in cents rounded to whole
// cents, 0…100.
struct Tune {
  int semitones;
  int cents;
};
Tune Combine(uint8_t fractionA, int8_t semitonesA, uint8_t fractionB, int8_t semitonesB) {
  const int fractions = fractionA + fractionB;
  const int semitones = static_cast<int8_t>(static_cast<uint8_t>(semitonesA + semitonesB + fractions / 256));
  const int cents = static_cast<int>(std::floor(0.5 + (fractions % 256) * 100.0 / 256.0));
  return {semitones, cents};
}

}  // namespace

void RetuneSample(const TuneBytes& current, const TuneBytes& recorded, uint16_t* unityNote,
                  int16_t* fineTune) {
  const Tune now = Combine(current.keygroupFraction, current.keygroupSemitones, current.zoneFraction,
                           current.zoneSemitones);
  const Tune then = Combine(recorded.keygroupFraction, recorded.keygroupSemitones,
                            recorded.zoneFraction, recorded.zoneSemitones);
  // The wave plays note U − F/100. Taking the recorded tune out raises that
  // note by it; putting the current one in lowers it. Each fraction is kept
  // within −50…+49 cents (an exact half goes up to the
  // next note) by moving whole semitones into the unity note.
  int unity = *unityNote + then.semitones - now.semitones;
  int centsThen = then.cents;  // raises the note: F goes down by it
  int centsNow = now.cents;    // lowers the note: F goes up by it
  if (centsThen >= 50) {
    unity += 1;
    centsThen -= 100;
  }
  if (centsNow >= 50) {
    unity -= 1;
    centsNow -= 100;
  }
  // A tune that takes the note out of the MIDI range keeps it at the edge.
  *unityNote = static_cast<uint16_t>(std::clamp(unity, 0, 127));
  *fineTune = static_cast<int16_t>(*fineTune - centsThen + centsNow);
}

}  // namespace corvix
