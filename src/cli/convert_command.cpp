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

const char* CommandName(int mode) {
  return mode == kCombineMode ? "combine" : mode == kSoundFontMode || mode == kSoundFontBankMode ? "sf2"
                              : mode == kSfzMode                                               ? "sfz"
                                                                                               : "convert";
}

}  // namespace

CLI::App* AddConvertCommand(CLI::App& app, ConvertOptions& options, int mode) {
  const char* name = CommandName(mode);
  const char* about = "Convert each program into a .tes instrument file";
  if (mode == kCombineMode) {
    about = "Combine programs into one .tes instrument file, named after the first";
  } else if (mode == kSoundFontMode) {
    about = "Convert each program into a SoundFont 2 file (.sf2)";
  } else if (mode == kSfzMode) {
    about = "Convert each program into a folder of WAV files and an .sfz instrument";
  }
  CLI::App* cmd = app.add_subcommand(name, about);
  cmd->add_option("SOURCE", options.source,
                  "Disc image (.iso, .img, .bin or .cue) or CD-ROM drive (/dev/sr0, /dev/sg1; D: on Windows)")
      ->type_name("")
      ->required();
  cmd->add_option("PROGRAM", options.programs,
                  "PARTITION/VOLUME/PROGRAM as `corvix list` shows the names (any case); * selects all")
      ->type_name("")
      ->required()
      ->expected(1, -1);
  cmd->add_option("--to", options.to, mode == kSfzMode ? "Folder below which each program gets its folder"
                                                      : "Folder of the instrument files")
      ->type_name("DIR")
      ->required();
  cmd->add_flag("--no-merge", options.noMerge, "Keep L/R pairs as two mono waves");
  cmd->add_flag("--quiet", options.quiet, "No progress and no line per file; errors and notes still on stderr");
  cmd->add_flag("--strict", options.strict, "Fail (status 1) when anything had to be left out");
  if (mode == kSoundFontMode) {
    cmd->add_flag("--bank", options.bank,
                  "Write one .sf2 named after the first program, each program a preset (its MIDI program number)");
  }
  return cmd;
}

int RunConvert(const ConvertOptions& options, int mode) {
  if (mode == kSoundFontMode && options.bank) mode = kSoundFontBankMode;
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
  ImportWavesMode = 0;
  MergeStereoPairs = options.noMerge ? 0 : 1;

  // The job reads the programs; one that can't be read is named and left
  // out, and the others are done.
  std::unique_ptr<ConversionItem> list;
  for (const Selection& s : selections)
    AppendConversionItem(list, MakeProgramItem(s.partition, s.volumeSlot, s.programIndex));

  TerminalProgress progress(!options.quiet && StderrIsTerminal());
  InstalledProgress installed(&progress);
  CancelOnInterrupt interrupt;
  const int ok = ConvertPrograms(list.get(), mode, session.disc());
  FreeConversionList(list);

  for (size_t i = 0; i < ConversionReport.files.size() && !options.quiet; ++i) {
    const ConvertedFile& file = ConversionReport.files[i];
    std::string label;
    if (mode == kCombineMode || mode == kSoundFontBankMode) {
      // The programs in the file: those that could be read.
      for (size_t s = file.item; s < selections.size(); ++s) {
        if (!ConversionReport.readable.empty() && !ConversionReport.readable[s]) continue;
        label += (label.empty() ? "" : " + ") + selections[s].label;
      }
    } else if (file.item < selections.size()) {
      label = selections[file.item].label;
    }
    const bool zones = mode == kSoundFontMode || mode == kSoundFontBankMode || mode == kSfzMode;
    std::printf("%s: \"%s\"  (%s, %s)\n", label.c_str(), file.path.c_str(),
                Plural(file.regions, zones ? "zone" : "region").c_str(),
                Plural(file.waves, mode == kSoundFontMode || mode == kSoundFontBankMode ? "sample" : "wave").c_str());
  }
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
