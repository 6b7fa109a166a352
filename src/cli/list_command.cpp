#include "cli/list_command.h"

#include <cstdio>
#include <iostream>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/disc_source.h"
#include "media/akai_disk.h"
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
        std::printf("    Program  %-12s  %3u keygroups  %u-%u\n", TrimmedName(p.name).c_str(),
                    p.keygroups, p.lowestKey, p.highestKey);
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
      ->required();
  list->add_flag("--json", options.json, "Print the listing as one JSON document");
  return list;
}

int RunList(const ListOptions& options) {
  std::string error;
  auto source = OpenDiscSource(options.source, &error);
  if (!source) {
    std::fprintf(stderr, "corvix: %s\n", error.c_str());
    return 1;
  }
  if (!AllocVolumeLists()) return 1;
  // A drive's tray stays locked while the disc is read.
  DiscListing listing;
  const int read = ReadWithLockedMedium([&listing] {
    listing = ListDisc();
    return 1;
  });
  FreeVolumeLists();
  SetSectorSource(nullptr);
  if (!read) return 1;  // the drive was not ready; the message has been shown
  if (!listing.isAkaiDisc) {
    std::fprintf(stderr, "corvix: %s: not an Akai S1000 disc\n", options.source.c_str());
    return 1;
  }
  if (options.json) {
    std::cout << ToJson(listing).dump(2) << '\n';
  } else {
    PrintTree(listing);
  }
  // What shows as empty but could not be read is no listing of the disc.
  if (!listing.unread.empty()) {
    std::string what = listing.unread[0];
    for (size_t i = 1; i < listing.unread.size() && i < 3; ++i) what += ", " + listing.unread[i];
    if (listing.unread.size() > 3) what += " and " + std::to_string(listing.unread.size() - 3) + " more";
    std::fprintf(stderr, "corvix: %s: could not read %s\n", options.source.c_str(), what.c_str());
    return 1;
  }
  return 0;
}

}  // namespace corvix::cli
