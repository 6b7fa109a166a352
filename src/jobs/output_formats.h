// The output formats: one row each, read by the command line (its commands
// and `export --format`), the window (its menu commands) and the tests.
// Adding a format is its writer (instrument/format_writer.h), one row, its
// tests and its docs.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "instrument/format_writer.h"

namespace corvix {

// The window's menu commands of the formats (the resource script's numbers).
constexpr int kMenuConvertTes = 40024, kMenuCombineTes = 40031, kMenuConvertSf2 = 40041, kMenuConvertSfz = 40042;
constexpr int kMenuBatchConvertTes = 40034, kMenuBatchCombineTes = 40035, kMenuBatchConvertSf2 = 40043,
              kMenuBatchConvertSfz = 40044;

struct OutputFormat {
  const char* name;     // "convert", "sf2-bank": its command, when it has one
  bool command;         // the command line has a command of its name
  const char* word;     // its word in `export --format` ("tes"), or null
  const char* about;    // one line of help
  const char* toHelp;   // what --to names
  int menuId = 0;       // "Convert" menu command of the window, 0 when none
  int batchMenuId = 0;  // the same in the batch list's menu
  const char* regionNoun;  // what its files hold, for the lines a command prints: "region", "zone"
  const char* waveNoun;    // "wave", "sample"
  FormatPolicy policy;
  std::unique_ptr<InstrumentWriter> (*make)();
};

// Every format, in the order the help lists them. A test may add one.
std::vector<OutputFormat>& OutputFormats();

// The format of a name ("convert", "sf2-bank") or an export word ("tes");
// null when there is none.
const OutputFormat* FindFormat(std::string_view name);
// The format a menu command of the window runs; null for other commands.
const OutputFormat* FormatForMenu(int id);

}  // namespace corvix
