// corvix: the command line. Reads Akai S1000 discs from disc images.
//
// Exit status: 0 on success, 1 when the work failed (the source can't be
// opened, is not an Akai disc, a job failed), 2 on a usage error.
#include <cstdio>

#include <CLI/CLI.hpp>

#include "cli/convert_command.h"
#include "cli/import_command.h"
#include "cli/list_command.h"
#include "jobs/convert_job.h"

int main(int argc, char** argv) {
  CLI::App app{"Corvix: reads Akai S1000 sample CD-ROMs and disc images.", "corvix"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "corvix 1.0");

  corvix::cli::ListOptions listOptions;
  CLI::App* list = corvix::cli::AddListCommand(app, listOptions);
  corvix::cli::ImportOptions importOptions;
  CLI::App* import = corvix::cli::AddImportCommand(app, importOptions);
  corvix::cli::ConvertOptions convertOptions;
  CLI::App* convert = corvix::cli::AddConvertCommand(app, convertOptions, corvix::kConvertMode);
  corvix::cli::ConvertOptions combineOptions;
  CLI::App* combine = corvix::cli::AddConvertCommand(app, combineOptions, corvix::kCombineMode);

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

  if (list->parsed()) return corvix::cli::RunList(listOptions);
  if (import->parsed()) return corvix::cli::RunImport(importOptions);
  if (convert->parsed()) return corvix::cli::RunConvert(convertOptions, corvix::kConvertMode);
  if (combine->parsed()) return corvix::cli::RunConvert(combineOptions, corvix::kCombineMode);
  return 2;
}
