#pragma once

#include <string>

namespace CLI {
class App;
}

namespace corvix::cli {

struct ListOptions {
  std::string source;
  bool json = false;
  bool paths = false;  // program paths only, ready to paste
  bool samples = false;  // with paths: sample paths too
};

// Adds "list" to the app; the options are filled when it is parsed.
CLI::App* AddListCommand(CLI::App& app, ListOptions& options);

// Runs "list": prints the disc's tree (or JSON) on stdout. Returns the exit
// status: 0, or 1 when the source can't be opened or is not an Akai disc,
// or when part of it (a table, a program) could not be read.
int RunList(const ListOptions& options);

}  // namespace corvix::cli
