// Identifiers from the system's random generator (std::random_device reads
// the kernel's generator on the systems this build targets).
#include <random>

#include "instrument/identifiers.h"

namespace corvix {
namespace {

bool RandomBytes(Identifier* out) {
  try {
    std::random_device device;
    // A generator that keeps giving zeros is broken: a few tries, then no.
    for (int attempt = 0; attempt < 4; ++attempt) {
      for (size_t i = 0; i < out->size(); i += 4) {
        const uint32_t word = device();
        for (size_t j = 0; j < 4; ++j) (*out)[i + j] = static_cast<uint8_t>(word >> (8 * j));
      }
      if (!IsAllZero(*out)) return true;
    }
  } catch (...) {
    // No random device on this system.
  }
  out->fill(0);
  return false;
}

class PosixIdentifiers : public IdentifierSource {
 public:
  bool NewInstrumentId(Identifier* out) override {
    if (!RandomBytes(out)) return false;
    MarkVersion4(out);
    return true;
  }
  bool NewFileId(Identifier* out) override { return RandomBytes(out); }
};

}  // namespace

IdentifierSource& PlatformIdentifierSource() {
  static PosixIdentifiers source;
  return source;
}

}  // namespace corvix
