// The user-messages seam: how the core shows a message box, asks a
// Retry/Cancel question and asks the front end to refresh its view of the
// disc.
//
// The disk reader and the jobs show a few messages at once ("Read Buffer
// Malloc", "Couldn't Create Event", …); the drive asks whether to retry when
// it is not ready. They go through the current UserMessages: a Win32 message
// box in the GUI, stderr and the terminal on the command line, a recorder in
// tests.
#pragma once

#include <cstdint>

namespace corvix {

// Message box styles and answers, with the values Windows gives them.
constexpr uint32_t kMbOk = 0x00;
constexpr uint32_t kMbRetryCancel = 0x05;
constexpr uint32_t kMbIconStop = 0x10;
constexpr uint32_t kMbIconWarning = 0x30;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdRetry = 4;

class UserMessages {
 public:
  virtual ~UserMessages() = default;
  // Shows text with caption; style is a message box style. Returns the
  // button chosen (kIdOk for a plain message; kIdRetry or kIdCancel for a
  // kMbRetryCancel question).
  virtual int ShowMessage(const char* text, const char* caption, uint32_t style) = 0;

  // The medium in the drive was changed: the front end re-reads the disc
  // ("Refresh" in the GUI). Front ends that hold nothing read do nothing.
  virtual void Refresh() {}
};

// Messages written to stderr as "caption: text"; answers kIdOk, or kIdCancel
// to a Retry/Cancel question (nobody is there to retry).
class StderrMessages : public UserMessages {
 public:
  int ShowMessage(const char* text, const char* caption, uint32_t style) override;
};

// The current seam; a StderrMessages until a front end installs its own.
// The object is not owned and must outlive its use.
void SetUserMessages(UserMessages* messages);
UserMessages& CurrentUserMessages();

// Shorthand for CurrentUserMessages().ShowMessage(...).
int ShowMessageBox(const char* text, const char* caption, uint32_t style = kMbOk);

// Shorthand for CurrentUserMessages().Refresh().
void RequestRefresh();

}  // namespace corvix
