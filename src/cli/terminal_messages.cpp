#include "cli/terminal_messages.h"

#include <unistd.h>

#include <cctype>
#include <cstring>

#include "cli/terminal_progress.h"
#include "common/messages.h"
#include "common/pending_error.h"

namespace corvix::cli {

std::string CantText(const std::string& action, const std::string& path, const std::string& reason) {
  return "can't " + action + " \"" + path + "\"" + (reason.empty() ? "" : ": " + reason);
}

std::string PendingErrorText(const char* cancelled) {
  if (!PendingErrorDetail.path.empty())
    return CantText(PendingErrorDetail.action, PendingErrorDetail.path, PendingErrorDetail.reason);
  if (cancelled != nullptr && std::strcmp(PendingError.text, kCancelled) == 0) return cancelled;
  return PendingError.text;
}

TerminalMessages TerminalMessages::ForConsole() {
  return TerminalMessages(stdin, stderr, isatty(fileno(stdin)) != 0);
}

int TerminalMessages::ShowMessage(const char* text, const char* /*caption*/, uint32_t style) {
  if (text == nullptr) text = "";
  ClearProgressLine();
  std::string named;
  if (done_ != nullptr && std::strncmp(text, kNotesHeading, std::strlen(kNotesHeading)) == 0) {
    named = std::string("Not everything could be ") + done_ + ":" + (text + std::strlen(kNotesHeading));
    text = named.c_str();
  }
  if ((style & 0x0F) != kMbRetryCancel) {
    // The caption is the window's: a command line names itself instead.
    std::fprintf(out_, "corvix: %s\n", text);
    std::fflush(out_);
    return kIdOk;
  }
  if (!interactive_) {
    std::fprintf(out_, "corvix: %s\n", text);
    std::fflush(out_);
    return kIdCancel;
  }
  std::fprintf(out_, "%s\n", text);
  for (;;) {
    std::fprintf(out_, "[R]etry or [C]ancel? ");
    std::fflush(out_);
    char line[64];
    if (std::fgets(line, sizeof line, in_) == nullptr) {
      std::fprintf(out_, "\n");
      return kIdCancel;
    }
    const char first = static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
    if (first == 'r') return kIdRetry;
    if (first == 'c') return kIdCancel;
  }
}

}  // namespace corvix::cli
