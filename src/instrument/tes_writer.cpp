// The .tes writer: a program (or, combined, every program of the job, each a
// group) as one instrument file with its wave pool.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/messages.h"
#include "common/pending_error.h"
#include "instrument/format_writer.h"
#include "instrument/instrument_file.h"
#include "instrument/regions.h"
#include "instrument/wave_pool.h"
#include "records/host_link.h"
#include "records/progress.h"
#include "records/source_guard.h"
#include "riff/chunk_writer.h"
#include "riff/riff_file.h"

namespace corvix {
namespace {

void AddGroupName(const std::string& name) {
  if (GroupNameTable.count >= kGroupNames) return;
  uint8_t* entry = GroupNameTable.names[GroupNameTable.count];
  std::memset(entry, 0, kGroupNameBytes);
  std::memcpy(entry, name.data(), std::min<size_t>(name.size(), kAkaiNameBytes));
  GroupNameTable.count += 1;
}

// The file of one program, or of all programs combined (the first names
// it), from the waves in WaveTable and their folder: the progress dialog
// "CREATETESDLG" shows "Creating  NAME.tes"; the instrument and the wave
// pool are written under a temporary name, the WAV files deleted, the file
// patched, flushed and renamed over NAME.tes, then announced to the host.
// An earlier NAME.tes stands until then.
int WriteTesFile(const ProgramToWrite& program, JobOutput& out) {
  std::unique_ptr<ProgressDialog> dialog = CurrentProgressUi().CreateDialog(kCreateTesDialog);
  if (!dialog) {
    SetPendingError("Can't create progress window", kStyleError);
    DeleteExportedWaves();
    return 0;
  }
  GroupNameTable.count = 0;
  for (const ConversionItem* item : program.programs) AddGroupName(ProgramName(*item));
  const std::string fileName = out.Claim(program.folder, program.name, ".tes", program.label);
  const std::string path = JoinPath(program.folder, fileName);
  if (!RefuseSource(path)) {
    dialog.reset();
    DeleteExportedWaves();
    return 0;
  }
  char text[128];
  std::snprintf(text, sizeof text, "Creating  %s", fileName.c_str());
  dialog->SetItemText(kItemCreateLine, text);

  std::string tempPath;
  std::unique_ptr<RiffFile> file = CreateTempRiff(program.folder, &tempPath);
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
  const int single = program.programs.size() == 1 ? 1 : 0;
  ChunkInfo form;
  form.type = FourCC("DLS ");
  if (!file->CreateChunk(form, CreateFlag::kRiff)) return abandon("Error creating chunk");
  if (!WriteInstrumentList(*file, program.programs.front(), single)) return abandon(nullptr);
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
  out.files.push_back({path, RegionCount, waves, static_cast<uint32_t>(program.programs.size()), program.place});
  NotifyHost(path.c_str());
  return 1;
}

class TesWriter : public InstrumentWriter {
 public:
  int Write(const ProgramToWrite& program, JobOutput& out) override {
    // The pool reads the waves from their folder.
    SetWaveFolder(program.waves->folder);
    return WriteTesFile(program, out);
  }
};

}  // namespace

std::unique_ptr<InstrumentWriter> MakeTesWriter() { return std::make_unique<TesWriter>(); }

}  // namespace corvix
