#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace corvix::cli {

struct ImportOptions {
  std::string source;
  std::vector<std::string> programs;  // PARTITION/VOLUME/PROGRAM, '*' for all
  std::string to;
  bool noMerge = false;
  bool standardRootKey = false;  // unity notes without the correction for the sampling rate
  bool quiet = false;            // no progress, no lines per program
  bool strict = false;           // something left out fails the command
};

// Adds "import" to the app; the options are filled when it is parsed.
CLI::App* AddImportCommand(CLI::App& app, ImportOptions& options);

// Runs "import": "Import Waves" for each program named, in order, into one
// folder per program below options.to. Returns the exit status: 0; 1 when
// the source can't be read, a program is not on the disc or a job failed
// (its PendingError text on stderr); 2 when a PROGRAM is malformed.
int RunImport(const ImportOptions& options);

}  // namespace corvix::cli
