#include "jobs/convert_job.h"

#include <algorithm>
#include <map>
#include <memory>

#include "common/messages.h"
#include "common/pending_error.h"
#include "jobs/conversion_list.h"
#include "jobs/wave_import.h"
#include "media/akai_names.h"
#include "records/job_guard.h"
#include "records/job_notes.h"
#include "riff/chunk_writer.h"
#include "riff/file_system.h"

namespace corvix {

ConversionReportRecord ConversionReport;

void ResetConversionReport() { ConversionReport = {}; }

namespace {

constexpr WaveKind kKinds[] = {WaveKind::kDesign, WaveKind::kPlayers};

std::string Label(const JobDisc& disc, const ConversionItem& item) {
  const VolumeEntry* volume = disc.Volume(item.partition, item.volume);
  return ProgramLabel(item, volume != nullptr ? volume->name : nullptr);
}

// The list as a vector.
std::vector<ConversionItem*> Items(ConversionItem* list) {
  std::vector<ConversionItem*> items;
  for (ConversionItem* item = list; item != nullptr; item = item->next.get()) items.push_back(item);
  return items;
}

// The items' programs read, in disc order; those that can't be read are
// reported and left out. Returns the items read by this call (for
// ReleaseConversionItems).
std::vector<ConversionItem*> ReadBatch(const JobDisc& disc, const std::vector<ConversionItem*>& items, size_t from,
                                       size_t to, JobOutput& out, std::vector<bool>* readable) {
  std::vector<ConversionItem*> unread;
  for (size_t i = from; i < to; ++i) {
    if (items[i]->program == nullptr) unread.push_back(items[i]);
  }
  out.leftOut += ReadConversionItems(disc, unread);
  for (size_t i = from; i < to && readable != nullptr; ++i) (*readable)[i] = items[i]->program != nullptr;
  return unread;
}

// Whether a writer of the job takes waves of kind, and whether they are
// then results (an own-folder format's).
bool Wants(const std::vector<JobWriter>& writers, WaveKind kind) {
  return std::any_of(writers.begin(), writers.end(), [&](const JobWriter& w) { return w.policy.waves == kind; });
}
bool Keeps(const std::vector<JobWriter>& writers, WaveKind kind) {
  return std::any_of(writers.begin(), writers.end(),
                     [&](const JobWriter& w) { return w.policy.waves == kind && w.policy.ownFolder; });
}

ProgramWaves WavesOf(const WaveSet& set) { return {set.rows, set.sources, set.folder}; }

// The waves in WaveTable, where the design's writers look them up.
void FillWaveTable(const ProgramWaves& waves) {
  WaveTable.count = static_cast<uint32_t>(std::min<size_t>(waves.rows.size(), kWaveTableRows));
  std::copy(waves.rows.begin(), waves.rows.begin() + WaveTable.count, WaveTable.rows);
}

void DeleteWaves(const ProgramWaves& waves) {
  for (const WaveEntry& row : waves.rows) DeleteFileByName(JoinPath(waves.folder, WaveFileName(row.name, row.fileCopy)));
}

// A program of a batch: where its files go and its wave sets by kind.
struct BatchProgram {
  size_t place = 0;
  std::string folder, own;
  int sets[2] = {-1, -1};
};

int RunOneTable(JobDisc& disc, const std::vector<ConversionItem*>& items, const JobWriter& writer,
                const JobTarget& target, JobOutput& out, const std::string& work, std::vector<bool>* readable) {
  if (items.size() > kGroupNames) {
    SetPendingError("Too many programs to combine (64 at most)", kStyleError);
    return 0;
  }
  const std::vector<ConversionItem*> read = ReadBatch(disc, items, 0, items.size(), out, readable);
  std::vector<WaveSet> sets(1);
  sets[0].folder = work;
  sets[0].groupByPosition = true;
  sets[0].merge = target.merge;
  size_t head = items.size();
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i]->program == nullptr) continue;
    if (head == items.size()) head = i;
    sets[0].programs.push_back(items[i]);
  }
  int ok = 1;
  if (head < items.size()) {
    WaveImport import(disc, work);
    const auto written = [&](size_t) {
      for (size_t i = 0; i < sets[0].programs.size(); ++i) import.NoteProgram(0, i);
      const ProgramWaves waves = WavesOf(sets[0]);
      FillWaveTable(waves);
      ProgramToWrite program{sets[0].programs, ProgramName(*items[head]), Label(disc, *items[head]),
                             ProgramFolder(disc, target, items[head]->partition, items[head]->volume, true),
                             static_cast<uint32_t>(head), &waves};
      return !program.folder.empty() && writer.writer->Write(program, out) != 0;
    };
    ok = import.Plan(sets) && import.Run(written);
    if (!ok) import.DeleteAll();
  }
  ReleaseConversionItems(read);
  return ok;
}

int RunBatches(JobDisc& disc, const std::vector<ConversionItem*>& items, const std::vector<JobWriter>& writers,
               const JobTarget& target, JobOutput& out, const std::string& work, std::vector<bool>* readable) {
  const bool ownFolders = std::any_of(writers.begin(), writers.end(), [](const JobWriter& w) { return w.policy.ownFolder; });
  const bool keepUntilEnd = std::any_of(writers.begin(), writers.end(), [](const JobWriter& w) { return w.writer->KeepsWaves(); });
  std::map<std::string, NameList> programFolders;  // per folder, those this job has used
  JobReading reading(items.size());
  for (size_t from = 0, to = 0; from < items.size(); from = to) {
    to = BatchEnd(items, from);
    const std::vector<ConversionItem*> read = ReadBatch(disc, items, from, to, out, readable);
    std::vector<WaveSet> sets;
    std::vector<BatchProgram> programs;
    std::vector<size_t> owner;  // per set, its program in programs
    int ok = 1;
    for (size_t i = from; i < to && ok; ++i) {
      ConversionItem* item = items[i];
      if (item->program == nullptr) continue;
      BatchProgram& p = programs.emplace_back();
      p.place = i;
      p.folder = ProgramFolder(disc, target, item->partition, item->volume, true);
      ok = !p.folder.empty() &&
           (!ownFolders || MakeProgramFolder(ProgramName(*item).c_str(), p.folder, programFolders[p.folder], &p.own));
      for (WaveKind kind : kKinds) {
        if (!ok || !Wants(writers, kind)) continue;
        WaveSet& set = sets.emplace_back();
        set.programs = {item};
        set.merge = target.merge;
        set.results = Keeps(writers, kind);
        set.groupChunk = !set.results;
        set.folder = set.results ? p.own : work;
        if (kind == WaveKind::kPlayers) {
          // Today's samplers: each zone plays its own part of a sample's
          // whole sound, at the sample's own rate.
          set.players = true;
          set.style = {.rateCorrected = false, .wholeSound = true};
        } else {
          set.style = target.designStyle;
        }
        p.sets[static_cast<int>(kind)] = static_cast<int>(sets.size() - 1);
        owner.push_back(programs.size() - 1);
      }
    }
    WaveImport import(disc, work);
    // Each program goes to the writers as soon as all its waves stand.
    const auto written = [&](size_t s) {
      if (s + 1 < sets.size() && owner[s + 1] == owner[s]) return true;
      const BatchProgram& p = programs[owner[s]];
      const ConversionItem& item = *items[p.place];
      // Its notes once: those of the waves that are results, where some are.
      int noted = p.sets[0] >= 0 ? p.sets[0] : p.sets[1];
      if (p.sets[1] >= 0 && sets[static_cast<size_t>(p.sets[1])].results) noted = p.sets[1];
      import.NoteProgram(static_cast<size_t>(noted), 0);
      ProgramWaves waves[2];
      for (WaveKind kind : kKinds) {
        const int set = p.sets[static_cast<int>(kind)];
        if (set >= 0) waves[static_cast<int>(kind)] = WavesOf(sets[static_cast<size_t>(set)]);
      }
      for (const JobWriter& w : writers) {
        const ProgramWaves& own = waves[static_cast<int>(w.policy.waves)];
        FillWaveTable(own);
        const ProgramToWrite program{{&item}, ProgramName(item), Label(disc, item),
                                     w.policy.ownFolder ? p.own : p.folder, static_cast<uint32_t>(p.place), &own};
        if (!w.writer->Write(program, out)) return false;
      }
      // Waves that are no result go once written, unless a writer keeps
      // them for its end.
      const int players = p.sets[static_cast<int>(WaveKind::kPlayers)];
      if (players >= 0 && !sets[static_cast<size_t>(players)].results && !keepUntilEnd)
        DeleteWaves(waves[static_cast<int>(WaveKind::kPlayers)]);
      return true;
    };
    ok = ok && import.Plan(sets);
    if (ok) reading.Start(import, to - from);
    ok = ok && import.Run(written);
    reading.Done();
    ReleaseConversionItems(read);
    if (!ok) {
      import.DeleteAll();
      return 0;
    }
  }
  for (const JobWriter& w : writers) {
    if (!w.writer->Finish(out)) return 0;
  }
  return 1;
}

}  // namespace

std::string ProgramFolder(const JobDisc& disc, const JobTarget& target, uint16_t partition, uint16_t volume,
                          bool make) {
  if (target.disc.empty()) return target.folder;
  const VolumeEntry* entry = disc.Volume(partition, volume);
  std::string folder = target.folder;
  FileSystem& fs = CurrentFileSystem();
  for (const std::string& name :
       {target.disc, PartitionLabel(partition), std::string(entry != nullptr ? entry->name : "?")}) {
    folder = JoinPath(folder, name);
    if (!make || fs.FolderExists(folder)) continue;
    if (!PathFits(folder) || !fs.MakeFolder(folder)) {
      SetPendingError(kCantCreateDirectory, kStyleError,
                      {"create folder", folder, PathFits(folder) ? fs.LastFailure() : "path too long"});
      return {};
    }
  }
  return folder;
}

bool ProgramFilesStand(const JobDisc& disc, const JobTarget& target, const ConversionItem& item,
                       const std::vector<const OutputFormat*>& formats) {
  const VolumeEntry* volume = disc.Volume(item.partition, item.volume);
  if (volume == nullptr || volume->programs == nullptr || item.programIndex >= volume->programCount) return false;
  const std::string name = volume->programs[item.programIndex].name;
  // Where two programs of the volume share a name, the files can't tell
  // whose they are: such a program is done again.
  for (uint16_t i = 0; i < volume->programCount && i < kMaxPrograms; ++i) {
    NameList alike;
    alike.Take(StoredName(name), "");
    if (i != item.programIndex && alike.Take(StoredName(volume->programs[i].name), "") != 0) return false;
  }
  const std::string folder = ProgramFolder(disc, target, item.partition, item.volume, false);
  FileSystem& fs = CurrentFileSystem();
  for (const OutputFormat* format : formats) {
    const FormatPolicy& policy = format->policy;
    const std::string own = JoinPath(folder, name);
    const bool stands = !policy.ownFolder           ? fs.FileExists(JoinPath(folder, FileName(name, policy.extension)))
                        : *policy.extension != '\0' ? fs.FileExists(JoinPath(own, FileName(name, policy.extension)))
                                                    : fs.FolderExists(own);
    if (!stands) return false;
  }
  return true;
}

int RunWriters(JobDisc& disc, const std::vector<ConversionItem*>& items, const std::vector<JobWriter>& writers,
               const JobTarget& target, JobOutput& out, std::vector<bool>* readable) {
  std::vector<VolumeRef> volumes;
  for (const ConversionItem* item : items) volumes.push_back({item->partition, item->volume});
  disc.ReadDirectories(volumes);
  const auto oneTable = std::find_if(writers.begin(), writers.end(), [](const JobWriter& w) { return w.policy.oneTable; });
  if (oneTable != writers.end() && writers.size() > 1) {
    SetPendingError("Combined files are made on their own", kStyleError);
    return 0;
  }
  // The waves that are no result go to the job's own folder.
  WorkFolder work;
  if (!work.Make(target.folder)) return 0;
  return oneTable != writers.end() ? RunOneTable(disc, items, *oneTable, target, out, work.path(), readable)
                                   : RunBatches(disc, items, writers, target, out, work.path(), readable);
}

int ExportSamples(JobDisc& disc, const std::vector<SampleRef>& samples, const JobTarget& target, JobOutput& out) {
  JobGuard guard;
  if (!guard.Start()) return 0;
  std::vector<WaveSet> sets;
  std::map<std::string, NameList> folders;
  std::vector<VolumeRef> volumes;
  for (const SampleRef& ref : samples) volumes.push_back({ref.partition, ref.volume});
  disc.ReadDirectories(volumes);
  int ok = 1;
  VolumeRef setVolume;
  for (const SampleRef& ref : samples) {
    const VolumeEntry* volume = disc.Volume(ref.partition, ref.volume);
    if (volume == nullptr || volume->samples == nullptr || ref.sampleIndex >= volume->sampleCount) continue;
    if (sets.empty() || setVolume != VolumeRef{ref.partition, ref.volume}) {
      // A set per volume, in its folder "Samples".
      setVolume = {ref.partition, ref.volume};
      WaveSet& set = sets.emplace_back();
      const std::string below = ProgramFolder(disc, target, ref.partition, ref.volume, true);
      ok = !below.empty() && MakeProgramFolder("Samples", below, folders[below], &set.folder);
      if (!ok) break;
      set.partition = ref.partition;
      set.recordLength = RecordLength(volume->type);
      set.title = ProgramPath(ref.partition, volume->name, "Samples");
      set.results = true;
      set.groupChunk = false;
      set.merge = target.merge;
      set.players = true;
      set.style = {.rateCorrected = false, .wholeSound = true};
    }
    sets.back().samples.push_back(volume->samples[ref.sampleIndex]);
  }
  if (ok && !sets.empty()) {
    WorkFolder work;
    ok = work.Make(target.folder);
    if (ok) {
      WaveImport import(disc, work.path());
      const auto written = [&](size_t s) {
        import.NoteProgram(s, 0);
        out.files.push_back({sets[s].folder, 0, static_cast<uint32_t>(sets[s].rows.size()), 0, 0});
        return true;
      };
      ok = import.Plan(sets) && import.Run(written);
      if (!ok) import.DeleteAll();
    }
  }
  ShowJobNotes();
  return ok;
}

int ConvertPrograms(ConversionItem* list, const std::vector<const OutputFormat*>& formats, const JobTarget& target,
                    JobDisc* disc) {
  JobGuard guard;
  if (!guard.Start()) return 0;
  ResetGroupNameTable();
  ResetConversionReport();
  if (list == nullptr) return 1;
  const std::vector<ConversionItem*> items = Items(list);
  ConversionReport.readable.assign(items.size(), true);
  // The disc's tables, read once for the job: those of the command's when
  // it has read them, else here.
  JobDisc own;
  if (disc == nullptr) {
    if (!own.Open()) {
      SetPendingError(kCantReadFat, kStyleError);
      return 0;
    }
    disc = &own;
  }
  std::vector<std::unique_ptr<InstrumentWriter>> made;
  std::vector<JobWriter> writers;
  for (const OutputFormat* format : formats) {
    made.push_back(format->make());
    writers.push_back({format->policy, made.back().get()});
  }
  JobOutput out;
  const int result = RunWriters(*disc, items, writers, target, out, &ConversionReport.readable);
  ConversionReport.files = std::move(out.files);
  ConversionReport.leftOut += out.leftOut;
  SetWaveFolder(target.folder);  // the window's record, as it set it
  ShowJobNotes();
  return result;
}

}  // namespace corvix
