// Runs a program of the build and captures what it prints.
#pragma once

#include <string>

namespace corvix::testing {

struct CommandResult {
  int exitCode = -1;
  std::string out;  // stdout
  std::string err;  // stderr
};

// Runs `command` through the shell with stdout and stderr captured.
CommandResult RunCommand(const std::string& command);

// Quotes text for the shell.
std::string ShellQuote(const std::string& text);

}  // namespace corvix::testing
