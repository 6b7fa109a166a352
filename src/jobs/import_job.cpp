#include "jobs/import_job.h"

#include <algorithm>
#include <memory>

#include "common/pending_error.h"
#include "common/user_messages.h"
#include "jobs/wave_import.h"
#include "jobs/conversion_list.h"
#include "records/job_guard.h"
#include "records/job_notes.h"
#include "records/job_state.h"
#include "media/akai_records.h"
#include "riff/file_system.h"

namespace corvix {
namespace {

// The program's folder below ChosenFolder: its stored name, or the first
// " (k)" variant this job has not used yet. Made when missing.
int MakeProgramFolder(const char* programName, std::vector<std::string>& used) {
  const std::string base = StoredName(programName);
  std::string name = base;
  for (int k = 2; std::any_of(used.begin(), used.end(), [&](const std::string& u) { return SameStoredName(u, name); });
       ++k) {
    name = base + " (" + std::to_string(k) + ")";
  }
  const std::string folder = JoinPath(ChosenFolder, name);
  FileSystem& fs = CurrentFileSystem();
  if (!SetWaveFolder(folder) || (!fs.FolderExists(folder) && !fs.MakeFolder(folder))) {
    SetPendingError("Can't create directory", kStyleError);
    return 0;
  }
  used.push_back(name);
  return 1;
}

int ImportEach(const std::vector<ProgramRef>& programs, ImportReport* report,
               const std::function<void(const ImportedProgram&)>& done) {
  std::vector<std::string> folders;
  for (size_t i = 0; i < programs.size(); ++i) {
    // Cancel pressed after the last check of the program before.
    if (CancelRequested) {
      SetPendingError("Conversion cancelled by user", kStyleWarning);
      return 0;
    }
    const ProgramRef& ref = programs[i];
    std::unique_ptr<ConversionItem> item = MakeConversionItem(ref.partition, ref.volume, ref.programIndex, nullptr);
    if (!item) {
      // A program that can't be read is not exported from zeros under a
      // made-up name: the user hears of it and the others are done.
      ShowMessageBox(PendingError.text, "Error", kMbOk);
      report->leftOut += 1;
      continue;
    }
    const ProgramRecord header = DecodeProgramRecord(ProgramBytes(*item->program));
    if (!MakeProgramFolder(header.name, folders)) return 0;
    WaveTable.count = 0;
    if (!ImportProgramWaves(*item, 0)) return 0;

    ImportedProgram& imported = report->programs.emplace_back();
    imported.index = i;
    imported.folder = WaveFolder;
    for (uint32_t r = 0; r < std::min(WaveTable.count, kWaveTableRows); ++r) {
      imported.files.push_back(WaveFileName(WaveTable.rows[r].name));
      imported.stereo.push_back(WaveTable.rows[r].stereo != 0);
    }
    if (done) done(imported);
  }
  return 1;
}

}  // namespace

int ImportPrograms(const std::vector<ProgramRef>& programs, ImportReport* report,
                   const std::function<void(const ImportedProgram&)>& done) {
  JobGuard guard;
  if (!guard.acquired()) {
    SetPendingError(kJobRunning, kStyleError);
    return 0;
  }
  *report = {};
  ImportWavesMode = 1;
  CancelRequested = 0;
  ResetJobNotes();
  const int result = ImportEach(programs, report, done);
  ShowJobNotes();
  return result;
}

}  // namespace corvix
