#include "instrument/articulation_values.h"

#include <gtest/gtest.h>

#include <random>

#include "export/wave_writer.h"
#include "media/akai_records.h"

namespace corvix {
namespace {

// An input above 99 is read as 99, never past the table. (Pan, per zone:
// RegionTest.TheArticulationCarriesTheProgramKeygroupZoneAndWave.)
TEST(ArticulationValuesTest, InputsAbove99AreClamped) {
  EXPECT_EQ(FilterCutoff(255), 125);
}

// The WAV writer's pitch in cents above MIDI note 0 for a 64 recorded pitch
// under the given sample fraction and keygroup/zone tune.
int WriterPitchCents(uint8_t sampleFraction, const TuneBytes& t) {
  SampleRecord sample{};
  sample.recordedPitch = 64;
  sample.sampleRate = 44100;
  sample.tuneFine = sampleFraction;
  uint8_t keygroup[150] = {}, zone[24] = {};
  keygroup[kKeygroupTuneFraction] = t.keygroupFraction;
  keygroup[kKeygroupTuneSemitones] = static_cast<uint8_t>(t.keygroupSemitones);
  zone[kZoneTuneFraction] = t.zoneFraction;
  zone[kZoneTuneSemitones] = static_cast<uint8_t>(t.zoneSemitones);
  const WaveTuning w = ComputeWaveTuning(sample, {keygroup, sizeof keygroup}, {zone, sizeof zone});
  return w.rootNote * 100 - w.fineTune;
}

// Fractions of two tunes may add past a whole semitone; the carry must not
// be lost whatever the bytes.
TEST(ArticulationValuesTest, RetunedPitchAgreesWithTheWriterForEveryTune) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255), semis(-3, 3);
  auto tune = [&] {
    return TuneBytes{static_cast<uint8_t>(byte(random)), static_cast<int8_t>(semis(random)),
                     static_cast<uint8_t>(byte(random)), static_cast<int8_t>(semis(random))};
  };
  for (int i = 0; i < 20000; ++i) {
    const TuneBytes recorded = tune(), current = tune();
    const auto sampleFraction = static_cast<uint8_t>(byte(random));
    const int before = WriterPitchCents(sampleFraction, recorded);
    auto u = static_cast<uint16_t>((before + 50) / 100);
    auto f = static_cast<int16_t>(u * 100 - before);
    RetuneSample(current, recorded, &u, &f);
    ASSERT_LE(std::abs(u * 100 - f - WriterPitchCents(sampleFraction, current)), 1)
        << "fractions " << int(current.keygroupFraction) << "+" << int(current.zoneFraction);
  }
}

}  // namespace
}  // namespace corvix
