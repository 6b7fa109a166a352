// Runs a program of the build and captures what it prints; a fixture for
// the command line run on a disc image the builder writes.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "akai_disc_builder.h"
#include "support/wav_files.h"

namespace corvix::testing {

struct CommandResult {
  int exitCode = -1;
  std::string out;  // stdout
  std::string err;  // stderr
};

// Quotes text for the shell.
inline std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs `command` through the shell with stdout and stderr captured.
inline CommandResult RunCommand(const std::string& command) {
  const std::string base = std::filesystem::temp_directory_path() / ("corvix-test-" + std::to_string(::getpid()));
  const std::string redirected = command + " >" + ShellQuote(base + ".out") + " 2>" + ShellQuote(base + ".err");
  const int status = std::system(redirected.c_str());
  const auto take = [](const std::string& path) {
    std::ifstream in(path);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::filesystem::remove(path);
    return text;
  };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, take(base + ".out"), take(base + ".err")};
}

// A temporary folder holding the image and the output folder; Run names
// the image after the command.
class CommandLineTest : public ::testing::Test {
 protected:
  void Build(const discbuilder::DiscSpec& discSpec) {
    std::string error;
    ASSERT_TRUE(discbuilder::WriteDiscImage(discSpec, image_, &error)) << error;
  }
  CommandResult Run(const std::string& command, const std::string& args) {
    return RunCommand(std::string(CORVIX_CLI_PATH) + " " + command + " " + ShellQuote(image_) + " " + args);
  }

  TempDir dir_;
  std::string image_ = dir_ / "disc.iso";
  std::string out_ = dir_ / "out";
};

}  // namespace corvix::testing
