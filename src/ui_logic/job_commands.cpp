#include "ui_logic/job_commands.h"

#include <cstring>
#include <new>

#include "common/pending_error.h"
#include "common/user_messages.h"
#include "export/wave_import.h"

namespace corvix {

std::unique_ptr<ConversionItem> ConversionList;

std::string FolderForConversion(const std::string& chosenFolder) {
  if (!chosenFolder.empty() && chosenFolder.back() == '\\') {
    return chosenFolder.substr(0, chosenFolder.size() - 1);
  }
  return chosenFolder;
}

namespace {

// Reads the program of record into item; false (with PendingError set) when
// its file can't be read.
bool ReadProgramOf(const BrowserItem& record, ConversionItem* item) {
  if (record.volume >= kVolumesPerPartition) {
    SetPendingError("Program not found on the disc");
    return false;
  }
  ReadVolumeTable(record.partition);
  ReadVolumeDirectory(record.partition, record.volume);
  const VolumeEntry& volume = AkaiDisk.volumes[record.volume];
  item->keygroupStride = RecordLength(volume.type);
  if (volume.programs == nullptr || record.program >= volume.programCount) {
    SetPendingError("Program not found on the disc");
    return false;
  }
  if (!ReadProgramFile(record.partition, volume.programs[record.program].startBlock,
                       item->program.get())) {
    return false;  // ReadFAT has said why
  }
  if (item->program->bytesRead == 0) {
    SetPendingError("Can't read the program's first block");
    return false;
  }
  return true;
}

}  // namespace

int BuildConversionItems(const std::string& chosenFolder,
                         const std::vector<const BrowserItem*>& records) {
  FreeConversionList();
  SetWaveFolder(FolderForConversion(chosenFolder));
  ImportWavesMode = 0;

  std::unique_ptr<ConversionItem>* tail = &ConversionList;
  for (const BrowserItem* record : records) {
    if (record == nullptr || record->kind != kKindProgram) continue;
    std::unique_ptr<ConversionItem> item(new (std::nothrow) ConversionItem);
    if (item) item->program.reset(new (std::nothrow) ProgramBuffer);
    if (!item || !item->program) {
      ShowMessageBox("Read Buffer Malloc", "Error", kMbOk);
      return 0;
    }
    std::memset(item->program.get(), 0, sizeof *item->program);
    item->partition = record->partition;
    item->volume = record->volume;
    item->programIndex = record->program;
    std::memcpy(&item->summary, &record->summary, sizeof item->summary);
    if (!ReadProgramOf(*record, item.get())) {
      // Converting a zeroed block would write an empty instrument under a
      // made-up name; the user is told and the job goes on without it.
      ShowMessageBox(PendingError.text, "Error", kMbOk);
      continue;
    }
    *tail = std::move(item);
    tail = &(*tail)->next;
  }
  return 1;
}

void FreeConversionList() {
  // Unlinked one by one, so a long list doesn't recurse through its links.
  while (ConversionList) ConversionList = std::move(ConversionList->next);
}

int ImportWavesForRecords(const std::vector<const BrowserItem*>& records) {
  ImportWavesMode = 1;
  for (const BrowserItem* record : records) {
    if (record == nullptr || record->kind != kKindProgram) continue;
    WaveTable.count = 0;
    if (!ImportProgramWaves(record->partition, record->volume, record->program, 0)) {
      ShowPendingError();
      return 0;
    }
  }
  return 1;
}

void ShowPendingError() {
  ShowMessageBox(PendingError.text, "Veltrex Corvix", kMbOk | PendingError.style);
}

bool IsPickableDriveType(unsigned driveType) {
  constexpr unsigned kRemovable = 2, kFixed = 3, kRemote = 4;
  return driveType == kRemovable || driveType == kFixed || driveType == kRemote;
}

}  // namespace corvix
