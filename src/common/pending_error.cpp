#include "common/pending_error.h"

#include <cstring>

namespace corvix {

PendingErrorRecord PendingError = {};

void SetPendingError(const char* text, uint32_t style) {
  std::memset(PendingError.text, 0, sizeof PendingError.text);
  if (text != nullptr) std::strncpy(PendingError.text, text, kPendingErrorBytes - 1);
  PendingError.style = style;
}

void ClearPendingError() { PendingError = {}; }

}  // namespace corvix
