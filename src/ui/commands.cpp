// The job commands ("Import Waves", "Convert to TES", "Combine to TES") on
// the contents list's selected rows or on every batch row, the removal of
// batch rows, and the folder browser.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/messages.h"
#include "common/pending_error.h"
#include "common/user_messages.h"
#include "jobs/convert_job.h"
#include "media/sector_source.h"
#include "records/job_state.h"
#include "ui/main_window.h"
#include "ui_logic/batch_list.h"
#include "ui_logic/job_commands.h"

namespace corvix::ui {
namespace {

bool g_folderPicked = false;    // the next browse starts on ChosenFolder
std::string g_answerForTests;   // non-empty: browses answer this at once

// While a job runs the main window takes no input: no second job, refresh
// or drive change can start inside it. The progress dialogs have no owner,
// so their Cancel stays live.
class JobWindowScope {
 public:
  JobWindowScope() { EnableWindow(Main.window, FALSE); }
  ~JobWindowScope() {
    EnableWindow(Main.window, TRUE);
    SetForegroundWindow(Main.window);
  }
  JobWindowScope(const JobWindowScope&) = delete;
  JobWindowScope& operator=(const JobWindowScope&) = delete;
};

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data) {
  if (message == BFFM_INITIALIZED && data != 0) {
    SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
  } else if (message == BFFM_SELCHANGED) {
    // Only folders on fixed, removable and network drives can be picked:
    // not CD-ROM drives, RAM disks or places without a drive root.
    wchar_t path[MAX_PATH] = {};
    UINT type = DRIVE_NO_ROOT_DIR;
    if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path)) {
      const std::wstring root = std::wstring(path).substr(0, 3);
      type = GetDriveTypeW(root.c_str());
    }
    SendMessageW(browser, BFFM_ENABLEOK, 0, IsPickableDriveType(type) ? TRUE : FALSE);
  }
  return 0;
}

}  // namespace

void SetFolderAnswerForTests(const std::string& folder) { g_answerForTests = folder; }

bool BrowseForFolder(const char* prompt) {
  if (!g_answerForTests.empty()) {
    g_folderPicked = SetChosenFolder(g_answerForTests);
    return g_folderPicked;
  }
  const std::wstring title = Wide(prompt);
  const std::wstring start = g_folderPicked ? Wide(ChosenFolder) : std::wstring();
  BROWSEINFOW info{};
  info.hwndOwner = Main.window;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = BrowseCallback;
  info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  PIDLIST_ABSOLUTE pick = SHBrowseForFolderW(&info);
  if (pick == nullptr) return false;
  wchar_t path[MAX_PATH] = {};
  const bool converted = SHGetPathFromIDListW(pick, path) != FALSE;
  CoTaskMemFree(pick);
  if (!converted) return false;
  if (!SetChosenFolder(Utf8(path))) {
    ShowMessageBox("The folder's path is too long.", kCaption, kMbOk | kMbIconWarning);
    return false;
  }
  g_folderPicked = true;
  return true;
}

int ImportWavesCommand(HWND list) {
  if (!BrowseForFolder("Select a target parent directory for the imported wave files")) return 0;
  MediumLock lock;
  std::vector<const BrowserItem*> rows;
  if (!RowsForCommand(list, "Error", &rows)) return 0;
  JobWindowScope scope;
  return ImportWavesForRecords(rows);
}

int BuildConversionList(HWND list) {
  FreeConversionList();
  if (!BrowseForFolder("Select a target directory for the converted programs")) return 0;
  std::vector<const BrowserItem*> rows;
  if (!RowsForCommand(list, nullptr, &rows)) return 0;
  return BuildConversionItems(ChosenFolder, rows);
}

int ConvertCommand(HWND list, const OutputFormat& format) {
  MediumLock lock;
  if (!BuildConversionList(list)) {
    FreeConversionList();
    return 0;
  }
  int result;
  {
    JobWindowScope scope;
    result = ConvertPrograms(ConversionList.get(), {&format}, ConversionTarget());
  }
  if (!result) ShowPendingError();
  FreeConversionList();
  return result;
}

int RemoveBatchRows(HWND list, int all) {
  const int count = ListView_GetItemCount(list);
  std::vector<bool> selected(count > 0 ? static_cast<size_t>(count) : 0);
  for (int i = 0; i < count; ++i) {
    selected[static_cast<size_t>(i)] = (ListView_GetItemState(list, i, LVIS_SELECTED) & LVIS_SELECTED) != 0;
  }
  for (size_t index : RemovalOrder(selected, all != 0)) {
    const int row = static_cast<int>(index);
    if (ListRowRecord(list, row) == nullptr) {
      ShowMessageBox(kCouldntSelectItem, nullptr, kMbOk);
      return 0;
    }
    ListView_DeleteItem(list, row);
    BatchRows.RemoveAt(index);
  }
  if (BatchRows.empty()) EnableBatchConverter(false);
  return 1;
}

}  // namespace corvix::ui
