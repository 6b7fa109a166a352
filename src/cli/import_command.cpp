#include "cli/import_command.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include <CLI/CLI.hpp>

#include "cli/disc_source.h"
#include "cli/terminal.h"
#include "cli/terminal_progress.h"
#include "common/pending_error.h"
#include "export/wave_import.h"
#include "jobs/job_state.h"
#include "jobs/progress.h"
#include "media/akai_disk.h"
#include "media/disc_listing.h"
#include "riff/file_system.h"

namespace corvix::cli {
namespace {

struct Selection {
  uint16_t partition = 0;
  uint16_t volumeSlot = 0;
  uint16_t programIndex = 0;
  std::string label;  // PARTITION/VOLUME/PROGRAM as `corvix list` shows the names
};

// A name as given on the command line matches a name on the disc when both,
// trimmed of trailing spaces, are equal; Akai names have no lower case, so
// case is not told apart.
bool NameMatches(const std::string& pattern, const std::string& discName) {
  if (pattern == "*") return true;
  const std::string a = TrimmedName(pattern);
  const std::string b = TrimmedName(discName);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool SplitPattern(const std::string& text, std::string parts[3]) {
  size_t from = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t slash = text.find('/', from);
    if ((i < 2) == (slash == std::string::npos)) return false;
    parts[i] = text.substr(from, i < 2 ? slash - from : std::string::npos);
    if (parts[i].empty()) return false;
    from = slash + 1;
  }
  return true;
}

// The programs the patterns name, in pattern order and listing order, each
// once. Returns 0, or the exit status with the reason on stderr.
int Resolve(const DiscListing& listing, const std::vector<std::string>& patterns,
            std::vector<Selection>* out) {
  for (const std::string& pattern : patterns) {
    std::string parts[3];
    if (!SplitPattern(pattern, parts) || (parts[0] != "*" && parts[0].size() != 1)) {
      std::fprintf(stderr, "corvix: %s: expected PARTITION/VOLUME/PROGRAM, for example A/STRINGS 1/VIOLINS\n",
                   pattern.c_str());
      return 2;
    }
    bool found = false;
    for (const ListedPartition& partition : listing.partitions) {
      if (!NameMatches(parts[0], std::string(1, partition.letter))) continue;
      for (const ListedVolume& volume : partition.volumes) {
        if (!NameMatches(parts[1], volume.name)) continue;
        for (const ListedProgram& program : volume.programs) {
          if (!NameMatches(parts[2], program.name)) continue;
          found = true;
          bool already = false;
          for (const Selection& s : *out) {
            already |= s.partition == partition.number && s.volumeSlot == volume.slot &&
                       s.programIndex == program.index;
          }
          if (already) continue;
          out->push_back({partition.number, volume.slot, program.index,
                          std::string(1, partition.letter) + "/" + TrimmedName(volume.name) + "/" +
                              TrimmedName(program.name)});
        }
      }
    }
    if (!found) {
      std::fprintf(stderr, "corvix: %s: no such program on the disc\n", pattern.c_str());
      return 1;
    }
  }
  return 0;
}

// Keeps the volume lists and the sector source for the length of the command.
struct DiscSession {
  ~DiscSession() {
    FreeVolumeLists();
    SetSectorSource(nullptr);
  }
};

}  // namespace

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
  std::string error;
  auto source = OpenDiscSource(options.source, &error);
  if (!source) {
    std::fprintf(stderr, "corvix: %s\n", error.c_str());
    return 1;
  }
  DiscSession session;
  if (!AllocVolumeLists()) return 1;
  const DiscListing listing = ListDisc();
  if (!listing.isAkaiDisc) {
    std::fprintf(stderr, "corvix: %s: not an Akai S1000 disc\n", options.source.c_str());
    return 1;
  }
  std::vector<Selection> selections;
  if (const int status = Resolve(listing, options.programs, &selections); status != 0) return status;

  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(options.to), ec);
  if (ec || !std::filesystem::is_directory(std::filesystem::path(options.to))) {
    std::fprintf(stderr, "corvix: can't create %s: %s\n", options.to.c_str(),
                 ec ? ec.message().c_str() : "not a folder");
    return 1;
  }
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
  return status;
}

}  // namespace corvix::cli
