#include "instrument/articulation_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "media/akai_records.h"

namespace corvix {
namespace {

TEST(ArticulationValuesTest, TimesLevelsAndCurvesHitTheirAnchors) {
  EXPECT_EQ(TimeCents(0), kTimeCentsNone);
  EXPECT_EQ(TimeCents(1), 0);
  EXPECT_EQ(TimeCents(2), 78643200);
  EXPECT_EQ(TimeCents(0.5), -78643200);
  EXPECT_EQ(Level16(15), 9830400);
  EXPECT_EQ(Level16(100), 65536000);
  EXPECT_EQ(Fixed16(1.5), 98304);

  // Segment joins: each piece starts where the one before ended.
  for (int x = 10; x < 99; x += 10) {
    SCOPED_TRACE(x);
    EXPECT_NEAR(LfoRateHz(static_cast<uint8_t>(x)), LfoRateHz(static_cast<uint8_t>(x + 1)), 0.12);
  }
  EXPECT_DOUBLE_EQ(LfoRateHz(0), 0);
  EXPECT_NEAR(LfoRateHz(99), 7.69, 1e-9);
  EXPECT_NEAR(LfoDepth(99), 322.5, 1e-9);
  EXPECT_EQ(FilterCutoff(70), 60);
  EXPECT_EQ(FilterCutoff(99), 125);
  EXPECT_EQ(FilterCutoff(255), 125);  // clamped, never past the table
  EXPECT_DOUBLE_EQ(FilterSustain(99, 50), 100);
  EXPECT_DOUBLE_EQ(AttackScale(80), 1.0 - 15 * 0.018);
  EXPECT_DOUBLE_EQ(DecayScale(55), 0.48 + 5 * 0.016);

  struct Pan {
    int8_t pan;
    uint8_t byte;
  };
  for (Pan p : {Pan{0, 1}, Pan{50, 63}, Pan{-1, 65}, Pan{-50, 127}, Pan{1, 1}}) {
    SCOPED_TRACE(static_cast<int>(p.pan));
    EXPECT_EQ(PanByte(p.pan), p.byte);
  }
  EXPECT_EQ(VelocityCurve(0), 0x0909u);
  EXPECT_EQ(VelocityCurve(15), 0x0703u);
  EXPECT_EQ(VelocityCurve(251), 251u);  // −5 read unsigned
}

struct Records {
  uint8_t program[150] = {};
  uint8_t keygroup[150] = {};
  ArticulationSource Source(uint32_t zone = 0) {
    return {{program, sizeof program},
            {keygroup, sizeof keygroup},
            ByteView{keygroup, sizeof keygroup}.Sub(kKeygroupFirstZone + kZoneBytes * zone, kZoneBytes),
            7, false, 100};
  }
};

TEST(ArticulationValuesTest, ArticulationFieldsFollowTheKeygroup) {
  Records r;
  r.keygroup[kKeygroupFilterFrequency] = 50;
  r.keygroup[kKeygroupEnv2ToFilter] = 10;
  r.keygroup[kKeygroupEnv1Attack] = 0;       // no attack at all
  r.keygroup[kKeygroupEnv1Attack + 1] = 0;   // decay floor
  r.keygroup[kKeygroupEnv1Attack + 3] = 0;   // release has no floor
  r.keygroup[kKeygroupFirstZone + kZonePan] = static_cast<uint8_t>(-50);
  auto a = BuildArticulation(r.Source());
  auto at = [&](uint32_t offset) { return ReadU32LE(a.data() + offset); };
  EXPECT_EQ(at(0), 140u);
  EXPECT_EQ(at(28), 0x80000000u);
  EXPECT_EQ(static_cast<int32_t>(at(32)), TimeCents(0.005));
  EXPECT_EQ(static_cast<int32_t>(at(40)), TimeCents(0.001 * 0.4));
  EXPECT_EQ(at(92), 9830400u);  // Level16(FilterCutoff(50)) = Level16(15)
  EXPECT_EQ(a[132], 0xBC);      // 0x80 | FilterCutoff(70)
  EXPECT_EQ(a[134], 0x3C);
  EXPECT_EQ(a[108], 7);
  EXPECT_EQ(a[109], 127);
  EXPECT_EQ(at(124), 100u);
  EXPECT_EQ(at(136), 0x00030000u);

  // Fully open filter, whatever the envelope amount; no envelope amount
  // means full sustain on envelope 2; a stereo wave has no pan.
  r.keygroup[kKeygroupFilterFrequency] = 99;
  r.keygroup[kKeygroupEnv2ToFilter] = static_cast<uint8_t>(-20);
  r.keygroup[kKeygroupEnv2Attack + 2] = 10;
  ArticulationSource stereo = r.Source();
  stereo.stereo = true;
  a = BuildArticulation(stereo);
  EXPECT_EQ(at(92), 0u);
  EXPECT_EQ(a[132], 0x7F);
  EXPECT_EQ(at(60), 65536000u);
  EXPECT_EQ(a[109], 0);
}

// The WAV writer's pitch for a sample: recorded pitch less the sum of the
// sample's, the keygroup's and the zone's tune, rounded to whole cents, in
// cents above MIDI note 0.
int WriterPitchCents(int recordedPitch, int fractions, int semitones) {
  const int semis = static_cast<int8_t>(static_cast<uint8_t>(semitones + fractions / 256));
  const int cents = static_cast<int>(std::floor((fractions % 256) * 100.0 / 256.0 + 0.5));
  return (recordedPitch - semis) * 100 - cents;
}

TEST(ArticulationValuesTest, RetunedPitchAgreesWithTheWriterForEveryTune) {
  uint16_t unity = 60;
  int16_t fine = 0;
  RetuneSample({0, 0, 0, 2}, {0, 0, 0, 0}, &unity, &fine);
  EXPECT_EQ(unity, 58);
  EXPECT_EQ(fine, 0);

  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255), semis(-3, 3);
  for (int i = 0; i < 100000; ++i) {
    const TuneBytes recorded{static_cast<uint8_t>(byte(random)), static_cast<int8_t>(semis(random)),
                             static_cast<uint8_t>(byte(random)), static_cast<int8_t>(semis(random))};
    const TuneBytes current{static_cast<uint8_t>(byte(random)), static_cast<int8_t>(semis(random)),
                            static_cast<uint8_t>(byte(random)), static_cast<int8_t>(semis(random))};
    const int sampleFraction = byte(random);
    auto pitch = [&](const TuneBytes& t) {
      return WriterPitchCents(64, sampleFraction + t.keygroupFraction + t.zoneFraction,
                              t.keygroupSemitones + t.zoneSemitones);
    };
    // The row the writer left for the recorded tune: nearest note and the
    // cents back to it.
    const int before = pitch(recorded);
    uint16_t u = static_cast<uint16_t>((before + 50) / 100);
    int16_t f = static_cast<int16_t>(u * 100 - before);
    RetuneSample(current, recorded, &u, &f);
    const int after = u * 100 - f;
    ASSERT_LE(std::abs(after - pitch(current)), 1)
        << "fractions " << int(current.keygroupFraction) << "+" << int(current.zoneFraction);
  }
}

}  // namespace
}  // namespace corvix
