// The command line's entry, apart from main: the commands, their options
// and their help, from the table of formats.
#include "cli/command_line.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/convert_command.h"
#include "cli/devices_command.h"
#include "cli/export_command.h"
#include "cli/import_command.h"
#include "cli/list_command.h"
#include "cli/terminal_messages.h"
#include "jobs/output_formats.h"

namespace corvix::cli {
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

}  // namespace

int RunCommandLine(int argc, char** argv) {
  CLI::App app{"Corvix: reads Akai S1000 sample CD-ROMs and disc images.", "corvix"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "corvix " CORVIX_VERSION);
  // Options are spelt "--name" everywhere; a SOURCE starting with "/" is a
  // path, also on Windows.
  app.allow_windows_style_options(false);

  ListOptions listOptions;
  CLI::App* list = AddListCommand(app, listOptions);
  ImportOptions importOptions;
  CLI::App* import = AddImportCommand(app, importOptions);
  // A command for each format that has one, in the table's order.
  std::deque<ConvertOptions> formatOptions;
  std::vector<std::pair<CLI::App*, const OutputFormat*>> formatCommands;
  for (const OutputFormat& format : OutputFormats()) {
    if (!format.command) continue;
    formatCommands.emplace_back(AddConvertCommand(app, formatOptions.emplace_back(), format), &format);
  }
  ExportOptions exportOptions;
  CLI::App* exportCommand = AddExportCommand(app, exportOptions);
  DevicesOptions devicesOptions;
  CLI::App* devices = AddDevicesCommand(app, devicesOptions);

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
  TerminalMessages messages = TerminalMessages::ForConsole();
  if (import->parsed()) messages.NameJob("imported");
  SetUserMessages(&messages);
  int status = 2;
  if (list->parsed()) status = RunList(listOptions);
  if (import->parsed()) status = RunImport(importOptions);
  for (size_t i = 0; i < formatCommands.size(); ++i) {
    if (formatCommands[i].first->parsed()) status = RunConvert(formatOptions[i], *formatCommands[i].second);
  }
  if (exportCommand->parsed()) status = RunExport(exportOptions);
  if (devices->parsed()) status = RunDevices(devicesOptions);
  SetUserMessages(nullptr);
  return status;
}



}  // namespace corvix::cli
