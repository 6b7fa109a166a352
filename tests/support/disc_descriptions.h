// Short ways to describe test discs for the test-disc builder, shared by
// the native tests and the Windows end-to-end driver (no GoogleTest here).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "akai_disc_builder.h"

namespace corvix::testing {

inline discbuilder::SampleSpec Sample(const std::string& name, uint32_t words = 100) {
  discbuilder::SampleSpec s;
  s.name = name;
  for (uint32_t i = 0; i < words; ++i) s.pcm.push_back(static_cast<int16_t>(i * 37 - 1000));
  return s;
}

inline discbuilder::ProgramSpec Program(const std::string& name, std::vector<discbuilder::KeygroupSpec> keygroups,
                                        uint8_t midiProgram = 0) {
  discbuilder::ProgramSpec p;
  p.name = name;
  p.midiProgram = midiProgram;
  p.keygroups = std::move(keygroups);
  return p;
}

inline discbuilder::VolumeSpec Volume(const std::string& name, std::vector<discbuilder::ProgramSpec> programs,
                                      std::vector<discbuilder::SampleSpec> samples = {}) {
  discbuilder::VolumeSpec v;
  v.name = name;
  v.programs = std::move(programs);
  v.samples = std::move(samples);
  return v;
}

inline discbuilder::KeygroupSpec Keygroup(uint8_t low, uint8_t high, std::vector<std::string> samples = {}) {
  discbuilder::KeygroupSpec k{.lowKey = low, .highKey = high};
  for (size_t z = 0; z < samples.size() && z < 4; ++z) k.zones[z].sample = samples[z];
  return k;
}

}  // namespace corvix::testing
