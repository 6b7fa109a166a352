// The process-wide record of the last job failure.
//
// The operation that meets a failure records its message here once and
// returns 0; its callers pass the 0 up without a message of their own, and the
// command that started the job shows the text with the style below.
#pragma once

#include <cstdint>
#include <string>

namespace corvix {

constexpr uint32_t kStyleError = 16;    // stop icon: every failure
constexpr uint32_t kStyleWarning = 48;  // exclamation icon: a cancelled job
constexpr int kPendingErrorBytes = 80;  // 79 characters and the terminator

struct PendingErrorRecord {
  char text[kPendingErrorBytes];
  uint32_t style;
};

extern PendingErrorRecord PendingError;

// Beside the text, when the failure was about a file or folder: what could
// not be done to which one, and the system's reason ("create folder",
// "/out/STRINGS", "Permission denied"). The window shows the text alone; the
// command line says all three. Empty when the failure was not about a file.
struct PendingFailure {
  std::string action;
  std::string path;
  std::string reason;
};

extern PendingFailure PendingErrorDetail;

// Copies text (cut to 79 characters) and style into PendingError, and
// detail into PendingErrorDetail (emptied when there is none).
void SetPendingError(const char* text, uint32_t style = kStyleError);
void SetPendingError(const char* text, uint32_t style, PendingFailure detail);
void ClearPendingError();

}  // namespace corvix
