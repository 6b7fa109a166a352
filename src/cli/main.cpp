// corvix: the command line. Reads Akai S1000 discs from disc images and
// CD-ROM drives.
//
// Exit status: 0 on success, 1 when the work failed (the source can't be
// opened, is not an Akai disc, the drive was not ready, a job failed), 2 on a
// usage error.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <CLI/CLI.hpp>

#include "cli/convert_command.h"
#include "cli/devices_command.h"
#include "cli/heap.h"
#include "cli/import_command.h"
#include "cli/list_command.h"
#include "cli/terminal_messages.h"
#include "jobs/convert_job.h"

namespace {

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

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }

  // Messages and the drive's Retry/Cancel question go to the terminal.
  corvix::cli::TerminalMessages messages = corvix::cli::TerminalMessages::ForConsole();
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
