#include "cli/import_command.h"

#include <cstdio>

#include <CLI/CLI.hpp>

#include "cli/program_selection.h"
#include "cli/terminal.h"
#include "cli/terminal_progress.h"
#include "common/pending_error.h"
#include "export/wave_import.h"
#include "jobs/job_notes.h"
#include "jobs/job_state.h"
#include "jobs/progress.h"
#include "riff/file_system.h"

namespace corvix::cli {

CLI::App* AddImportCommand(CLI::App& app, ImportOptions& options) {
  CLI::App* cmd = app.add_subcommand(
      "import", "Write the samples of programs as WAV files, one folder per program");
  cmd->add_option("SOURCE", options.source, "Disc image (.iso, .img, .bin or .cue)")->required();
  cmd->add_option("PROGRAM", options.programs,
                  "PARTITION/VOLUME/PROGRAM as `corvix list` shows the names; * selects all")
      ->required()
      ->expected(1, -1);
  cmd->add_option("--to", options.to, "Folder below which each program gets its folder")
      ->required();
  cmd->add_flag("--no-merge", options.noMerge, "Keep L/R pairs as two mono files");
  return cmd;
}

int RunImport(const ImportOptions& options) {
  DiscSession session;
  std::vector<Selection> selections;
  if (const int status = session.Open(options.source, options.programs, &selections); status != 0)
    return status;
  if (const int status = MakeTargetFolder(options.to); status != 0) return status;
  if (!SetChosenFolder(options.to)) {
    std::fprintf(stderr, "corvix: %s: path too long (%zu characters at most)\n", options.to.c_str(),
                 kMaxFolderChars);
    return 1;
  }

  TerminalProgress progress(StderrIsTerminal());
  SetProgressUi(&progress);
  CancelOnInterrupt interrupt;
  ImportWavesMode = 1;
  MergeStereoPairs = options.noMerge ? 0 : 1;
  ResetJobNotes();
  int status = 0;
  for (const Selection& s : selections) {
    WaveTable.count = 0;
    const int ok = ImportProgramWaves(s.partition, s.volumeSlot, s.programIndex, 0);
    if (!ok || CancelOnInterrupt::Interrupted()) {
      if (ok) SetPendingError("Conversion cancelled by user", kStyleWarning);
      std::fprintf(stderr, "corvix: %s\n", PendingError.text);
      status = 1;
      break;
    }
    std::printf("%s: %u file%s in \"%s\"\n", s.label.c_str(), WaveTable.count,
                WaveTable.count == 1 ? "" : "s", WaveFolder);
    for (uint32_t i = 0; i < WaveTable.count; ++i) {
      const WaveEntry& row = WaveTable.rows[i];
      const std::string file = StoredName(std::string(row.name) + ".wav");
      std::printf("  \"%s\"%s\n", file.c_str(), row.stereo ? "  (stereo)" : "");
    }
    std::fflush(stdout);
  }
  SetProgressUi(nullptr);
  ShowJobNotes();
  return status;
}

}  // namespace corvix::cli
