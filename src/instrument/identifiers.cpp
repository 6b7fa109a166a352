#include "instrument/identifiers.h"

namespace corvix {
namespace {

IdentifierSource* g_current = nullptr;

}  // namespace

void SetIdentifierSource(IdentifierSource* source) { g_current = source; }

IdentifierSource& CurrentIdentifierSource() {
  return g_current != nullptr ? *g_current : PlatformIdentifierSource();
}

}  // namespace corvix
