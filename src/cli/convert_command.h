#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace corvix::cli {

struct ConvertOptions {
  std::string source;
  std::vector<std::string> programs;  // PARTITION/VOLUME/PROGRAM, '*' for all
  std::string to;
  bool noMerge = false;
  bool bank = false;  // sf2: one file, every program a preset
  bool quiet = false;   // no progress, no line per file
  bool strict = false;  // something left out fails the command
};

// Adds "convert" (mode kConvertMode), "combine" (kCombineMode), "sf2"
// (kSoundFontMode, with --bank) or "sfz" (kSfzMode) to the app; the options
// are filled when it is parsed.
CLI::App* AddConvertCommand(CLI::App& app, ConvertOptions& options, int mode);

// Runs "convert" ("Convert to TES": one instrument file per program),
// "combine" ("Combine to TES": one file named after the first program),
// "sf2" (a SoundFont per program, or with --bank one holding them all) or
// "sfz" (per program a folder of WAV files and its .sfz) on the programs
// named, into options.to. Prints each file written; what had
// to be left out goes to stderr. Returns the exit status: 0; 1 when the
// source can't be read, a program is not on the disc or the job failed
// (its PendingError text on stderr), and with strict when a note says
// something was left out; 2 when a PROGRAM is malformed.
int RunConvert(const ConvertOptions& options, int mode);

}  // namespace corvix::cli
