#include "cli/program_selection.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/disc_source.h"
#include "media/akai_disk.h"
#include "media/disc_listing.h"

namespace corvix::cli {
namespace {

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

int Resolve(const DiscListing& listing, const std::vector<std::string>& patterns,
            std::vector<Selection>* out) {
  for (const std::string& pattern : patterns) {
    std::string parts[3];
    if (!SplitPattern(pattern, parts) || (parts[0] != "*" && PartitionFromLabel(parts[0]) < 0)) {
      std::fprintf(stderr, "corvix: %s: expected PARTITION/VOLUME/PROGRAM, for example A/STRINGS 1/VIOLINS\n",
                   pattern.c_str());
      return 2;
    }
    bool found = false;
    for (const ListedPartition& partition : listing.partitions) {
      if (parts[0] != "*" && PartitionFromLabel(parts[0]) != partition.number) continue;
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
                          ProgramPath(partition.number, volume.name, program.name)});
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

}  // namespace

DiscSession::~DiscSession() {
  lock_.reset();  // unlock while the source is still current
  if (listsAllocated_) FreeVolumeLists();
  if (source_) SetSectorSource(nullptr);
}

int DiscSession::Open(const std::string& source, const std::vector<std::string>& patterns,
                      std::vector<Selection>* selections) {
  std::string error;
  source_ = OpenDiscSource(source, &error);
  if (!source_) {
    std::fprintf(stderr, "corvix: %s\n", error.c_str());
    return 1;
  }
  if (!EnsureMediumReady()) return 1;  // the user cancelled; the question said why
  lock_ = std::make_unique<MediumLock>();
  if (!AllocVolumeLists()) return 1;
  listsAllocated_ = true;
  const DiscListing listing = ListDisc();
  if (!listing.isAkaiDisc) {
    std::fprintf(stderr, "corvix: %s: not an Akai S1000 disc\n", source.c_str());
    return 1;
  }
  return Resolve(listing, patterns, selections);
}

int MakeTargetFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(folder), ec);
  if (ec || !std::filesystem::is_directory(std::filesystem::path(folder))) {
    std::fprintf(stderr, "corvix: can't create %s: %s\n", folder.c_str(),
                 ec ? ec.message().c_str() : "not a folder");
    return 1;
  }
  return 0;
}

}  // namespace corvix::cli
