#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace corvix::cli {

struct ExportOptions {
  std::vector<std::string> sources;
  std::string to;
  std::string formats = "sfz,sf2";
  std::vector<std::string> programs;  // PARTITION/VOLUME/PROGRAM patterns; every program when none
  bool noMerge = false;
  bool flat = false;          // every file in --to, as the other commands write them
  bool skipExisting = false;  // programs whose files all stand are passed over
  bool samples = false;       // the samples the patterns name too, each on its own
  bool quiet = false;
  bool strict = false;
};

// Adds "export": several formats from one read of each disc, several discs
// in one run, into a tree that mirrors them.
CLI::App* AddExportCommand(CLI::App& app, ExportOptions& options);

// Runs it: each SOURCE in turn; one that fails is reported and the others
// are done. Returns 0; 1 when a source failed (can't be read, names none
// of the programs, its job failed) or, with strict, something was left out;
// 2 on an unknown format.
int RunExport(const ExportOptions& options);

}  // namespace corvix::cli
