#include "jobs/import_job.h"

#include <algorithm>
#include <memory>

#include "common/messages.h"
#include "common/pending_error.h"
#include "jobs/conversion_list.h"
#include "jobs/wave_import.h"
#include "media/akai_records.h"
#include "records/job_guard.h"
#include "records/job_notes.h"
#include "records/job_state.h"
#include "riff/file_system.h"

namespace corvix {
namespace {

int ImportEach(JobDisc& disc, const std::vector<ProgramRef>& programs, ImportReport* report,
               const std::function<void(const ImportedProgram&)>& done, const WaveStyle& style) {
  std::vector<std::unique_ptr<ConversionItem>> items;
  std::vector<VolumeRef> volumes;
  for (const ProgramRef& ref : programs) {
    items.push_back(MakeProgramItem(ref.partition, ref.volume, ref.programIndex));
    volumes.push_back({ref.partition, ref.volume});
  }
  disc.ReadDirectories(volumes);

  std::vector<ConversionItem*> all;
  for (auto& item : items) all.push_back(item.get());
  NameList folders;
  WorkFolder work;  // the halves of pairs, until merged
  if (!work.Make(ChosenFolder)) return 0;
  JobReading reading(items.size());
  for (size_t from = 0, to = 0; from < items.size(); from = to) {
    to = BatchEnd(all, from);
    const std::vector<ConversionItem*> batch(all.begin() + static_cast<ptrdiff_t>(from),
                                             all.begin() + static_cast<ptrdiff_t>(to));
    report->leftOut += ReadConversionItems(disc, batch);

    std::vector<WaveSet> sets;
    std::vector<size_t> places;  // of each set's program in the job's list
    int ok = 1;
    for (size_t i = from; i < to && ok; ++i) {
      if (items[i]->program == nullptr) continue;
      WaveSet& set = sets.emplace_back();
      set.programs = {items[i].get()};
      set.style = style;
      ok = MakeProgramFolder(DecodeProgramRecord(ProgramBytes(*items[i]->program)).name, ChosenFolder, folders, &set.folder);
      places.push_back(i);
    }
    WaveImport import(disc, work.path());
    const auto imported = [&](size_t s) {
      WaveTable.count = static_cast<uint32_t>(sets[s].rows.size());
      std::copy(sets[s].rows.begin(), sets[s].rows.end(), WaveTable.rows);
      SetWaveFolder(sets[s].folder);
      import.NoteProgram(s, 0);
      ImportedProgram& program = report->programs.emplace_back();
      program.index = places[s];
      program.folder = sets[s].folder;
      for (const WaveEntry& row : sets[s].rows) {
        program.files.push_back(WaveFileName(row.name, row.fileCopy));
        program.stereo.push_back(row.stereo != 0);
      }
      if (done) done(program);
      return true;
    };
    ok = ok && import.Plan(sets);
    if (ok) reading.Start(import, to - from);
    ok = ok && import.Run(imported);
    reading.Done();
    ReleaseConversionItems(batch);
    if (!ok) return 0;
  }
  return 1;
}

}  // namespace

int ImportPrograms(const std::vector<ProgramRef>& programs, ImportReport* report,
                   const std::function<void(const ImportedProgram&)>& done, JobDisc* disc,
                   const WaveStyle& style) {
  JobGuard guard;
  if (!guard.acquired()) {
    SetPendingError(kJobRunning, kStyleError);
    return 0;
  }
  *report = {};
  ImportWavesMode = 1;
  CancelRequested = 0;
  ResetJobNotes();
  JobDisc own;
  int result = 1;
  if (disc == nullptr && !programs.empty()) {
    if (own.Open()) {
      disc = &own;
    } else {
      SetPendingError(kCantReadFat, kStyleError);
      result = 0;
    }
  }
  if (result && !programs.empty()) result = ImportEach(*disc, programs, report, done, style);
  ShowJobNotes();
  return result;
}

}  // namespace corvix
