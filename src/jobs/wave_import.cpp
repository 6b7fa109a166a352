#include "jobs/wave_import.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "common/messages.h"
#include "common/pending_error.h"
#include "common/user_messages.h"
#include "export/stereo_merge.h"
#include "export/wave_writer.h"
#include "media/akai_names.h"
#include "media/akai_records.h"
#include "media/read_engine.h"
#include "media/sector_source.h"
#include "records/job_notes.h"
#include "records/progress.h"
#include "records/source_guard.h"
#include "riff/file_system.h"

namespace corvix {

// One WAV file the import writes from a sample, as a zone of a program
// named it.
struct WaveImport::Export {
  size_t set = 0, program = 0;
  int32_t row = -1;  // its row in the set; -1 for the right channel of a pair merged into the left's
  uint16_t partition = 0;
  DirEntry sample{};
  uint32_t recordLength = 150;
  ByteView keygroup, zone;
  uint32_t groupIndex = 0;
  char name[kWaveNameBytes] = {};  // the sample's 12-character name
  uint32_t keygroupNumber = 0, keygroupCount = 0;  // for the dialog: "keygroup 2 of 5"
  std::string path;
  std::vector<uint16_t> chain;  // the sample file's blocks
  uint32_t planned = 0;         // chain blocks asked for in the first round
  int32_t merge = -1;
  bool headerSeen = false, finished = false, tracked = false;
  bool intermediate = false;  // the job's own file (a half, a conversion's), read again and deleted
  std::vector<uint32_t> early;  // chain blocks that came before the header
  WaveEntry scratch{};          // the fields a right channel's file fills
  std::unique_ptr<WaveFileWriter> writer = std::make_unique<WaveFileWriter>();
  uint64_t lastUse = 0;
};

struct WaveImport::Merge {
  size_t set = 0;
  int32_t row = 0;          // the pair's row (the left zone's)
  int32_t left = 0, right = 0;  // exports
  std::string finalPath;
  bool done = false;
};

// What a program's walk met, in zone order: a text, or an export whose
// damage is told once it is written.
struct WaveImport::ProgramNotes {
  std::vector<std::pair<std::string, int32_t>> events;
};

namespace {

constexpr uint32_t kChainBits = 14;  // a tag is export << 14 | chain index (< 8315)
// Files a sweep keeps open (each with its gathered sound) at once: more
// than the samples a partition's directories usually name, all of which a
// sweep of a disc written over time works on together.
constexpr size_t kOpenFiles = 128;

uint32_t Tag(size_t exportIndex, uint32_t chainIndex) {
  return static_cast<uint32_t>(exportIndex << kChainBits) | chainIndex;
}

// The first entry of the volume's sample list named exactly `name`.
const DirEntry* FindSample(const VolumeEntry& volume, const char* name) {
  if (volume.samples == nullptr) return nullptr;
  const int count = volume.sampleCount < kMaxSamples ? volume.sampleCount : kMaxSamples;
  for (int s = 0; s < count; ++s) {
    if (std::strcmp(volume.samples[s].name, name) == 0) return &volume.samples[s];
  }
  return nullptr;
}

void CopyName(char* destination, const char* name) {
  std::memset(destination, 0, kWaveNameBytes);
  std::memcpy(destination, name, std::min<size_t>(std::strlen(name), kWaveNameBytes - 1));
}

// Whether two sample names are the same but for the letter that pairs them
// (PAD L, PAD R).
bool SameButForSide(const char* a, const char* b) {
  if (IsStereoPair(a, b) == 0 || std::strlen(a) != std::strlen(b)) return false;
  std::string other = b;
  const std::string name = a;
  const size_t side = std::max(name.rfind('L') == std::string::npos ? 0 : name.rfind('L') + 1,
                               name.rfind('R') == std::string::npos ? 0 : name.rfind('R') + 1);
  other[side - 1] = name[side - 1];
  return other == name;
}

// The file names an import gives, folder by folder: each once. In the
// job's work folder a name a file of the job has already (from an earlier
// batch) is passed over too.
class FileNames {
 public:
  explicit FileNames(std::string workFolder) : workFolder_(std::move(workFolder)) {}
  // A free name for base in folder: base.wav, or base (k).wav; *copy is 0
  // or k.
  std::string Claim(const std::string& folder, const char* name, uint16_t* copy) {
    const auto exists = [&](const std::string& file) {
      return folder == workFolder_ && CurrentFileSystem().FileExists(JoinPath(folder, file));
    };
    std::string base = WaveFileName(name);
    base.resize(base.size() - 4);  // ".wav"
    *copy = static_cast<uint16_t>(folders_[folder].Take(base, ".wav", exists));
    return JoinPath(folder, WaveFileName(name, *copy));
  }

 private:
  std::string workFolder_;
  std::map<std::string, NameList> folders_;
};

// The samples that some zone of the programs plays on its own, not as one
// of a pair of zones that play alike: their pairs stay two mono files.
std::set<std::string> SamplesPlayedAlone(const WaveSet& set) {
  std::set<std::string> alone;
  for (const ConversionItem* item : set.programs) {
    if (item->program == nullptr) continue;
    const uint32_t keygroups = ProgramKeygroupCount(*item->program, item->keygroupStride);
    for (uint32_t k = 0; k < keygroups; ++k) {
      const ByteView keygroup = KeygroupBytes(*item->program, item->keygroupStride, k);
      VelocityZone zones[kZonesPerKeygroup];
      for (uint32_t z = 0; z < kZonesPerKeygroup; ++z) zones[z] = DecodeVelocityZone(ZoneBytes(keygroup, z));
      for (uint32_t z = 0; z < kZonesPerKeygroup; ++z) {
        const uint32_t first = z & ~1u;
        const bool paired = IsZoneUsed(zones[first].sampleName) && IsZoneUsed(zones[first + 1].sampleName) &&
                            IsStereoPair(zones[first].sampleName, zones[first + 1].sampleName) != 0 &&
                            PairZonesAgree(keygroup, first);
        if (IsZoneUsed(zones[z].sampleName) && !paired) alone.insert(zones[z].sampleName);
      }
    }
  }
  return alone;
}

}  // namespace

bool PairZonesAgree(ByteView keygroup, uint32_t z) {
  const ByteView a = ZoneBytes(keygroup, z), b = ZoneBytes(keygroup, z + 1);
  for (uint32_t at : {kZoneLowVelocity, kZoneHighVelocity, kZoneTuneFraction, kZoneTuneSemitones, kZonePlaybackMode}) {
    if (a.U8(at) != b.U8(at)) return false;
  }
  // Panned as one stereo zone pans its sides: apart by as much either way.
  return a.I8(kZonePan) + b.I8(kZonePan) == 0;
}

WaveImport::WaveImport(const JobDisc& disc, const std::string& workFolder) : disc_(disc), workFolder_(workFolder) {}
WaveImport::~WaveImport() = default;

int WaveImport::PlanSamples(size_t s, WaveSet& set) {
  std::vector<bool> taken(set.samples.size());
  for (size_t a = 0; a < set.samples.size(); ++a) {
    if (taken[a]) continue;
    size_t partner = set.samples.size();
    for (size_t b = a + 1; b < set.samples.size() && set.merge; ++b) {
      if (!taken[b] && SameButForSide(set.samples[a].name, set.samples[b].name)) partner = b;
      if (partner == b) break;
    }
    if (WaveTable.count >= kWaveTableRows) {
      SetPendingError(kTableFull, kStyleError);
      return 0;
    }
    WaveEntry& row = WaveTable.rows[WaveTable.count];
    std::memset(&row, 0, sizeof row);
    CopyName(row.name, set.samples[a].name);
    int32_t left = -1;
    for (size_t at : {a, partner}) {
      if (at >= set.samples.size()) continue;
      taken[at] = true;
      const auto index = static_cast<int32_t>(exports_.size());
      Export& e = exports_.emplace_back();
      e.set = s;
      e.row = left < 0 ? static_cast<int32_t>(WaveTable.count) : -1;
      e.partition = set.partition;
      e.sample = set.samples[at];
      e.recordLength = set.recordLength;
      CopyName(e.name, set.samples[at].name);
      notes_[s][0].events.emplace_back(std::string(), index);
      if (left < 0) {
        left = index;
        continue;
      }
      row.stereo = 1;
      MakeStereoName(row.name);
      Merge& m = merges_.emplace_back();
      m.set = s;
      m.row = static_cast<int32_t>(WaveTable.count);
      m.left = left;
      m.right = index;
      exports_[static_cast<size_t>(left)].merge = e.merge = static_cast<int32_t>(merges_.size() - 1);
    }
    ++WaveTable.count;
  }
  return 1;
}

int WaveImport::Plan(std::vector<WaveSet>& sets) {
  sets_ = &sets;
  exports_.clear();
  merges_.clear();
  notes_.assign(sets.size(), {});
  FileNames names(workFolder_);

  for (size_t s = 0; s < sets.size(); ++s) {
    WaveSet& set = sets[s];
    // The walk builds the table in WaveTable, as the design has it: the
    // name and pairing tests read it there.
    WaveTable.count = static_cast<uint32_t>(std::min<size_t>(set.rows.size(), kWaveTableRows));
    std::copy(set.rows.begin(), set.rows.begin() + WaveTable.count, WaveTable.rows);
    notes_[s].resize(std::max<size_t>(set.programs.size(), set.samples.empty() ? 0 : 1));
    const size_t first = exports_.size(), firstMerge = merges_.size();
    const std::set<std::string> alone = set.players ? SamplesPlayedAlone(set) : std::set<std::string>{};
    if (!PlanSamples(s, set)) return 0;

    for (size_t i = 0; i < set.programs.size(); ++i) {
      const ConversionItem& item = *set.programs[i];
      const VolumeEntry* volume = disc_.Volume(item.partition, item.volume);
      if (item.program == nullptr || volume == nullptr) continue;
      const ProgramBuffer& program = *item.program;
      const ProgramRecord header = DecodeProgramRecord(ProgramBytes(program));
      const uint32_t stride = item.keygroupStride;
      const uint32_t keygroups = ProgramKeygroupCount(program, stride);
      const uint32_t groupIndex = set.groupByPosition ? static_cast<uint32_t>(i) : set.groupIndex;
      std::vector<std::pair<std::string, int32_t>>& events = notes_[s][i].events;
      char leftSlot[kWaveNameBytes] = {};
      char rightSlot[kWaveNameBytes] = {};
      int32_t lastExport = -1;

      for (uint32_t k = 0; k < keygroups; ++k) {
        const ByteView keygroup = KeygroupBytes(program, stride, k);
        // Whether zone 1 (3) of this keygroup has just exported the sample
        // in the left slot, as the row at count − 1: only then may zone 2
        // (4) pair with it.
        bool leftJustExported = false;
        for (uint32_t z = 0; z < kZonesPerKeygroup; ++z) {
          const bool isLeftZone = z % 2 == 0;
          if (isLeftZone) leftJustExported = false;
          const ByteView zone = ZoneBytes(keygroup, z);
          const VelocityZone zoneRecord = DecodeVelocityZone(zone);
          const char* name = zoneRecord.sampleName;
          if (!IsZoneUsed(name)) continue;
          const DirEntry* sample = FindSample(*volume, name);
          if (sample == nullptr) {
            // A conversion tells of it where the zone is left out of its region.
            if (set.results) {
              events.emplace_back(TrimmedName(header.name) + ": keygroup " + std::to_string(k + 1) + ", zone " +
                                      std::to_string(z + 1) + " (\"" + TrimmedName(name) +
                                      "\"): the sample is not in the volume",
                                  -1);
            }
            continue;
          }
          if (IsAlreadyExported(name)) continue;
          if (WaveTable.count >= kWaveTableRows) {
            SetPendingError(kTableFull, kStyleError);
            return 0;
          }
          WaveEntry& row = WaveTable.rows[WaveTable.count];
          std::memset(&row, 0, sizeof row);
          CopyName(row.name, name);
          CopyName(isLeftZone ? leftSlot : rightSlot, name);

          const auto index = static_cast<int32_t>(exports_.size());
          Export& e = exports_.emplace_back();
          e.set = s;
          e.program = i;
          e.row = static_cast<int32_t>(WaveTable.count);
          e.partition = item.partition;
          e.sample = *sample;
          e.recordLength = stride;
          e.keygroup = keygroup;
          e.zone = zone;
          e.groupIndex = groupIndex;
          CopyName(e.name, name);
          e.keygroupNumber = k + 1;
          e.keygroupCount = keygroups;
          events.emplace_back(std::string(), index);
          row.keyByte = keygroup.U8(kKeygroupZoneFlags + z);
          row.stereo = 0;

          const bool pairs = !isLeftZone && leftJustExported && set.merge &&
                             IsStereoPair(leftSlot, rightSlot) != 0 &&
                             (!set.players || (alone.count(leftSlot) == 0 && alone.count(rightSlot) == 0 &&
                                               PairZonesAgree(keygroup, z - 1)));
          leftJustExported = isLeftZone;
          if (!pairs) {
            ++WaveTable.count;
            lastExport = index;
            continue;
          }
          // The right channel goes into the left's row, renamed for the pair.
          e.row = -1;
          WaveEntry& merged = WaveTable.rows[WaveTable.count - 1];
          CopyName(merged.name, leftSlot);
          MakeStereoName(merged.name);
          merged.stereo = 1;
          Merge& m = merges_.emplace_back();
          m.set = s;
          m.row = static_cast<int32_t>(WaveTable.count - 1);
          m.left = lastExport;
          m.right = index;
          exports_[static_cast<size_t>(lastExport)].merge = exports_[static_cast<size_t>(index)].merge =
              static_cast<int32_t>(merges_.size() - 1);
        }
      }
    }
    set.rows.assign(WaveTable.rows, WaveTable.rows + WaveTable.count);
    set.sources.resize(set.rows.size());
    for (size_t i = first; i < exports_.size(); ++i) {
      const Export& e = exports_[i];
      if (e.row >= 0) CopyName(set.sources[static_cast<size_t>(e.row)].left, e.name);
    }
    for (size_t m = firstMerge; m < merges_.size(); ++m) {
      WaveSource& source = set.sources[static_cast<size_t>(merges_[m].row)];
      CopyName(source.right, exports_[static_cast<size_t>(merges_[m].right)].name);
      if (IsRightOfPair(source.left)) std::swap(source.left, source.right);  // as the merge orders them
    }

    // The files' names: first those that stand when the import is done (the
    // rows' files, in row order), then the halves of pairs, which go once
    // merged; so that a half never takes a name a row's file has.
    std::vector<int32_t> owner(set.rows.size(), -1);  // the export whose file is the row's
    for (size_t i = first; i < exports_.size(); ++i) {
      if (exports_[i].row >= 0 && exports_[i].merge < 0) owner[static_cast<size_t>(exports_[i].row)] = static_cast<int32_t>(i);
      exports_[i].intermediate = !set.results;
    }
    for (size_t r = 0; r < set.rows.size(); ++r) {
      WaveEntry& row = set.rows[r];
      std::string path = names.Claim(set.folder, row.name, &row.fileCopy);
      if (set.results && !RefuseSource(path)) return 0;
      if (owner[r] >= 0) exports_[static_cast<size_t>(owner[r])].path = path;
      for (size_t m = firstMerge; m < merges_.size(); ++m) {
        if (merges_[m].row == static_cast<int32_t>(r)) merges_[m].finalPath = path;
      }
    }
    // The halves are the job's own, in its work folder.
    for (size_t m = firstMerge; m < merges_.size(); ++m) {
      uint16_t copy = 0;
      for (int32_t half : {merges_[m].left, merges_[m].right}) {
        Export& e = exports_[static_cast<size_t>(half)];
        e.path = names.Claim(workFolder_, e.name, &copy);
        e.intermediate = true;
      }
    }
  }

  // Each sample's chain, and how much of it to read before its header says
  // more: as many blocks as its directory entry's length fills.
  for (Export& e : exports_) {
    e.chain = disc_.Chain(e.partition, e.sample.startBlock, kFatEntries);
    const uint32_t blocks = (e.sample.length + kBlockBytes - 1) / kBlockBytes;
    e.planned = std::clamp<uint32_t>(blocks, 1, static_cast<uint32_t>(std::max<size_t>(e.chain.size(), 1)));
  }
  return 1;
}

uint64_t WaveImport::BytesToRead() const {
  std::set<std::pair<uint16_t, uint16_t>> blocks;
  for (const Export& e : exports_) {
    for (uint32_t c = 0; c < e.planned && c < e.chain.size(); ++c) blocks.emplace(e.partition, e.chain[c]);
  }
  return uint64_t{blocks.size()} * kBlockBytes;
}

// The reading: every block to its file, and the files to their pairs and
// sets as they come to stand whole.
class WaveImport::Sweep : public RunReader, public ReadProgress {
 public:
  Sweep(WaveImport& import, ReadPlan& plan, ProgressDialog& dialog, ProgressBar* bar,
        const std::function<bool(size_t)>& done)
      : import_(import), plan_(plan), dialog_(dialog), bar_(bar), done_(done) {}

  bool Take(uint32_t tag, const uint8_t* bytes, uint32_t, bool readable) override {
    const size_t i = tag >> kChainBits;
    const uint32_t chainIndex = tag & ((1u << kChainBits) - 1);
    Export& e = import_.exports_[i];
    // The interface is served before each block, and Cancel seen at once.
    CurrentProgressUi().PumpMessages();
    if (CancelRequested) {
      SetPendingError(kCancelled, kStyleWarning);
      return false;
    }
    if (bar_ != nullptr) bar_->StepIt();
    if (!e.headerSeen) {
      if (chainIndex != 0) {
        e.early.push_back(chainIndex);  // asked for again once the header says where it goes
      } else if (!Begin(i, bytes, readable)) {
        return false;
      }
    } else if (!e.writer->Put(chainIndex, bytes, readable)) {
      return false;
    }
    if (!Track(i)) return false;
    return !e.headerSeen || e.finished || !e.writer->complete() || Finish(i);
  }

  void Read(uint64_t bytes) override {
    done_bytes_ += bytes;
    const uint64_t done = import_.jobBefore_ + done_bytes_;
    CurrentProgressUi().ShowJobProgress(done, std::max(done, import_.jobTotal_));
  }

  // Sets whose files all stand are told of, in order; false when the job
  // stops there.
  bool ReportReady() {
    std::vector<WaveSet>& sets = *import_.sets_;
    while (reported_ < sets.size() && SetComplete(reported_)) {
      const size_t s = reported_++;
      if (done_ && !done_(s)) return false;
    }
    return true;
  }

  // After a failure: files that don't stand whole go, and so do the halves
  // of pairs not merged.
  void Abandon() {
    for (Export& e : import_.exports_) {
      if (!e.finished) e.writer->Abandon();
      else if (e.merge >= 0 && !import_.merges_[static_cast<size_t>(e.merge)].done) DeleteFileByName(e.path);
    }
  }

 private:
  bool Begin(size_t i, const uint8_t* bytes, bool readable) {
    Export& e = import_.exports_[i];
    WaveSet& set = (*import_.sets_)[e.set];
    e.headerSeen = true;
    const SampleRecord sample = DecodeSampleRecord({bytes, std::min(e.recordLength, kBlockBytes)});
    const WaveLayout layout = ComputeWaveLayout(sample, e.keygroup, e.zone, e.recordLength,
                                               static_cast<uint32_t>(e.chain.size()), set.style);
    WaveEntry& row = e.row >= 0 ? set.rows[static_cast<size_t>(e.row)] : e.scratch;
    if (e.row >= 0) {
      set.sources[static_cast<size_t>(e.row)].header = sample;
      set.sources[static_cast<size_t>(e.row)].frames = static_cast<uint32_t>(layout.dataBytes / 2);
    }
    if (!e.writer->Begin(e.path, e.name, layout, e.keygroup, e.zone, set.groupChunk, e.groupIndex, row,
                         e.intermediate ? WavePlace::kIntermediate : WavePlace::kFinal))
      return false;
    e.writer->damage.headerUnreadable = !readable;

    // The dialog names the program and the sample whose blocks come now.
    char line[128];
    if (e.set != shownSet_ || e.program != shownProgram_) {
      shownSet_ = e.set;
      shownProgram_ = e.program;
      const std::string from = set.programs.empty()
                                   ? set.title
                                   : std::string(DecodeProgramRecord(ProgramBytes(*set.programs[e.program]->program)).name);
      std::snprintf(line, sizeof line, "Importing from  %s", from.c_str());
      dialog_.SetItemText(kItemProgramLine, line);
    }
    if (e.keygroupCount == 0) {
      std::snprintf(line, sizeof line, "%s", e.name);
    } else {
      std::snprintf(line, sizeof line, "%s      keygroup %ld of %ld", e.name, static_cast<long>(e.keygroupNumber),
                    static_cast<long>(e.keygroupCount));
    }
    dialog_.SetItemText(kItemWaveLine, line);

    if (layout.firstBlock == 0 && !e.writer->Put(0, bytes, readable)) return false;
    // The blocks of the sound not asked for yet, and those that came before
    // the header, in the next round.
    for (uint32_t b = layout.firstBlock; b < layout.firstBlock + layout.blocks; ++b) {
      if (b == 0) continue;
      if (b >= e.planned || std::find(e.early.begin(), e.early.end(), b) != e.early.end())
        plan_.WantBlock(e.partition, e.chain[b], this, Tag(i, b));
    }
    e.early.clear();
    return true;
  }

  // Keeps the number of open files low: the file used longest ago is
  // closed for now when too many are open.
  bool Track(size_t i) {
    Export& e = import_.exports_[i];
    e.lastUse = ++tick_;
    for (size_t j : {i, last_}) {
      if (j >= import_.exports_.size()) continue;
      Export& x = import_.exports_[j];
      if (x.writer->open() && !x.tracked) {
        x.tracked = true;
        open_.push_back(j);
      }
    }
    last_ = i;
    while (open_.size() > kOpenFiles) {
      auto oldest = std::min_element(open_.begin(), open_.end(), [&](size_t a, size_t b) {
        return import_.exports_[a].lastUse < import_.exports_[b].lastUse;
      });
      Export& x = import_.exports_[*oldest];
      x.tracked = false;
      open_.erase(oldest);
      if (!x.writer->Park()) return false;
    }
    return true;
  }

  bool Finish(size_t i) {
    Export& e = import_.exports_[i];
    if (e.tracked) {
      e.tracked = false;
      open_.erase(std::find(open_.begin(), open_.end(), i));
    }
    if (!e.writer->Finish()) return false;
    e.finished = true;
    if (e.merge >= 0) {
      Merge& m = import_.merges_[static_cast<size_t>(e.merge)];
      const Export& left = import_.exports_[static_cast<size_t>(m.left)];
      const Export& right = import_.exports_[static_cast<size_t>(m.right)];
      if (left.finished && right.finished) {
        if (!MergeStereoPair(left.path, right.path, left.name, m.finalPath, (*import_.sets_)[m.set].groupChunk))
          return false;
        m.done = true;
      }
    }
    return ReportReady();
  }

  bool SetComplete(size_t s) const {
    for (const Export& e : import_.exports_) {
      if (e.set == s && !e.finished) return false;
    }
    for (const Merge& m : import_.merges_) {
      if (m.set == s && !m.done) return false;
    }
    return true;
  }

  WaveImport& import_;
  ReadPlan& plan_;
  ProgressDialog& dialog_;
  ProgressBar* bar_;
  const std::function<bool(size_t)>& done_;
  std::vector<size_t> open_;
  uint64_t tick_ = 0;
  size_t last_ = 0;
  size_t reported_ = 0;
  size_t shownSet_ = SIZE_MAX, shownProgram_ = SIZE_MAX;
  uint64_t done_bytes_ = 0;
};

int WaveImport::Run(const std::function<bool(size_t)>& done) {
  std::unique_ptr<ProgressDialog> dialog = CurrentProgressUi().CreateDialog(kTransferDialog);
  if (!dialog) {
    SetPendingError("Can't create progress dialog", kStyleError);
    return 0;
  }
  ProgressBar* bar = dialog->CreateProgressBar();
  ReadPlan plan;
  Sweep sweep(*this, plan, *dialog, bar, done);
  uint32_t blocks = 0;
  for (size_t i = 0; i < exports_.size(); ++i) {
    const Export& e = exports_[i];
    for (uint32_t c = 0; c < e.planned && c < e.chain.size(); ++c, ++blocks) plan.WantBlock(e.partition, e.chain[c], &sweep, Tag(i, c));
    // A sample whose first block is no file block still gets its (empty) file.
    if (e.chain.empty()) {
      plan.WantBlock(e.partition, e.sample.startBlock, &sweep, Tag(i, 0));
      ++blocks;
    }
  }
  if (bar != nullptr) {
    bar->SetRange(0, blocks > 0 ? blocks - 1 : 0);
    bar->SetStep(1);
  }
  if (jobTotal_ == 0) jobTotal_ = BytesToRead();
  bool ok = sweep.ReportReady();  // sets without samples
  while (ok && !plan.empty()) ok = plan.Run(&sweep);
  if (ok) ok = sweep.ReportReady();
  if (!ok) sweep.Abandon();
  return ok ? 1 : 0;
}

void WaveImport::NoteProgram(size_t set, size_t program) const {
  if (set >= notes_.size() || program >= notes_[set].size()) return;
  for (const auto& [text, exportIndex] : notes_[set][program].events) {
    if (exportIndex < 0) {
      AddJobNote(text);
      continue;
    }
    const Export& e = exports_[static_cast<size_t>(exportIndex)];
    if (!e.finished) continue;
    for (const std::string& note : DamageNotes(e.name, e.writer->damage)) AddJobNote(note);
  }
}

void WaveImport::DeleteAll() {
  for (const Export& e : exports_) {
    if (e.intermediate) DeleteFileByName(e.path);
  }
  for (const Merge& m : merges_) {
    if (!(*sets_)[m.set].results) DeleteFileByName(m.finalPath);
  }
}

int WorkFolder::Make(const std::string& below) {
  path_ = MakeTempFolder(below);
  if (path_.empty()) {
    SetPendingError(kCantCreateDirectory, kStyleError,
                    {"create a work folder in", below, CurrentFileSystem().LastFailure()});
    return 0;
  }
  return 1;
}

WorkFolder::~WorkFolder() {
  if (!path_.empty()) CurrentFileSystem().DeleteFolder(path_);
}

int MakeProgramFolder(const char* programName, const std::string& below, NameList& used, std::string* folder) {
  const std::string base = StoredName(programName);
  *folder = JoinPath(below, NameList::Name(base, "", used.Take(base, "")));
  FileSystem& fs = CurrentFileSystem();
  if (!PathFits(*folder)) {
    const std::string text = "\"" + *folder + "\": path too long";
    ShowMessageBox(text.c_str(), kCaption, kMbOk | kMbIconStop);
  }
  if (!PathFits(*folder)) {
    SetPendingError(kCantCreateDirectory, kStyleError, {"create folder", *folder, "path too long"});
    return 0;
  }
  if (!fs.FolderExists(*folder) && !fs.MakeFolder(*folder)) {
    SetPendingError(kCantCreateDirectory, kStyleError, {"create folder", *folder, fs.LastFailure()});
    return 0;
  }
  return 1;
}

void JobReading::Start(WaveImport& import, size_t count) {
  batch_ = count;
  batchBytes_ = import.BytesToRead();
  const size_t read = programsRead_ + count;
  const uint64_t known = bytesRead_ + batchBytes_;
  const uint64_t rest = read > 0 && programs_ > read ? known / read * (programs_ - read) : 0;
  import.SetJobReading(bytesRead_, known + rest);
}

void JobReading::Done() {
  programsRead_ += batch_;
  bytesRead_ += batchBytes_;
}

int ImportProgramWaves(JobDisc& disc, const ConversionItem& item, uint32_t groupIndex) {
  if (item.program == nullptr || item.volume >= kVolumesPerPartition) {
    SetPendingError(kProgramNotFound, kStyleError);
    return 0;
  }
  disc.ReadDirectories({{item.partition, item.volume}});
  if (!disc.HasPartition(item.partition)) {
    SetPendingError(kCantReadFat, kStyleError);
    return 0;
  }
  std::vector<WaveSet> sets(1);
  sets[0].programs = {&item};
  sets[0].folder = WaveFolder;
  sets[0].groupIndex = groupIndex;
  // The design's records say what the files are.
  sets[0].results = ImportWavesMode == 1;
  sets[0].groupChunk = ImportWavesMode == 0;
  sets[0].merge = MergeStereoPairs != 0;
  sets[0].rows.assign(WaveTable.rows, WaveTable.rows + std::min(WaveTable.count, kWaveTableRows));
  const std::string folder = WaveFolder;
  WorkFolder work;
  if (!work.Make(folder)) return 0;
  WaveImport import(disc, work.path());
  const int ok = import.Plan(sets) && import.Run();
  SetWaveFolder(folder);
  if (ok) import.NoteProgram(0, 0);
  WaveTable.count = static_cast<uint32_t>(std::min<size_t>(sets[0].rows.size(), kWaveTableRows));
  std::copy(sets[0].rows.begin(), sets[0].rows.begin() + WaveTable.count, WaveTable.rows);
  return ok;
}

}  // namespace corvix
