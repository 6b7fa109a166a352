#include "ui_logic/job_commands.h"

#include "common/messages.h"
#include "common/pending_error.h"
#include "common/user_messages.h"
#include "jobs/conversion_list.h"
#include "jobs/import_job.h"

namespace corvix {

std::unique_ptr<ConversionItem> ConversionList;

std::string FolderForConversion(const std::string& chosenFolder) {
  if (!chosenFolder.empty() && chosenFolder.back() == '\\') {
    return chosenFolder.substr(0, chosenFolder.size() - 1);
  }
  return chosenFolder;
}

int BuildConversionItems(const std::string& chosenFolder,
                         const std::vector<const BrowserItem*>& records) {
  FreeConversionList();
  SetWaveFolder(FolderForConversion(chosenFolder));

  // The job reads the programs, in disc order, and tells of any it can't.
  for (const BrowserItem* record : records) {
    if (record == nullptr || record->kind != kKindProgram) continue;
    AppendConversionItem(ConversionList, MakeProgramItem(record->partition, record->volume, record->program));
  }
  return 1;
}

JobTarget ConversionTarget() { return JobTarget(WaveFolder, MergeStereoPairs != 0); }
JobTarget ImportTarget() { return JobTarget(ChosenFolder, MergeStereoPairs != 0); }

void FreeConversionList() { FreeConversionList(ConversionList); }

int ImportWavesForRecords(const std::vector<const BrowserItem*>& records) {
  std::vector<ProgramRef> programs;
  for (const BrowserItem* record : records) {
    if (record == nullptr || record->kind != kKindProgram) continue;
    programs.push_back({record->partition, record->volume, record->program});
  }
  ImportReport report;
  if (!ImportPrograms(programs, ImportTarget(), &report)) {
    ShowPendingError();
    return 0;
  }
  return report.leftOut == 0 ? 1 : 0;
}

void ShowPendingError() {
  ShowMessageBox(PendingError.text, kCaption, kMbOk | PendingError.style);
}

bool IsPickableDriveType(unsigned driveType) {
  constexpr unsigned kRemovable = 2, kFixed = 3, kRemote = 4;
  return driveType == kRemovable || driveType == kFixed || driveType == kRemote;
}

}  // namespace corvix
