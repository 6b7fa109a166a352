#include "cli/convert_command.h"

#include <cstdio>
#include <memory>

#include <CLI/CLI.hpp>

#include "cli/program_selection.h"
#include "cli/terminal.h"
#include "cli/terminal_messages.h"
#include "cli/terminal_progress.h"
#include "common/messages.h"
#include "common/pending_error.h"
#include "common/user_messages.h"
#include "jobs/conversion_list.h"
#include "jobs/convert_job.h"
#include "records/job_state.h"
#include "records/progress.h"
#include "riff/file_system.h"

namespace corvix::cli {
namespace {

// Installs the progress seam for the length of a command.
struct InstalledProgress {
  explicit InstalledProgress(ProgressUi* progress) { SetProgressUi(progress); }
  ~InstalledProgress() { SetProgressUi(nullptr); }
};

std::string Plural(uint32_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace

CLI::App* AddConvertCommand(CLI::App& app, ConvertOptions& options, const OutputFormat& format) {
  CLI::App* cmd = app.add_subcommand(format.name, format.about);
  cmd->add_option("SOURCE", options.source,
                  "Disc image (.iso, .img, .bin or .cue) or CD-ROM drive (/dev/sr0, /dev/sg1; D: on Windows)")
      ->type_name("")
      ->required();
  cmd->add_option("PROGRAM", options.programs,
                  "PARTITION/VOLUME/PROGRAM as `corvix list` shows the names (any case); each name may be a "
                  "shell pattern (* and ?): 'A/*/STR*'")
      ->type_name("")
      ->required()
      ->expected(1, -1);
  cmd->add_option("--to", options.to, format.toHelp)->type_name("DIR")->required();
  cmd->add_flag("--no-merge", options.noMerge, "Keep L/R pairs as two mono waves");
  cmd->add_flag("--quiet", options.quiet, "No progress and no line per file; errors and notes still on stderr");
  cmd->add_flag("--strict", options.strict, "Fail (status 1) when anything had to be left out");
  if (FindFormat(std::string(format.name) + "-bank") != nullptr) {
    cmd->add_flag("--bank", options.bank,
                  "Write one .sf2 named after the first program, each program a preset (its MIDI program number)");
  }
  return cmd;
}

void PrintConvertedFiles(const OutputFormat& format, const std::vector<std::string>& labels) {
  for (const ConvertedFile& file : ConversionReport.files) {
    std::string label;
    if (file.programs > 1 || format.policy.oneTable || FindFormat("sf2-bank") == &format) {
      // The programs in the file: those that could be read.
      for (size_t s = file.item; s < labels.size(); ++s) {
        if (!ConversionReport.readable.empty() && !ConversionReport.readable[s]) continue;
        label += (label.empty() ? "" : " + ") + labels[s];
      }
    } else if (file.item < labels.size()) {
      label = labels[file.item];
    }
    std::printf("%s: \"%s\"  (%s, %s)\n", label.c_str(), file.path.c_str(), Plural(file.regions, format.regionNoun).c_str(),
                Plural(file.waves, format.waveNoun).c_str());
  }
}

int RunConvert(const ConvertOptions& options, const OutputFormat& chosen) {
  const OutputFormat* bank = options.bank ? FindFormat(std::string(chosen.name) + "-bank") : nullptr;
  const OutputFormat& format = bank != nullptr ? *bank : chosen;
  DiscSession session;
  std::vector<Selection> selections;
  if (const int status = session.Open(options.source, options.programs, &selections); status != 0)
    return status;
  // The folder without a trailing separator: the job adds its own.
  std::string folder = options.to;
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (!SetWaveFolder(folder)) {
    const size_t most = CurrentFileSystem().Rules().maxPathChars > 0 ? CurrentFileSystem().Rules().maxPathChars
                                                                       : kMaxFolderChars;
    std::fprintf(stderr, "corvix: %s\n",
                 CantText("use folder", options.to, "path too long (" + std::to_string(most) + " characters at most)").c_str());
    return 1;
  }
  // Checked before anything is made: a refused path leaves no folder.
  if (const int status = MakeTargetFolder(options.to); status != 0) return status;

  // The job reads the programs; one that can't be read is named and left
  // out, and the others are done.
  std::unique_ptr<ConversionItem> list;
  std::vector<std::string> labels;
  for (const Selection& s : selections) {
    AppendConversionItem(list, MakeProgramItem(s.partition, s.volumeSlot, s.programIndex));
    labels.push_back(s.label);
  }

  TerminalProgress progress(!options.quiet && StderrIsTerminal());
  InstalledProgress installed(&progress);
  CancelOnInterrupt interrupt;
  const int ok = ConvertPrograms(list.get(), {&format}, JobTarget(folder, !options.noMerge), session.disc());
  FreeConversionList(list);

  if (!options.quiet) PrintConvertedFiles(format, labels);
  std::fflush(stdout);
  if (!ok || CancelOnInterrupt::Interrupted()) {
    if (ok) SetPendingError(kCancelled, kStyleWarning);
    std::fprintf(stderr, "corvix: %s\n", PendingErrorText().c_str());
    return 1;
  }
  return EndWithNotes(ConversionReport.leftOut > 0 ? 1 : 0, ConversionReport.files.size(), "file", selections,
                      options.strict);
}

}  // namespace corvix::cli
