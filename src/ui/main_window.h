// The Windows program: the main window's shared state and the operations
// its parts offer one another. Win32 only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "common/messages.h"
#include "jobs/output_formats.h"
#include "media/scsi_device.h"
#include "ui_logic/browser_item.h"
#include "ui_logic/main_window_logic.h"

namespace corvix::ui {

// Process-wide state of the window (one program, one main window).
struct MainWindowState {
  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  HWND tree = nullptr;
  HWND contents = nullptr;
  HWND batch = nullptr;
  HWND treeCaption = nullptr;
  HWND contentsCaption = nullptr;
  HWND batchCaption = nullptr;
  HWND lastFocusedView = nullptr;
  bool batchViewShown = false;
  uint32_t scsiSupportWord = 0;
  ScsiDevice* devices = nullptr;  // owned; released at shut-down
  bool discImageCurrent = false;  // the source is a disc image, not a drive
  bool shutDown = false;
  bool closeAfterJob = false;     // the window was closed while a job ran
  JobGate jobs;
};

extern MainWindowState Main;

constexpr const char* kClassName = "CorvixClass";
constexpr const char* kWindowTitle = kCaption;
constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 0;

// Start-up and the message loop; the entry point's work. 0 when start-up
// fails, else the quit message's value.
int RunCorvix(HINSTANCE instance, int showCommand);
// Start-up without the message loop (seams, class, SCSI check, window), and
// the releases after it; RunCorvix is StartCorvix, the loop, EndCorvix.
bool StartCorvix(HINSTANCE instance, int showCommand);
void EndCorvix();
// Registers "CorvixClass" (once); false when that fails.
bool RegisterMainClass(HINSTANCE instance);
// Registers "CorvixClass" and creates the main window (visible, placed as
// the program places it); false when either fails. Used by RunCorvix and by
// the Windows-side tests, which drive the window themselves.
bool CreateMainWindow(HINSTANCE instance, int showCommand);
// The shut-down sequence: lists, devices, image lists, batch rows; posts the
// quit message.
void ShutDown();

// "%s line:%d" with "CorvixMain", titled "ASSERT"; the program goes on.
void ShowMainAssert(int line);

// Views (browser_views.cpp).
HWND CreateTreeView(HWND parent);
HWND CreateContentsList(HWND parent);
HWND CreateBatchList(HWND parent);
void CreateCaptions(HWND parent);
int FillTree(HWND tree);
int OnTreeSelChanged(const NMTREEVIEWA& notice);
int OnContentsItemChanged(const NMLISTVIEW& notice);
const BrowserItem* ListItemUnderCursor(HWND list);
HTREEITEM FindTreeItemByData(HWND tree, HTREEITEM start, const BrowserItem* record);
int AddToBatchList(int contentsRow, const BrowserItem* record);
std::string TreeItemText(HTREEITEM item);
const BrowserItem* ListRowRecord(HWND list, int row);
std::string ListItemText(HWND list, int row, int column);
// Selects the first volume of the first partition (the view after a fill).
void SelectFirstVolume();
// The rows a command works on: the contents list's selected rows, or all
// batch rows; records in row order. False when a row has no record ("Couldn't
// select item" has been shown, titled as given).
bool RowsForCommand(HWND list, const char* failureCaption, std::vector<const BrowserItem*>* rows);
// Sets the four program commands of "&Convert" from the contents list's
// selection.
void UpdateProgramCommands();
void EnableProgramCommands(const ProgramCommandStates& states);
// Enables or grays "Batch Converter" (position 4 of "&Convert").
void EnableBatchConverter(bool enable);
int SelectedRowCount(HWND list);

// Commands and batch list (commands.cpp).
bool BrowseForFolder(const char* prompt);
int ImportWavesCommand(HWND list);
int ConvertCommand(HWND list, const OutputFormat& format);
int BuildConversionList(HWND list);
int RemoveBatchRows(HWND list, int all);
// Used by the tests in place of the folder browser: the next browses answer
// folder (UTF-8) without showing anything; empty restores the browser.
void SetFolderAnswerForTests(const std::string& folder);

// Dialogs and helpers (dialogs.cpp).
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void CentreWindow(HWND window);
void SetChildFonts(HWND window, HFONT font);
void DestroyImageLists();
// The views' image lists, made by browser_views.cpp.
extern HIMAGELIST TreeImages;
extern HIMAGELIST ContentsImages;
extern HIMAGELIST BatchImages;

// Seams (seams.cpp): message boxes, Refresh and the progress dialogs.
void InstallWindowSeams();

// The CD-ROM menu (cdrom_menu.cpp).
void BuildDriveMenu();
void OnSelectDrive(int identifier);
void OnOpenDiscImage();
// Opens path (UTF-8) as the current source and refreshes; false with a
// message when it can't be opened. The "Open Disc Image..." command's work.
bool OpenDiscImageFile(const std::string& path);
void ReleaseSources();

// Text conversions between the core's UTF-8 and Windows' UTF-16.
std::wstring Wide(const std::string& text);
std::string Utf8(const std::wstring& text);

}  // namespace corvix::ui
