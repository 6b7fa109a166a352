#include "cli/list_command.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/disc_source.h"
#include "media/akai_names.h"
#include "media/disc_listing.h"

namespace corvix::cli {
namespace {

nlohmann::json ToJson(const DiscListing& listing) {
  nlohmann::json partitions = nlohmann::json::array();
  for (const ListedPartition& partition : listing.partitions) {
    nlohmann::json volumes = nlohmann::json::array();
    for (const ListedVolume& volume : partition.volumes) {
      nlohmann::json programs = nlohmann::json::array();
      for (const ListedProgram& p : volume.programs) {
        programs.push_back({{"name", TrimmedName(p.name)},
                            {"readable", p.readable},
                            {"keygroups", p.keygroups},
                            {"lowestKey", p.lowestKey},
                            {"highestKey", p.highestKey},
                            {"startBlock", p.startBlock}});
      }
      nlohmann::json samples = nlohmann::json::array();
      for (const ListedSample& s : volume.samples) {
        samples.push_back({{"name", TrimmedName(s.name)},
                           {"lengthWords", s.lengthWords},
                           {"sampleRate", s.sampleRate},
                           {"lengthBytes", s.lengthBytes},
                           {"startBlock", s.startBlock}});
      }
      volumes.push_back({{"name", TrimmedName(volume.name)},
                         {"slot", volume.slot},
                         {"type", volume.type},
                         {"programs", std::move(programs)},
                         {"samples", std::move(samples)}});
    }
    partitions.push_back({{"letter", partition.label},
                          {"volumes", std::move(volumes)}});
  }
  return {{"partitionSize", listing.partitionSize}, {"partitions", std::move(partitions)}};
}

// "36 (C1)": the MIDI number and its name, middle C (60) being C3.
std::string KeyName(uint8_t key) {
  static const char* const kNotes[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  return std::to_string(key) + " (" + kNotes[key % 12] + std::to_string(key / 12 - 2) + ")";
}

// A path as a shell takes it: quoted when it holds anything but letters,
// digits and / . _ -.
std::string Pasteable(const std::string& path) {
  bool plain = !path.empty();
  for (const char c : path) plain &= std::isalnum(static_cast<unsigned char>(c)) != 0 || std::strchr("/._-", c) != nullptr;
  if (plain) return path;
  std::string quoted = "'";
  for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

void PrintPaths(const DiscListing& listing, bool samples) {
  for (const ListedPartition& partition : listing.partitions)
    for (const ListedVolume& volume : partition.volumes) {
      for (const ListedProgram& p : volume.programs)
        std::printf("%s\n", Pasteable(ProgramPath(partition.number, volume.name, p.name)).c_str());
      for (size_t i = 0; samples && i < volume.samples.size(); ++i)
        std::printf("%s\n", Pasteable(ProgramPath(partition.number, volume.name, volume.samples[i].name)).c_str());
    }
}

void PrintTree(const DiscListing& listing) {
  std::printf("S1000 CDROM\n");
  for (const ListedPartition& partition : listing.partitions) {
    std::printf("PARTITION  %s\n", partition.label.c_str());
    for (const ListedVolume& volume : partition.volumes) {
      std::printf("  %s  (type %u)\n", TrimmedName(volume.name).c_str(), volume.type);
      for (const ListedProgram& p : volume.programs) {
        if (!p.readable) {
          std::printf("    Program  %-12s  can't be read\n", TrimmedName(p.name).c_str());
          continue;
        }
        const std::string range = p.keygroups == 0 || p.lowestKey > p.highestKey
                                      ? "-"
                                      : KeyName(p.lowestKey) + "-" + KeyName(p.highestKey);
        std::printf("    Program  %-12s  %3u keygroup%s  %s\n", TrimmedName(p.name).c_str(), p.keygroups,
                    p.keygroups == 1 ? " " : "s", range.c_str());
      }
      for (const ListedSample& s : volume.samples) {
        std::printf("    Sample   %-12s  %8u words  %5u Hz\n", TrimmedName(s.name).c_str(),
                    s.lengthWords, s.sampleRate);
      }
    }
  }
}

}  // namespace

CLI::App* AddListCommand(CLI::App& app, ListOptions& options) {
  CLI::App* list = app.add_subcommand("list", "Show the partitions, volumes, programs and samples of a disc");
  list->add_option("SOURCE", options.source,
                   "Disc image (.iso, .img, .bin or .cue) or CD-ROM drive (/dev/sr0, /dev/sg1; D: on Windows)")
      ->type_name("")
      ->required();
  list->add_flag("--json", options.json, "Print the listing as one JSON document");
  list->add_flag("--paths", options.paths,
                 "Print each program's PARTITION/VOLUME/PROGRAM path, one a line, quoted for the shell where needed");
  list->add_flag("--samples", options.samples,
                 "With --paths, each sample's PARTITION/VOLUME/SAMPLE path too (for export --samples --programs)");
  return list;
}

int RunList(const ListOptions& options) {
  std::string error;
  auto source = OpenDiscSource(options.source, &error);
  if (!source) {
    std::fprintf(stderr, "corvix: %s\n", error.c_str());
    return 1;
  }
  // A drive's tray stays locked while the disc is read.
  DiscListing listing;
  const int read = ReadWithLockedMedium([&listing] {
    listing = ListDisc();
    return 1;
  });
  SetSectorSource(nullptr);
  if (!read) return 1;  // the drive was not ready; the message has been shown
  if (!listing.isAkaiDisc) {
    std::fprintf(stderr, "corvix: %s: not an Akai S1000 disc\n", options.source.c_str());
    return 1;
  }
  if (options.json) {
    std::cout << ToJson(listing).dump(2) << '\n';
  } else if (options.paths) {
    PrintPaths(listing, options.samples);
  } else {
    PrintTree(listing);
  }
  // What shows as empty but could not be read, and a program shown as
  // "can't be read", make the listing no whole one of the disc.
  std::vector<std::string> unread = listing.unread;
  for (const ListedPartition& partition : listing.partitions)
    for (const ListedVolume& volume : partition.volumes)
      for (const ListedProgram& p : volume.programs)
        if (!p.readable) unread.push_back("program " + ProgramPath(partition.number, volume.name, p.name));
  if (!unread.empty()) {
    std::string what = unread[0];
    for (size_t i = 1; i < unread.size() && i < 3; ++i) what += ", " + unread[i];
    if (unread.size() > 3) what += " and " + std::to_string(unread.size() - 3) + " more";
    std::fprintf(stderr, "corvix: %s: could not read %s\n", options.source.c_str(), what.c_str());
    return 1;
  }
  return 0;
}

}  // namespace corvix::cli
