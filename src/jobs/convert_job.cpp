#include "jobs/convert_job.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/pending_error.h"
#include "jobs/wave_import.h"
#include "instrument/instrument_file.h"
#include "instrument/regions.h"
#include "instrument/wave_pool.h"
#include "jobs/conversion_list.h"
#include "records/host_link.h"
#include "records/job_guard.h"
#include "records/job_notes.h"
#include "records/progress.h"
#include "media/akai_names.h"
#include "media/akai_records.h"
#include "riff/chunk_writer.h"
#include "riff/file_system.h"
#include "riff/riff_file.h"

namespace corvix {

ConversionReportRecord ConversionReport;

void ResetConversionReport() { ConversionReport.files.clear(); }

namespace {

constexpr const char* kCancelled = "Conversion cancelled by user";
constexpr const char* kDiskFull = "Can't write to file (disk full?)";

struct ProgramName {
  char text[kAkaiNameBytes + 1];
};

ProgramName NameOf(const ConversionItem& item) {
  ProgramName name{};
  std::memcpy(name.text, DecodeProgramRecord(ProgramBytes(*item.program)).name, kAkaiNameBytes);
  return name;
}

// PARTITION/VOLUME/PROGRAM as the listings show it. The volume table of the
// item's partition is current: its wave import has just read it.
std::string Label(const ConversionItem& item, const ProgramName& name) {
  const char* volume = item.volume < kVolumesPerPartition ? AkaiDisk.volumes[item.volume].name : "?";
  return ProgramPath(item.partition, volume, name.text);
}

void AddGroupName(const ProgramName& name) {
  if (GroupNameTable.count >= kGroupNames) return;
  uint8_t* entry = GroupNameTable.names[GroupNameTable.count];
  std::memset(entry, 0, kGroupNameBytes);
  std::memcpy(entry, name.text, kAkaiNameBytes);
  GroupNameTable.count += 1;
}

// The path of the file for a program name: the stored name with ".tes",
// unless this job has written that file already, else the first free
// " (k)" variant.
std::string FilePathFor(const std::string& name, const std::vector<std::string>& written,
                        std::string* fileName) {
  const std::string base = StoredName(name);
  const auto taken = [&](const std::string& path) {
    return std::any_of(written.begin(), written.end(), [&](const std::string& w) { return SameStoredName(w, path); });
  };
  *fileName = base + ".tes";
  std::string path = JoinPath(WaveFolder, *fileName);
  for (int k = 2; taken(path); ++k) {
    *fileName = base + " (" + std::to_string(k) + ").tes";
    path = JoinPath(WaveFolder, *fileName);
  }
  return path;
}

// Steps 5 to 14 of one file, with the waves exported and the group names
// set. head is the item whose name the file takes.
int WriteOneFile(const ConversionItem& head, int single, uint32_t programs,
                 std::unique_ptr<ProgressDialog>& dialog, std::vector<std::string>& written) {
  const ProgramName name = NameOf(head);
  std::string fileName;
  const std::string path = FilePathFor(name.text, written, &fileName);
  if (fileName != StoredName(name.text) + ".tes") {
    AddJobNote(Label(head, name) + ": written as \"" + fileName +
               "\", as this job has already written a file of its name");
  }
  char text[128];
  std::snprintf(text, sizeof text, "Creating  %s", fileName.c_str());
  dialog->SetItemText(kItemCreateLine, text);

  std::unique_ptr<RiffFile> file = RiffFile::Open(path, OpenMode::kCreate);
  if (!file) {
    SetPendingError(("Can't open file  " + path).c_str(), kStyleError);
    dialog.reset();
    DeleteExportedWaves();
    return 0;
  }
  auto abandon = [&](const char* message) {
    if (message != nullptr) SetPendingError(message, kStyleError);
    // Whichever chunk met the full disk, the user hears what happened.
    if (file->wroteShort()) SetPendingError(kDiskFull, kStyleError);
    AbandonInstrumentFile(file.get(), path, dialog);
    return 0;
  };
  ChunkInfo form;
  form.type = FourCC("DLS ");
  if (!file->CreateChunk(form, CreateFlag::kRiff)) return abandon("Error creating chunk");
  if (!WriteInstrumentList(*file, &head, single)) return abandon(nullptr);
  if (!WriteWavePool(*file, dialog.get())) return abandon(nullptr);
  if (!file->Ascend(form)) return abandon("Error closing main RIFF chunk");
  if (!file->Close()) return abandon("Error closing file");
  const uint32_t waves = std::min(WaveTable.count, kWaveTableRows);
  if (!PatchInstrumentFile(path, dialog)) return 0;
  dialog.reset();

  written.push_back(path);
  ConversionReport.files.push_back({path, RegionCount, waves, programs});
  NotifyHost(path.c_str());
  return 1;
}

int Cancelled() {
  SetPendingError(kCancelled, kStyleWarning);
  return 0;
}

std::unique_ptr<ProgressDialog> OpenCreateDialog() {
  std::unique_ptr<ProgressDialog> dialog = CurrentProgressUi().CreateDialog(kCreateTesDialog);
  if (!dialog) {
    SetPendingError("Can't create progress window", kStyleError);
    DeleteExportedWaves();
  }
  return dialog;
}

int ConvertEach(const ConversionItem* list) {
  std::vector<std::string> written;
  for (const ConversionItem* item = list; item != nullptr; item = item->next.get()) {
    // Cancel pressed after the last check of the file before.
    if (CancelRequested) return Cancelled();
    WaveTable.count = 0;
    if (!ImportProgramWaves(*item, 0)) {
      DeleteExportedWaves();
      return 0;
    }
    std::unique_ptr<ProgressDialog> dialog = OpenCreateDialog();
    if (!dialog) return 0;
    GroupNameTable.count = 0;
    AddGroupName(NameOf(*item));
    if (!WriteOneFile(*item, 1, 1, dialog, written)) return 0;
  }
  return 1;
}

int CombineAll(const ConversionItem* list) {
  const uint32_t count = ConversionItemCount(list);
  if (count > kGroupNames) {
    SetPendingError("Too many programs to combine (64 at most)", kStyleError);
    return 0;
  }
  WaveTable.count = 0;
  GroupNameTable.count = 0;
  for (const ConversionItem* item = list; item != nullptr; item = item->next.get()) {
    if (CancelRequested) {
      DeleteExportedWaves();
      return Cancelled();
    }
    if (!ImportProgramWaves(*item, GroupNameTable.count)) {
      DeleteExportedWaves();
      return 0;
    }
    AddGroupName(NameOf(*item));
  }
  std::unique_ptr<ProgressDialog> dialog = OpenCreateDialog();
  if (!dialog) return 0;
  std::vector<std::string> written;
  return WriteOneFile(*list, 0, count, dialog, written);
}

}  // namespace

int ConvertPrograms(const ConversionItem* list, int mode) {
  JobGuard guard;
  if (!guard.acquired()) {
    SetPendingError(kJobRunning, kStyleError);
    return 0;
  }
  ResetGroupNameTable();
  ResetJobNotes();
  CancelRequested = 0;
  ResetConversionReport();
  for (const ConversionItem* item = list; item != nullptr; item = item->next.get()) {
    if (item->program == nullptr) {
      SetPendingError("Read Buffer Malloc", kStyleError);
      return 0;
    }
  }
  if (list == nullptr) return 1;
  const int result = mode == kCombineMode ? CombineAll(list) : ConvertEach(list);
  ShowJobNotes();
  return result;
}

}  // namespace corvix
