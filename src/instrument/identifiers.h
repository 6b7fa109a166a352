// The identifier seam: where the 16-byte identifiers of instrument files
// come from.
//
// An instrument file carries two: the instrument's ("dlid" in LIST "ins "),
// a GUID in its 16-byte layout (Data1 u32, Data2 u16, Data3 u16 little-
// endian, then Data4's 8 bytes), and the file's own (the top-level "dlid"),
// fresh for each file. Implementations: CoCreateGuid on Windows
// (identifiers_win32.cpp); the system's random generator and a version-4
// UUID elsewhere (identifiers_posix.cpp); fixed values in tests.
#pragma once

#include <array>
#include <cstdint>

namespace corvix {

using Identifier = std::array<uint8_t, 16>;

class IdentifierSource {
 public:
  virtual ~IdentifierSource() = default;
  // A new GUID for an instrument. False when the platform has none to give.
  virtual bool NewInstrumentId(Identifier* out) = 0;
  // A fresh identifier for a file: 16 bytes from the platform's generator,
  // never all zeros. False when the generator fails.
  virtual bool NewFileId(Identifier* out) = 0;
};

// The platform's source (one per platform implementation file).
IdentifierSource& PlatformIdentifierSource();

// The source the instrument writer uses; the platform's unless a test
// installs another. Not owned; null restores the platform's.
void SetIdentifierSource(IdentifierSource* source);
IdentifierSource& CurrentIdentifierSource();

inline bool IsAllZero(const Identifier& id) {
  for (uint8_t b : id)
    if (b != 0) return false;
  return true;
}

// Marks 16 random bytes as a version-4 (random) UUID in the GUID layout:
// version 4 in the high nibble of Data3, variant 10 in the top bits of
// Data4[0].
inline void MarkVersion4(Identifier* id) {
  (*id)[7] = static_cast<uint8_t>(((*id)[7] & 0x0F) | 0x40);
  (*id)[8] = static_cast<uint8_t>(((*id)[8] & 0x3F) | 0x80);
}

}  // namespace corvix
