// The job commands' work on a list of program records, apart from the
// window system: the rows have been read from a list view, the folder has
// been picked, and the medium is locked by the caller.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jobs/convert_job.h"
#include "records/job_state.h"
#include "ui_logic/browser_item.h"

namespace corvix {

// The list a conversion works on, owned by the convert command for one job.
extern std::unique_ptr<ConversionItem> ConversionList;

// The folder of a conversion's files: the chosen folder less one trailing
// backslash, so that the drive root "C:\" gives "C:" (the job adds the
// backslash itself).
std::string FolderForConversion(const std::string& chosenFolder);

// Sets up a conversion into chosenFolder: WaveFolder, and ConversionList
// with one item per program record in row order. The job
// reads the programs (convert_job.h): one whose file can't be read is
// reported there ("Can't read program PIANO", titled "Error") and left out.
// Returns 1.
int BuildConversionItems(const std::string& chosenFolder,
                         const std::vector<const BrowserItem*>& records);

// The target of the window's jobs: the chosen folder (WaveFolder for a
// conversion, ChosenFolder for an import) and the "Merge L/R" menu item.
JobTarget ConversionTarget();
JobTarget ImportTarget();

// Releases every item of ConversionList, first to last.
void FreeConversionList();

// "Import Waves" for the program records, in row order, below the folder
// ChosenFolder names (import_job.h: ImportTarget): a program that can't be read is
// reported and left out; the job stops at the first failure or at a Cancel
// pressed between two programs and shows PendingError after the notes the
// job made. 1 when every program was exported.
int ImportWavesForRecords(const std::vector<const BrowserItem*>& records);

// A message box with PendingError's text, titled "Veltrex Corvix", with its
// style (error or warning icon, OK button).
void ShowPendingError();

// The folder browser accepts folders on fixed, removable and network drives
// only (the platform's drive types 3, 2 and 4).
bool IsPickableDriveType(unsigned driveType);

}  // namespace corvix
