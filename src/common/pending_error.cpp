#include "common/pending_error.h"

#include <cstring>
#include <utility>

namespace corvix {

PendingErrorRecord PendingError = {};
PendingFailure PendingErrorDetail;

void SetPendingError(const char* text, uint32_t style) { SetPendingError(text, style, {}); }

void SetPendingError(const char* text, uint32_t style, PendingFailure detail) {
  std::memset(PendingError.text, 0, sizeof PendingError.text);
  if (text != nullptr) std::strncpy(PendingError.text, text, kPendingErrorBytes - 1);
  PendingError.style = style;
  PendingErrorDetail = std::move(detail);
}

void ClearPendingError() {
  PendingError = {};
  PendingErrorDetail = {};
}

}  // namespace corvix
