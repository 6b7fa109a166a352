// Message boxes on the command line: plain messages go to the error stream
// as "corvix: text"; a Retry/Cancel question is asked on the terminal, and
// when input is not a terminal nobody can answer, so the text is shown and
// the answer is Cancel (the command then fails with that text).
#pragma once

#include <cstdio>
#include <string>

#include "common/user_messages.h"

namespace corvix::cli {

class TerminalMessages : public UserMessages {
 public:
  // Answers come from in when interactive; everything is written to out.
  TerminalMessages(std::FILE* in, std::FILE* out, bool interactive)
      : in_(in), out_(out), interactive_(interactive) {}

  // Standard input and error; interactive when standard input is a terminal.
  static TerminalMessages ForConsole();

  int ShowMessage(const char* text, const char* caption, uint32_t style) override;

  // The notes' heading names the job that ran: "imported" makes "Not
  // everything could be converted:" read "… could be imported:".
  void NameJob(const char* done) { done_ = done; }

 private:
  const char* done_ = nullptr;
  std::FILE* in_;
  std::FILE* out_;
  bool interactive_;
};

// The command line's one form for a failure about a file or folder:
// `can't ACTION "PATH": REASON` (no reason when the system gave none).
std::string CantText(const std::string& action, const std::string& path, const std::string& reason);

// The job failure in PendingError as the command line says it: with the
// file or folder and the system's reason when it was about one, a cancel
// as cancelled says when given, otherwise the window's text.
std::string PendingErrorText(const char* cancelled = nullptr);

}  // namespace corvix::cli
