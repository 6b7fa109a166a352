// Identifiers from the Windows GUID generator (ole32). CoCreateGuid makes
// random version-4 GUIDs and needs no COM initialisation.
#include <windows.h>
#include <objbase.h>

#include <cstring>

#include "instrument/identifiers.h"

namespace corvix {
namespace {

bool NewGuid(Identifier* out) {
  GUID guid{};
  if (FAILED(CoCreateGuid(&guid))) {
    out->fill(0);
    return false;
  }
  static_assert(sizeof guid == 16, "a GUID is 16 bytes");
  std::memcpy(out->data(), &guid, sizeof guid);
  return true;
}

class Win32Identifiers : public IdentifierSource {
 public:
  bool NewInstrumentId(Identifier* out) override { return NewGuid(out); }
  bool NewFileId(Identifier* out) override { return NewGuid(out) && !IsAllZero(*out); }
};

}  // namespace

IdentifierSource& PlatformIdentifierSource() {
  static Win32Identifiers source;
  return source;
}

}  // namespace corvix
