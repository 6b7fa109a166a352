#include "jobs/convert_job.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cctype>
#include <map>
#include <memory>
#include <set>

#include "common/messages.h"
#include "common/pending_error.h"
#include "instrument/instrument_file.h"
#include "instrument/program_zones.h"
#include "instrument/regions.h"
#include "instrument/sfz_file.h"
#include "instrument/soundfont.h"
#include "instrument/wave_pool.h"
#include "jobs/conversion_list.h"
#include "jobs/wave_import.h"
#include "media/akai_names.h"
#include "media/akai_records.h"
#include "records/host_link.h"
#include "records/job_guard.h"
#include "records/job_notes.h"
#include "records/progress.h"
#include "riff/chunk_writer.h"
#include "riff/file_system.h"
#include "riff/riff_file.h"

namespace corvix {

ConversionReportRecord ConversionReport;

void ResetConversionReport() { ConversionReport = {}; }

namespace {


struct ProgramName {
  char text[kAkaiNameBytes + 1];
};

ProgramName NameOf(const ConversionItem& item) {
  ProgramName name{};
  std::memcpy(name.text, DecodeProgramRecord(ProgramBytes(*item.program)).name, kAkaiNameBytes);
  return name;
}

// PARTITION/VOLUME/PROGRAM as the listings show it.
std::string Label(const JobDisc& disc, const ConversionItem& item, const ProgramName& name) {
  const VolumeEntry* volume = disc.Volume(item.partition, item.volume);
  return ProgramPath(item.partition, volume != nullptr ? volume->name : "?", name.text);
}

void AddGroupName(const ProgramName& name) {
  if (GroupNameTable.count >= kGroupNames) return;
  uint8_t* entry = GroupNameTable.names[GroupNameTable.count];
  std::memset(entry, 0, kGroupNameBytes);
  std::memcpy(entry, name.text, kAkaiNameBytes);
  GroupNameTable.count += 1;
}

// Where a job's instrument files go, and the names it has given them.
struct Output {
  std::string folder;  // the target folder (WaveFolder holds the work folder meanwhile)
  NameList names;
};

// The path of the file for a program name: the stored name with the
// extension (".tes"), unless this job has written that file already, else
// the first free " (k)" variant; the name is then the job's.
std::string FilePathFor(const std::string& name, const char* extension, Output& out, std::string* fileName) {
  const std::string base = StoredName(name);
  *fileName = NameList::Name(base, extension, out.names.Take(base, extension));
  return JoinPath(out.folder, *fileName);
}

// Steps 5 to 14 of one file, with the waves exported and the group names
// set. head is the item whose name the file takes.
int WriteOneFile(const JobDisc& disc, const ConversionItem& head, int single, uint32_t programs,
                 std::unique_ptr<ProgressDialog>& dialog, Output& out, uint32_t place) {
  const ProgramName name = NameOf(head);
  std::string fileName;
  const std::string path = FilePathFor(name.text, ".tes", out, &fileName);
  if (!RefuseSource(path)) {
    dialog.reset();
    DeleteExportedWaves();
    return 0;
  }
  if (fileName != StoredName(name.text) + ".tes") {
    AddJobNote(Label(disc, head, name) + ": written as \"" + fileName +
               "\", as this job has already written a file of its name");
  }
  char text[128];
  std::snprintf(text, sizeof text, "Creating  %s", fileName.c_str());
  dialog->SetItemText(kItemCreateLine, text);

  // Written and patched under a temporary name; an earlier file of the
  // name stands until this one is whole.
  std::string tempPath;
  std::unique_ptr<RiffFile> file = CreateTempRiff(out.folder, &tempPath);
  if (!file) {
    SetPendingError((kCantOpenFile + path).c_str(), kStyleError,
                    {"create file", path, CurrentFileSystem().LastFailure()});
    dialog.reset();
    DeleteExportedWaves();
    return 0;
  }
  auto abandon = [&](const char* message) {
    if (message != nullptr) SetPendingError(message, kStyleError);
    // Whichever chunk met the full disk, the user hears what happened.
    if (file->wroteShort()) SetPendingError(kDiskFull, kStyleError);
    AbandonInstrumentFile(file.get(), tempPath, dialog);
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
  if (!PatchInstrumentFile(tempPath, dialog)) return 0;
  if (!CurrentFileSystem().Move(tempPath, path)) {
    // The file can't take its name (a folder of the name, no right to
    // replace it): as when it can't be created.
    SetPendingError((kCantOpenFile + path).c_str(), kStyleError,
                    {"create file", path, CurrentFileSystem().LastFailure()});
    return abandon(nullptr);
  }
  dialog.reset();

  ConversionReport.files.push_back({path, RegionCount, waves, programs, place});
  NotifyHost(path.c_str());
  return 1;
}

std::unique_ptr<ProgressDialog> OpenCreateDialog() {
  std::unique_ptr<ProgressDialog> dialog = CurrentProgressUi().CreateDialog(kCreateTesDialog);
  if (!dialog) {
    SetPendingError("Can't create progress window", kStyleError);
    DeleteExportedWaves();
  }
  return dialog;
}

// The list as a vector, with each item's place in it.
std::vector<ConversionItem*> Items(ConversionItem* list) {
  std::vector<ConversionItem*> items;
  for (ConversionItem* item = list; item != nullptr; item = item->next.get()) items.push_back(item);
  return items;
}

// The items' programs read, in disc order; those that can't be read are
// reported and left out. Returns the items read by this call (for
// ReleaseConversionItems).
std::vector<ConversionItem*> ReadBatch(const JobDisc& disc, const std::vector<ConversionItem*>& items, size_t from,
                                       size_t to) {
  std::vector<ConversionItem*> unread;
  for (size_t i = from; i < to; ++i) {
    if (items[i]->program == nullptr) unread.push_back(items[i]);
  }
  ConversionReport.leftOut += ReadConversionItems(disc, unread);
  for (size_t i = from; i < to; ++i) ConversionReport.readable[i] = items[i]->program != nullptr;
  return unread;
}

// A program as the SoundFont writer takes it, its zones mapped while its
// records are at hand; the zones' notes go to JobNotes. In a bank its
// preset is its MIDI program number; alone in its file it is preset 0, the
// one a player starts on.
SoundFontProgram SoundFontProgramOf(const JobDisc& disc, const ConversionItem& item, const WaveSet& set, bool bank) {
  SoundFontProgram program;
  const ProgramRecord record = DecodeProgramRecord(ProgramBytes(*item.program));
  program.name = TrimmedName(record.name);
  program.label = Label(disc, item, NameOf(item));
  program.preset = bank ? static_cast<uint8_t>(record.midiProgram & 0x7F) : 0;
  std::vector<std::string> notes;
  program.zones = MapProgramZones(item, set.rows, set.sources, program.label, true, &notes);
  for (const std::string& note : notes) AddJobNote(note);
  if (program.zones.empty()) {
    // No player loads a SoundFont without samples, and a preset without
    // zones is silence: the program is left out.
    AddJobNote(program.label + (bank ? ": the program has no zone to play; it has no preset in the file"
                                     : ": the program has no zone to play; no file was written for it"));
    ConversionReport.leftOut += 1;
  }
  program.rows = set.rows;
  program.sources = set.sources;
  program.folder = set.folder;
  return program;
}

// A SoundFont file of programs, named after name (label: how notes name
// that program); place as in ConvertedFile.
int WriteSoundFontFile(const std::string& name, const std::string& label, const std::vector<SoundFontProgram>& programs,
                       Output& out, uint32_t place) {
  std::string fileName;
  const std::string path = FilePathFor(name, ".sf2", out, &fileName);
  if (!RefuseSource(path)) return 0;
  if (fileName != StoredName(name) + ".sf2") {
    AddJobNote(label + ": written as \"" + fileName + "\", as this job has already written a file of its name");
  }
  std::unique_ptr<ProgressDialog> dialog = CurrentProgressUi().CreateDialog(kCreateSoundFontDialog);
  if (!dialog) {
    SetPendingError("Can't create progress window", kStyleError);
    return 0;
  }
  char text[128];
  std::snprintf(text, sizeof text, "Creating  %s", fileName.c_str());
  dialog->SetItemText(kItemCreateLine, text);
  std::vector<std::string> notes, info;
  SoundFontCounts counts;
  const int ok = WriteSoundFont(path, name, programs, dialog.get(), &notes, &info, &counts);
  dialog.reset();
  for (const std::string& note : notes) AddJobNote(note);
  for (const std::string& line : info) AddJobInfo(line);
  if (!ok) return 0;
  ConversionReport.files.push_back({path, counts.zones, counts.samples, static_cast<uint32_t>(programs.size()), place});
  return 1;
}

// A program's .sfz in its folder, beside its WAV files.
int WriteSfzProgram(const JobDisc& disc, const ConversionItem& item, const WaveSet& set, uint32_t place) {
  const ProgramName name = NameOf(item);
  std::vector<std::string> notes;
  const std::vector<PlayZone> zones =
      MapProgramZones(item, set.rows, set.sources, TrimmedName(name.text), false, &notes);
  for (const std::string& note : notes) AddJobNote(note);
  const std::string path = JoinPath(set.folder, FileName(name.text, ".sfz"));
  if (!RefuseSource(path)) return 0;
  if (!WriteSfzFile(path, SfzText(Label(disc, item, name), zones, set.rows, set.sources))) return 0;
  ConversionReport.files.push_back(
      {path, static_cast<uint32_t>(zones.size()), static_cast<uint32_t>(set.rows.size()), 1, place});
  return 1;
}

// out.folder: the target; work: the job's work folder, where a
// conversion's WAV files go (WaveFolder names it meanwhile).
int ConvertEach(const JobDisc& disc, const std::vector<ConversionItem*>& items, int mode, Output& out,
                const std::string& work) {
  NameList folders;                    // SFZ: the programs' folders
  std::vector<SoundFontProgram> bank;  // bank mode: the programs so far, their WAV files kept for the file
  std::string bankName, bankLabel;
  uint32_t bankPlace = 0;
  const auto dropBankWaves = [&] {
    for (const SoundFontProgram& program : bank) {
      for (const WaveEntry& row : program.rows) DeleteFileByName(JoinPath(program.folder, WaveFileName(row.name, row.fileCopy)));
    }
  };
  JobReading reading(items.size());
  for (size_t from = 0, to = 0; from < items.size(); from = to) {
    to = BatchEnd(items, from);
    const std::vector<ConversionItem*> read = ReadBatch(disc, items, from, to);
    std::vector<WaveSet> sets;
    std::vector<size_t> places;  // of each set's program in the list
    int ok = 1;
    for (size_t i = from; i < to && ok; ++i) {
      if (items[i]->program == nullptr) continue;
      WaveSet& set = sets.emplace_back();
      set.programs = {items[i]};
      set.folder = work;
      if (mode != kConvertMode) {
        // Today's samplers: each zone plays its own part of a sample's whole
        // sound, at the sample's own rate.
        set.players = true;
        set.style = {.rateCorrected = false, .wholeSound = true};
      }
      if (mode == kSfzMode) ok = MakeProgramFolder(NameOf(*items[i]).text, out.folder, folders, &set.folder);
      places.push_back(i);
    }
    WaveImport import(disc, work);
    // Each program's file is written as soon as its waves stand.
    const auto writeFile = [&](size_t s) {
      ConversionItem& item = *items[places[s]];
      const auto place = static_cast<uint32_t>(places[s]);
      WaveTable.count = static_cast<uint32_t>(sets[s].rows.size());
      std::copy(sets[s].rows.begin(), sets[s].rows.end(), WaveTable.rows);
      import.NoteProgram(s, 0);
      switch (mode) {
        case kSfzMode:
          return WriteSfzProgram(disc, item, sets[s], place) != 0;
        case kSoundFontBankMode: {
          SoundFontProgram program = SoundFontProgramOf(disc, item, sets[s], true);
          if (program.zones.empty()) {
            DeleteExportedWaves();
            return true;
          }
          if (bank.empty()) {
            bankName = NameOf(item).text;
            bankLabel = program.label;
            bankPlace = place;
          }
          bank.push_back(std::move(program));
          return true;
        }
        case kSoundFontMode: {
          SoundFontProgram program = SoundFontProgramOf(disc, item, sets[s], false);
          const int wrote =
              program.zones.empty() || WriteSoundFontFile(NameOf(item).text, program.label, {program}, out, place);
          DeleteExportedWaves();
          return wrote != 0;
        }
        default: {
          std::unique_ptr<ProgressDialog> dialog = OpenCreateDialog();
          if (!dialog) return false;
          GroupNameTable.count = 0;
          AddGroupName(NameOf(item));
          return WriteOneFile(disc, item, 1, 1, dialog, out, place) != 0;
        }
      }
    };
    ok = ok && import.Plan(sets);
    if (ok) reading.Start(import, to - from);
    ok = ok && import.Run(writeFile);
    reading.Done();
    ReleaseConversionItems(read);
    if (!ok) {
      // An SFZ job's WAV files that stand whole stay, as the import's do.
      if (mode != kSfzMode) import.DeleteAll();
      dropBankWaves();
      return 0;
    }
  }
  if (bank.empty()) return 1;
  const int ok = WriteSoundFontFile(bankName, bankLabel, bank, out, bankPlace);
  dropBankWaves();
  return ok;
}

int CombineAll(const JobDisc& disc, const std::vector<ConversionItem*>& items, Output& out, const std::string& work) {
  if (items.size() > kGroupNames) {
    SetPendingError("Too many programs to combine (64 at most)", kStyleError);
    return 0;
  }
  const std::vector<ConversionItem*> read = ReadBatch(disc, items, 0, items.size());
  std::vector<WaveSet> sets(1);
  sets[0].folder = work;
  sets[0].groupByPosition = true;
  GroupNameTable.count = 0;
  ConversionItem* head = nullptr;
  for (ConversionItem* item : items) {
    if (item->program == nullptr) continue;
    if (head == nullptr) head = item;
    sets[0].programs.push_back(item);
    AddGroupName(NameOf(*item));
  }
  int ok = 1;
  if (head != nullptr) {
    WaveImport import(disc, work);
    const auto writeFile = [&](size_t) {
      WaveTable.count = static_cast<uint32_t>(sets[0].rows.size());
      std::copy(sets[0].rows.begin(), sets[0].rows.end(), WaveTable.rows);
      for (size_t i = 0; i < sets[0].programs.size(); ++i) import.NoteProgram(0, i);
      std::unique_ptr<ProgressDialog> dialog = OpenCreateDialog();
      if (!dialog) return false;
      const auto place = static_cast<uint32_t>(std::find(items.begin(), items.end(), head) - items.begin());
      return WriteOneFile(disc, *head, 0, static_cast<uint32_t>(sets[0].programs.size()), dialog, out, place) != 0;
    };
    ok = import.Plan(sets) && import.Run(writeFile);
    if (!ok) import.DeleteAll();
  }
  ReleaseConversionItems(read);
  return ok;
}

}  // namespace

int ConvertPrograms(ConversionItem* list, int mode) { return ConvertPrograms(list, mode, nullptr); }

int ConvertPrograms(ConversionItem* list, int mode, JobDisc* disc) {
  JobGuard guard;
  if (!guard.acquired()) {
    SetPendingError(kJobRunning, kStyleError);
    return 0;
  }
  ResetGroupNameTable();
  ResetJobNotes();
  ResetConversionReport();
  CancelRequested = 0;
  // An SFZ job's WAV files are the import's own.
  ImportWavesMode = mode == kSfzMode ? 1 : 0;
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
  std::vector<VolumeRef> volumes;
  for (const ConversionItem* item : items) volumes.push_back({item->partition, item->volume});
  disc->ReadDirectories(volumes);
  // The job's WAV files go to its work folder (an SFZ job's only the halves
  // of pairs), its instrument files to the target.
  Output out;
  out.folder = WaveFolder;
  int result = 0;
  {
    WorkFolder work;
    if (work.Make(out.folder) && (mode == kSfzMode || SetWaveFolder(work.path()))) {
      result = mode == kCombineMode ? CombineAll(*disc, items, out, work.path())
                                    : ConvertEach(*disc, items, mode, out, work.path());
    } else if (!work.path().empty()) {
      SetPendingError(kCantCreateDirectory, kStyleError, {"use folder", work.path(), "path too long"});
    }
  }
  SetWaveFolder(out.folder);
  ShowJobNotes();
  return result;
}

}  // namespace corvix
