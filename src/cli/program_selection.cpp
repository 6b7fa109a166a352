#include "cli/program_selection.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/disc_source.h"
#include "cli/terminal_messages.h"
#include "media/akai_names.h"
#include "records/job_notes.h"

namespace corvix::cli {
namespace {

// A name as given on the command line matches a name on the disc when both,
// trimmed of trailing spaces, match as a shell pattern: '*' stands for any
// run of characters, '?' for one. Akai names have no lower case, so case
// is not told apart.
bool NameMatches(const std::string& pattern, const std::string& discName) {
  const std::string p = TrimmedName(pattern), n = TrimmedName(discName);
  const auto same = [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
  };
  // The last '*' seen and where in the name its run ends so far.
  size_t i = 0, j = 0, star = std::string::npos, resume = 0;
  while (j < n.size()) {
    if (i < p.size() && p[i] == '*') {
      star = i++;
      resume = j;
    } else if (i < p.size() && (p[i] == '?' || same(p[i], n[j]))) {
      ++i;
      ++j;
    } else if (star != std::string::npos) {
      i = star + 1;
      j = ++resume;
    } else {
      return false;
    }
  }
  while (i < p.size() && p[i] == '*') ++i;
  return i == p.size();
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

int Resolve(JobDisc& disc, const std::vector<std::string>& patterns, std::vector<Selection>* out,
            std::vector<Selection>* samples) {
  std::vector<std::array<std::string, 3>> split;
  for (const std::string& pattern : patterns) {
    std::string parts[3];
    if (!SplitPattern(pattern, parts) || (parts[0] != "*" && PartitionFromLabel(parts[0]) < 0)) {
      std::fprintf(stderr, "corvix: %s: expected PARTITION/VOLUME/PROGRAM, for example 'A/DEMO STRINGS/STRINGS'\n",
                   pattern.c_str());
      return 2;
    }
    split.push_back({parts[0], parts[1], parts[2]});
  }
  // The tables the patterns need, each read once, in disc order.
  std::vector<uint16_t> partitions;
  for (uint32_t p = 0; p < disc.partitionCount(); ++p) {
    for (const auto& parts : split) {
      if (parts[0] == "*" || PartitionFromLabel(parts[0]) == static_cast<int32_t>(p)) {
        partitions.push_back(static_cast<uint16_t>(p));
        break;
      }
    }
  }
  disc.ReadPartitions(partitions);
  std::vector<VolumeRef> volumes;
  for (uint16_t p : partitions) {
    for (uint16_t v = 0; v < kVolumesPerPartition; ++v) {
      const VolumeEntry* volume = disc.Volume(p, v);
      if (volume == nullptr || volume->type == 0) continue;
      for (const auto& parts : split) {
        if (NameMatches(parts[1], volume->name)) {
          volumes.push_back({p, v});
          break;
        }
      }
    }
  }
  disc.ReadDirectories(volumes);

  for (size_t n = 0; n < split.size(); ++n) {
    const auto& parts = split[n];
    bool found = false;
    for (const VolumeRef& ref : volumes) {
      if (parts[0] != "*" && PartitionFromLabel(parts[0]) != ref.partition) continue;
      const VolumeEntry& volume = *disc.Volume(ref.partition, ref.volume);
      if (!NameMatches(parts[1], volume.name)) continue;
      for (uint16_t i = 0; i < volume.programCount; ++i) {
        if (!NameMatches(parts[2], volume.programs[i].name)) continue;
        found = true;
        bool already = false;
        for (const Selection& s : *out) {
          already |= s.partition == ref.partition && s.volumeSlot == ref.volume && s.programIndex == i;
        }
        if (already) continue;
        out->push_back({ref.partition, ref.volume, i, ProgramPath(ref.partition, volume.name, volume.programs[i].name)});
      }
      for (uint16_t i = 0; samples != nullptr && i < volume.sampleCount && volume.samples != nullptr; ++i) {
        if (!NameMatches(parts[2], volume.samples[i].name)) continue;
        found = true;
        const Selection sample{ref.partition, ref.volume, i, ProgramPath(ref.partition, volume.name, volume.samples[i].name)};
        if (std::none_of(samples->begin(), samples->end(), [&](const Selection& s) {
              return s.partition == sample.partition && s.volumeSlot == sample.volumeSlot && s.programIndex == i;
            }))
          samples->push_back(sample);
      }
    }
    if (!found) {
      // The first of the three names that matched nothing.
      bool partitionFound = false, volumeFound = false;
      for (uint16_t p : partitions) partitionFound |= parts[0] == "*" || PartitionFromLabel(parts[0]) == p;
      for (const VolumeRef& ref : volumes) {
        volumeFound |= (parts[0] == "*" || PartitionFromLabel(parts[0]) == ref.partition) &&
                       NameMatches(parts[1], disc.Volume(ref.partition, ref.volume)->name);
      }
      const std::string what = !partitionFound ? "no partition " + parts[0] + " on the disc"
                               : !volumeFound  ? "no volume matches \"" + parts[1] + "\""
                               : samples != nullptr ? "no program or sample matches \"" + parts[2] + "\""
                                                    : "no program matches \"" + parts[2] + "\"";
      std::fprintf(stderr, "corvix: %s: %s\n", patterns[n].c_str(), what.c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace

DiscSession::~DiscSession() {
  lock_.reset();  // unlock while the source is still current
  if (source_) SetSectorSource(nullptr);
}

int DiscSession::Open(const std::string& source, const std::vector<std::string>& patterns,
                      std::vector<Selection>* selections, std::vector<Selection>* samples) {
  std::string error;
  source_ = OpenDiscSource(source, &error);
  if (!source_) {
    std::fprintf(stderr, "corvix: %s\n", error.c_str());
    return 1;
  }
  if (!EnsureMediumReady()) return 1;  // the user cancelled; the question said why
  lock_ = std::make_unique<MediumLock>();
  disc_ = std::make_unique<JobDisc>();
  if (!disc_->Open()) {
    std::fprintf(stderr, "corvix: %s: not an Akai S1000 disc\n", source.c_str());
    return 1;
  }
  return Resolve(*disc_, patterns, selections, samples);
}

int EndWithNotes(int status, size_t written, const char* what, const std::vector<Selection>& selections,
                 bool strict) {
  if (JobNotes.lines.empty()) return status;
  // Notes begin with the program's path or its name.
  size_t withNotes = 0;
  for (const Selection& s : selections) {
    const std::string name = s.label.substr(s.label.rfind('/') + 1);
    bool noted = false;
    for (const std::string& line : JobNotes.lines)
      noted |= line.rfind(s.label + ":", 0) == 0 || line.rfind(name + ":", 0) == 0;
    withNotes += noted ? 1 : 0;
  }
  const std::string count = std::to_string(written) + " " + what + (written == 1 ? "" : "s") + " written; ";
  if (withNotes > 0) {
    std::fprintf(stderr, "corvix: %s%zu program%s had parts left out: see above\n", count.c_str(), withNotes,
                 withNotes == 1 ? "" : "s");
  } else {
    std::fprintf(stderr, "corvix: %sparts were left out: see above\n", count.c_str());
  }
  return strict ? 1 : status;
}

int MakeTargetFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(folder), ec);
  if (ec || !std::filesystem::is_directory(std::filesystem::path(folder))) {
    std::fprintf(stderr, "corvix: %s\n",
                 CantText("create folder", folder, ec ? ec.message() : "a file of that name is there").c_str());
    return 1;
  }
  return 0;
}

}  // namespace corvix::cli
