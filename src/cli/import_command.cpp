#include "cli/import_command.h"

#include <cstdio>

#include <CLI/CLI.hpp>

#include "cli/program_selection.h"
#include "cli/terminal.h"
#include "cli/terminal_messages.h"
#include "cli/terminal_progress.h"
#include "common/messages.h"
#include "common/pending_error.h"
#include "jobs/import_job.h"
#include "records/job_state.h"
#include "records/progress.h"
#include "riff/file_system.h"

namespace corvix::cli {

CLI::App* AddImportCommand(CLI::App& app, ImportOptions& options) {
  CLI::App* cmd = app.add_subcommand(
      "import", "Write the samples of programs as WAV files, one folder per program");
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
  cmd->add_option("--to", options.to, "Folder below which each program gets its folder")
      ->type_name("DIR")
      ->required();
  cmd->add_flag("--no-merge", options.noMerge, "Keep L/R pairs as two mono files");
  cmd->add_flag("--quiet", options.quiet, "No progress and no lines per program; errors and notes still on stderr");
  cmd->add_flag("--strict", options.strict, "Fail (status 1) when anything had to be left out");
  cmd->add_flag("--standard-root-key", options.standardRootKey,
                "Write each file's root key as other samplers read it (the note it sounds at its own rate); "
                "without it, the root key of a sample below 44100 Hz is lowered for the Tessaline sampler, "
                "which plays every file at 44100 Hz");
  return cmd;
}

int RunImport(const ImportOptions& options) {
  DiscSession session;
  std::vector<Selection> selections;
  if (const int status = session.Open(options.source, options.programs, &selections); status != 0)
    return status;
  if (!SetChosenFolder(options.to)) {
    const size_t most = CurrentFileSystem().Rules().maxPathChars > 0 ? CurrentFileSystem().Rules().maxPathChars
                                                                       : kMaxFolderChars;
    std::fprintf(stderr, "corvix: %s\n",
                 CantText("use folder", options.to, "path too long (" + std::to_string(most) + " characters at most)").c_str());
    return 1;
  }
  // Checked before anything is made: a refused path leaves no folder.
  if (const int status = MakeTargetFolder(options.to); status != 0) return status;

  TerminalProgress progress(!options.quiet && StderrIsTerminal());
  SetProgressUi(&progress);
  CancelOnInterrupt interrupt;
  std::vector<ProgramRef> programs;
  for (const Selection& s : selections) programs.push_back({s.partition, s.volumeSlot, s.programIndex});
  // Each program's folder and files as soon as it is done.
  size_t written = 0;
  const auto print = [&selections, &written, &options](const ImportedProgram& program) {
    ++written;
    if (options.quiet) return;
    ClearProgressLine();
    std::printf("%s: %zu file%s in \"%s\"\n", selections[program.index].label.c_str(), program.files.size(),
                program.files.size() == 1 ? "" : "s", program.folder.c_str());
    for (size_t i = 0; i < program.files.size(); ++i) {
      std::printf("  \"%s\"%s\n", program.files[i].c_str(), program.stereo[i] ? "  (stereo)" : "");
    }
    std::fflush(stdout);
  };
  ImportReport report;
  JobTarget target(ChosenFolder, !options.noMerge);
  target.designStyle = {.rateCorrected = !options.standardRootKey, .wholeSound = false};
  int ok = ImportPrograms(programs, target, &report, print, session.disc());
  SetProgressUi(nullptr);
  if (ok && CancelOnInterrupt::Interrupted()) {
    SetPendingError(kCancelled, kStyleWarning);
    ok = 0;
  }
  if (!ok) {
    std::fprintf(stderr, "corvix: %s\n", PendingErrorText("Import cancelled by user").c_str());
    return 1;
  }
  return EndWithNotes(report.leftOut == 0 ? 0 : 1, written, "program", selections, options.strict);
}

}  // namespace corvix::cli
