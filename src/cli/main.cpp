// corvix: the command line. Reads Akai S1000 discs from disc images and
// CD-ROM drives.
//
// Exit status: 0 on success, 1 when the work failed (the source can't be
// opened, is not an Akai disc, the drive was not ready, a job failed), 2 on a
// usage error.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/convert_command.h"
#include "cli/devices_command.h"
#include "cli/heap.h"
#include "cli/import_command.h"
#include "cli/list_command.h"
#include "cli/terminal_messages.h"
#include "jobs/convert_job.h"

namespace {

// Letters to change, add or drop to turn a into b.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "corvix: unknown command 'lst'", the commands there are, and the nearest
// of them when one is close enough to be what was meant.
int UnknownCommand(const CLI::App& app, const std::string& name) {
  std::fprintf(stderr, "corvix: unknown command '%s'\n", name.c_str());
  std::string nearest;
  size_t best = 3;  // two letters off at most
  std::string names;
  for (const CLI::App* command : app.get_subcommands({})) {
    const std::string& candidate = command->get_name();
    names += (names.empty() ? "" : ", ") + candidate;
    const size_t distance = EditDistance(name, candidate);
    if (distance < best && distance < candidate.size()) {
      best = distance;
      nearest = candidate;
    }
  }
  if (!nearest.empty()) std::fprintf(stderr, "Did you mean '%s'?\n", nearest.c_str());
  std::fprintf(stderr, "The commands are: %s. Run 'corvix --help' for more.\n", names.c_str());
  return 2;
}

bool IsCommand(const CLI::App& app, const std::string& name) {
  for (const CLI::App* command : app.get_subcommands({}))
    if (command->get_name() == name) return true;
  return false;
}

int Run(int argc, char** argv) {
  CLI::App app{"Corvix: reads Akai S1000 sample CD-ROMs and disc images.", "corvix"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "corvix " CORVIX_VERSION);
  // Options are spelt "--name" everywhere; a SOURCE starting with "/" is a
  // path, also on Windows.
  app.allow_windows_style_options(false);

  corvix::cli::ListOptions listOptions;
  CLI::App* list = corvix::cli::AddListCommand(app, listOptions);
  corvix::cli::ImportOptions importOptions;
  CLI::App* import = corvix::cli::AddImportCommand(app, importOptions);
  corvix::cli::ConvertOptions convertOptions;
  CLI::App* convert = corvix::cli::AddConvertCommand(app, convertOptions, corvix::kConvertMode);
  corvix::cli::ConvertOptions combineOptions;
  CLI::App* combine = corvix::cli::AddConvertCommand(app, combineOptions, corvix::kCombineMode);
  corvix::cli::ConvertOptions soundFontOptions;
  CLI::App* soundFont = corvix::cli::AddConvertCommand(app, soundFontOptions, corvix::kSoundFontMode);
  corvix::cli::ConvertOptions sfzOptions;
  CLI::App* sfz = corvix::cli::AddConvertCommand(app, sfzOptions, corvix::kSfzMode);
  corvix::cli::DevicesOptions devicesOptions;
  CLI::App* devices = corvix::cli::AddDevicesCommand(app, devicesOptions);

  // The word after "corvix" is a command, "help [COMMAND]" or an option.
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "help") {
    const std::string topic = argc > 2 ? argv[2] : "";
    if (topic.empty()) {
      std::printf("%s", app.help().c_str());
      return 0;
    }
    if (!IsCommand(app, topic)) return UnknownCommand(app, topic);
    std::printf("%s", app.get_subcommand(topic)->help("corvix").c_str());
    return 0;
  }
  if (!first.empty() && first[0] != '-' && !IsCommand(app, first)) return UnknownCommand(app, first);
  if (!first.empty() && first[0] == '-' && first != "-h" && first != "--help" && first != "--version") {
    std::fprintf(stderr, "corvix: unknown option '%s'\nRun 'corvix --help' for more.\n", first.c_str());
    return 2;
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    // One line that says what was wrong, and where to read more.
    std::string command;
    for (const CLI::App* c : app.get_subcommands()) command = " " + c->get_name();
    std::string what = e.what();
    // "--to: At Most 1 required but received 2"
    if (const size_t at = what.find("At Most 1 required but received"); at != std::string::npos)
      what = what.substr(0, at) + "given more than once";
    if (first.empty() || (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr && app.get_subcommands().empty()))
      what = "a command is required";
    std::fprintf(stderr, "corvix: %s\nRun 'corvix%s --help' for more.\n", what.c_str(), command.c_str());
    return 2;
  }

  // Messages and the drive's Retry/Cancel question go to the terminal.
  corvix::cli::TerminalMessages messages = corvix::cli::TerminalMessages::ForConsole();
  if (import->parsed()) messages.NameJob("imported");
  corvix::SetUserMessages(&messages);
  int status = 2;
  if (list->parsed()) status = corvix::cli::RunList(listOptions);
  if (import->parsed()) status = corvix::cli::RunImport(importOptions);
  if (convert->parsed()) status = corvix::cli::RunConvert(convertOptions, corvix::kConvertMode);
  if (combine->parsed()) status = corvix::cli::RunConvert(combineOptions, corvix::kCombineMode);
  if (soundFont->parsed()) status = corvix::cli::RunConvert(soundFontOptions, corvix::kSoundFontMode);
  if (sfz->parsed()) status = corvix::cli::RunConvert(sfzOptions, corvix::kSfzMode);
  if (devices->parsed()) status = corvix::cli::RunDevices(devicesOptions);
  corvix::SetUserMessages(nullptr);
  return status;
}

}  // namespace

// Whatever a command printed must have reached its reader: output cut short
// (a full disk, /dev/full, a closed pipe) is a failure, not a success.
int main(int argc, char** argv) {
  corvix::cli::KeepFreedBuffersForReuse();
  int status = Run(argc, argv);
  // A write that failed earlier left its reason in errno, unless a later
  // failure took its place.
  const int earlier = errno;
  errno = 0;
  const bool cut = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
  if (cut) {
    if (errno == 0) errno = earlier;
    const int error = errno != 0 ? errno : EIO;
    std::fprintf(stderr, "corvix: can't write to standard output: %s\n", std::strerror(error));
    status = 1;
  }
  return status;
}
