#include "cli/export_command.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include <CLI/CLI.hpp>

#include "cli/convert_command.h"
#include "cli/program_selection.h"
#include "cli/terminal.h"
#include "cli/terminal_messages.h"
#include "cli/terminal_progress.h"
#include "common/messages.h"
#include "common/pending_error.h"
#include "jobs/conversion_list.h"
#include "jobs/convert_job.h"
#include "records/job_notes.h"
#include "records/job_state.h"
#include "riff/file_system.h"

namespace corvix::cli {
namespace {

struct InstalledProgress {
  explicit InstalledProgress(ProgressUi* progress) { SetProgressUi(progress); }
  ~InstalledProgress() { SetProgressUi(nullptr); }
};

std::string Words() {
  std::string words;
  for (const OutputFormat& format : OutputFormats())
    if (format.word != nullptr) words += (words.empty() ? "" : ", ") + std::string(format.word);
  return words;
}

// The formats of a list "wav,sfz", each once, in the table's order; false
// at a word that names none.
bool ParseFormats(const std::string& list, std::vector<const OutputFormat*>* formats) {
  std::vector<const OutputFormat*> named;
  for (size_t from = 0; from <= list.size();) {
    const size_t comma = std::min(list.find(',', from), list.size());
    const std::string word = list.substr(from, comma - from);
    const OutputFormat* format = FindFormat(word);
    if (format == nullptr || format->word == nullptr || word != format->word) {
      std::fprintf(stderr, "corvix: --format: unknown format '%s' (the formats are: %s)\n", word.c_str(),
                   Words().c_str());
      return false;
    }
    named.push_back(format);
    from = comma + 1;
  }
  for (const OutputFormat& format : OutputFormats()) {
    if (std::find(named.begin(), named.end(), &format) != named.end()) formats->push_back(&format);
  }
  return true;
}

// The name of a source's folder in the tree: the image's file name without
// its extension, or the drive's name ("sr0", "D").
std::string DiscName(const std::string& source) {
  std::string name = std::filesystem::path(source).stem().string();
  while (!name.empty() && name.back() == ':') name.pop_back();
  if (name.empty()) name = source;
  return StoredName(name);
}

std::string Plural(size_t n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

}  // namespace

CLI::App* AddExportCommand(CLI::App& app, ExportOptions& options) {
  CLI::App* cmd = app.add_subcommand(
      "export", "Export every program (or those named) of one or more discs into several formats from one read");
  cmd->add_option("SOURCE", options.sources, "Disc images or CD-ROM drives, each read in turn")
      ->type_name("")
      ->required()
      ->expected(1, -1);
  cmd->add_option("--to", options.to, "Folder of the library: DIR/DISC/PARTITION/VOLUME/…")
      ->type_name("DIR")
      ->required();
  cmd->add_option("--format", options.formats,
                  "Comma-separated formats, all from one read: " + Words() +
                      " (default sfz,sf2: an .sfz with its WAV files in PROGRAM/, and PROGRAM.sf2)")
      ->type_name("LIST");
  cmd->add_option("--programs", options.programs,
                  "PARTITION/VOLUME/PROGRAM, each name a shell pattern (* and ?, any case): 'A/*/STR*'; "
                  "may be given again; every program when not given")
      ->type_name("PATTERN")
      ->allow_extra_args(false);
  cmd->add_flag("--samples", options.samples,
                "Also every sample the patterns name (a pattern's last name matches samples too), each once, "
                "as a WAV file in VOLUME/Samples/, even those no program uses; a pair is merged when the names "
                "are the same but for the L/R letter");
  cmd->add_flag("--no-merge", options.noMerge, "Keep L/R pairs as two mono waves");
  cmd->add_flag("--flat", options.flat, "All files in DIR itself, names numbered \" (2)\" where they meet");
  cmd->add_flag("--skip-existing", options.skipExisting,
                "Pass over programs whose files all stand (to go on with a run that was stopped)");
  cmd->add_flag("--quiet", options.quiet, "No progress and no line per file; errors and notes still on stderr");
  cmd->add_flag("--strict", options.strict, "Fail (status 1) when anything had to be left out");
  return cmd;
}

int RunExport(const ExportOptions& options) {
  std::vector<const OutputFormat*> formats;
  if (!ParseFormats(options.formats, &formats)) return 2;
  if (options.flat && options.skipExisting) {
    // In one folder a file of a program's name may be another's.
    std::fprintf(stderr, "corvix: --skip-existing needs the tree of each disc (not --flat)\n");
    return 2;
  }
  std::string folder = options.to;
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (const int status = MakeTargetFolder(options.to); status != 0) return status;
  const std::vector<std::string> patterns = options.programs.empty() ? std::vector<std::string>{"*/*/*"} : options.programs;

  TerminalProgress progress(!options.quiet && StderrIsTerminal());
  InstalledProgress installed(&progress);
  CancelOnInterrupt interrupt;
  NameList discNames;
  int status = 0;
  size_t written = 0;
  bool leftOut = false;
  for (size_t d = 0; d < options.sources.size() && !CancelOnInterrupt::Interrupted(); ++d) {
    const std::string& source = options.sources[d];
    const std::string base = DiscName(source);
    JobTarget target(folder, !options.noMerge);
    if (!options.flat) target.disc = NameList::Name(base, "", discNames.Take(base, ""));
    if (options.sources.size() > 1) {
      // What stderr says next is of this disc.
      const std::string part = "disc " + std::to_string(d + 1) + " of " + std::to_string(options.sources.size());
      ClearProgressLine();
      std::fprintf(stderr, "corvix: %s (%s)\n", source.c_str(), part.c_str());
      progress.StartRunPart(part);
    }

    DiscSession session;
    std::vector<Selection> selections, samples;
    if (session.Open(source, patterns, &selections, options.samples ? &samples : nullptr) != 0) {
      std::fprintf(stderr, "corvix: %s: not exported\n", source.c_str());
      status = 1;
      continue;
    }
    std::unique_ptr<ConversionItem> list;
    std::vector<std::string> labels;
    size_t skipped = 0;
    for (const Selection& s : selections) {
      std::unique_ptr<ConversionItem> item = MakeProgramItem(s.partition, s.volumeSlot, s.programIndex);
      if (options.skipExisting && ProgramFilesStand(*session.disc(), target, *item, formats)) {
        ++skipped;
        continue;
      }
      AppendConversionItem(list, std::move(item));
      labels.push_back(s.label);
    }
    const int ok = ConvertPrograms(list.get(), formats, target, session.disc());
    FreeConversionList(list);
    if (!options.quiet) {
      for (const ConvertedFile& file : ConversionReport.files) {
        std::printf("%s: \"%s\"\n", file.item < labels.size() ? labels[file.item].c_str() : "?", file.path.c_str());
      }
      if (skipped > 0) std::printf("%s: %s passed over, their files stand\n", source.c_str(), Plural(skipped, "program").c_str());
    }
    std::fflush(stdout);
    written += ConversionReport.files.size();
    leftOut |= ConversionReport.leftOut > 0 || !JobNotes.lines.empty();
    if (!ok || CancelOnInterrupt::Interrupted()) {
      if (ok) SetPendingError(kCancelled, kStyleWarning);
      std::fprintf(stderr, "corvix: %s: %s\n", source.c_str(), PendingErrorText().c_str());
      status = 1;
      continue;
    }
    if (ConversionReport.leftOut > 0) status = 1;
    if (!samples.empty()) {
      std::vector<SampleRef> refs;
      for (const Selection& sample : samples) refs.push_back({sample.partition, sample.volumeSlot, sample.programIndex});
      JobOutput out;
      const int wrote = ExportSamples(*session.disc(), refs, target, out);
      for (const ConvertedFile& file : out.files) {
        if (!options.quiet) std::printf("%s: \"%s\"  (%s)\n", source.c_str(), file.path.c_str(), Plural(file.waves, "wave").c_str());
        ++written;
      }
      if (!wrote || CancelOnInterrupt::Interrupted()) {
        if (wrote) SetPendingError(kCancelled, kStyleWarning);
        std::fprintf(stderr, "corvix: %s: %s\n", source.c_str(), PendingErrorText().c_str());
        status = 1;
        continue;
      }
    }
    EndWithNotes(0, ConversionReport.files.size(), "file", selections, false);
  }
  if (options.sources.size() > 1 && !options.quiet) {
    std::fprintf(stderr, "corvix: %s written from %s\n", Plural(written, "file").c_str(),
                 Plural(options.sources.size(), "disc").c_str());
  }
  return options.strict && leftOut ? 1 : status;
}

}  // namespace corvix::cli
