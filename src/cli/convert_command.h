#pragma once

#include <string>
#include <vector>

#include "jobs/output_formats.h"

namespace CLI {
class App;
}

namespace corvix::cli {

struct ConvertOptions {
  std::string source;
  std::vector<std::string> programs;  // PARTITION/VOLUME/PROGRAM, shell patterns per name
  std::string to;
  bool noMerge = false;
  bool bank = false;  // sf2: one file, every program a preset
  bool quiet = false;   // no progress, no line per file
  bool strict = false;  // something left out fails the command
};

// Adds the command of a format of the table ("convert", "combine", "sf2"
// with --bank when the table has "sf2-bank", "sfz", …) to the app; the
// options are filled when it is parsed.
CLI::App* AddConvertCommand(CLI::App& app, ConvertOptions& options, const OutputFormat& format);

// Runs the format's job on the programs named, into options.to: "convert"
// ("Convert to TES": one instrument file per program), "combine" ("Combine
// to TES": one file named after the first program), "sf2" (a SoundFont per
// program, or with --bank one holding them all), "sfz" (per program a
// folder of WAV files and its .sfz). Prints each file written; what had to
// be left out goes to stderr. Returns the exit status: 0; 1 when the
// source can't be read, a program is not on the disc or the job failed
// (its PendingError text on stderr), and with strict when a note says
// something was left out; 2 when a PROGRAM is malformed.
int RunConvert(const ConvertOptions& options, const OutputFormat& format);

// The lines a conversion prints for its files: "LABEL: "PATH"  (N zones, M
// samples)"; labels: the selected programs' PARTITION/VOLUME/PROGRAM.
void PrintConvertedFiles(const OutputFormat& format, const std::vector<std::string>& labels);

}  // namespace corvix::cli
