// Message boxes on the command line: plain messages go to the error stream
// as "corvix: text"; a Retry/Cancel question is asked on the terminal, and
// when input is not a terminal nobody can answer, so the text is shown and
// the answer is Cancel (the command then fails with that text).
#pragma once

#include <cstdio>

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

 private:
  std::FILE* in_;
  std::FILE* out_;
  bool interactive_;
};

}  // namespace corvix::cli
