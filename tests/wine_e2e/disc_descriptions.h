// Short ways to describe test discs for the Windows-side programs (the
// native tests have theirs in tests/support/test_disc.h, which needs
// GoogleTest).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "akai_disc_builder.h"

namespace corvix::e2e {

// A saw tone of words samples.
inline discbuilder::SampleSpec Tone(const std::string& name, uint32_t words, double frequency) {
  discbuilder::SampleSpec s;
  s.name = name;
  s.pcm = discbuilder::MakeTone("saw", frequency, words, 0.4, 0.0, 44100);
  return s;
}

inline discbuilder::ProgramSpec Program(const std::string& name, std::vector<discbuilder::KeygroupSpec> keygroups) {
  discbuilder::ProgramSpec p;
  p.name = name;
  p.keygroups = std::move(keygroups);
  return p;
}

inline discbuilder::KeygroupSpec Keys(uint8_t low, uint8_t high, std::vector<std::string> samples) {
  discbuilder::KeygroupSpec k;
  k.lowKey = low;
  k.highKey = high;
  for (size_t z = 0; z < samples.size() && z < 4; ++z) k.zones[z].sample = samples[z];
  return k;
}

// A small second disc (one volume "IMAGE VOL", one program BELLS), for a
// disc change and for opening a disc image.
inline discbuilder::DiscSpec BellDisc() {
  discbuilder::DiscSpec disc;
  disc.partitions.resize(1);
  discbuilder::VolumeSpec v;
  v.name = "IMAGE VOL";
  v.samples = {Tone("BELL", 2000, 440.0)};
  v.programs = {Program("BELLS", {Keys(60, 84, {"BELL"})})};
  disc.partitions[0].volumes = {v};
  return disc;
}

}  // namespace corvix::e2e
