// The program's start-up and its main window: class and window, the SCSI
// check, the layout of the six child windows, the command dispatch, the
// notifications of the views, device-change notices and the shut-down.
#include <windows.h>
#include <dbt.h>
#include <shellapi.h>

#include <objbase.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "common/messages.h"
#include "common/user_messages.h"
#include "jobs/convert_job.h"
#include "media/cdrom_drives.h"
#include "records/job_state.h"
#include "ui/main_window.h"
#include "ui_logic/batch_list.h"
#include "ui_logic/resource_ids.h"

namespace corvix::ui {

MainWindowState Main;

namespace {

constexpr UINT kHelpContents = 3;  // HELP_CONTENTS
constexpr const char* kHelpFile = "corvix.hlp";
constexpr const wchar_t* kGuideFile = L"corvix-guide.html";

HMENU ConvertMenu() {
  HMENU bar = GetMenu(Main.window);
  return bar != nullptr ? GetSubMenu(bar, MENU_POS_CONVERT) : nullptr;
}

void MoveChild(HWND child, const ChildRect& r) {
  if (child == nullptr) return;
  MoveWindow(child, r.left, r.top, r.width, r.height, TRUE);
}

void ClientSize(int* width, int* height) {
  RECT client{};
  GetClientRect(Main.window, &client);
  *width = client.right;
  *height = client.bottom;
}

void OnSize(WPARAM kind, int width, int height) {
  const MainLayout layout = LayoutForClient(width, height, Main.batchViewShown);
  MoveChild(Main.treeCaption, layout.treeCaption);
  MoveChild(Main.tree, layout.tree);
  MoveChild(Main.contentsCaption, layout.contentsCaption);
  MoveChild(Main.contents, layout.contents);
  MoveChild(Main.batchCaption, layout.batchCaption);
  if (Main.batchCaption != nullptr) {
    InvalidateRect(Main.batchCaption, nullptr, TRUE);
    UpdateWindow(Main.batchCaption);
  }
  MoveChild(Main.batch, layout.batch);
  if (kind == SIZE_RESTORED && Main.lastFocusedView != nullptr) SetFocus(Main.lastFocusedView);
}

// The check mark of a menu item as a flag, toggled; returns the new flag.
int ToggleMenuItem(int id) {
  HMENU bar = GetMenu(Main.window);
  const UINT state = GetMenuState(bar, static_cast<UINT>(id), MF_BYCOMMAND);
  const int flag = ToggledFlag((state & MF_CHECKED) != 0);
  CheckMenuItem(bar, static_cast<UINT>(id), MF_BYCOMMAND | (flag ? MF_CHECKED : MF_UNCHECKED));
  return flag;
}

void ToggleBatchView() {
  Main.batchViewShown = ToggleMenuItem(IDM_BATCH_VIEW) != 0;
  int width = 0, height = 0;
  ClientSize(&width, &height);
  const MainLayout layout = LayoutForClient(width, height, Main.batchViewShown);
  MoveChild(Main.contents, layout.contents);
  const int show = Main.batchViewShown ? SW_SHOW : SW_HIDE;
  if (Main.batch != nullptr) ShowWindow(Main.batch, show);
  if (Main.batchCaption != nullptr) ShowWindow(Main.batchCaption, show);
}

void AddSelectionToBatch() {
  if (Main.contents == nullptr) return;
  int row = -1;
  while ((row = ListView_GetNextItem(Main.contents, row, LVNI_SELECTED)) != -1) {
    const BrowserItem* record = ListRowRecord(Main.contents, row);
    if (record == nullptr) {
      ShowMessageBox(kCouldntSelectItem, "Error", kMbOk);
      break;
    }
    if (record->kind == kKindProgram) AddToBatchList(row, record);
  }
  if (!BatchRows.empty()) {
    EnableBatchConverter(true);
    if (!Main.batchViewShown) SendMessageA(Main.window, WM_COMMAND, IDM_BATCH_VIEW, 0);
  }
}

void Refresh() {
  if (Main.tree != nullptr) {
    TreeView_SelectItem(Main.tree, TreeView_GetRoot(Main.tree));
    TreeView_DeleteAllItems(Main.tree);
  }
  if (Main.contents != nullptr) ListView_DeleteAllItems(Main.contents);
  if (Main.batch != nullptr) RemoveBatchRows(Main.batch, 1);
  for (HWND view : {Main.tree, Main.contents, Main.batch}) {
    if (view != nullptr) UpdateWindow(view);
  }
  if (Main.tree == nullptr) return;
  FillTree(Main.tree);
  TreeView_SelectItem(Main.tree, TreeView_GetRoot(Main.tree));
  SelectFirstVolume();
}

void OpenHelp() {
  // The help file is opened through WinHelp where both exist; current
  // Windows has no WinHelp, so otherwise the HTML guide beside the program.
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  const std::filesystem::path folder = std::filesystem::path(module).parent_path();
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  std::error_code ec;
  if (std::filesystem::exists(folder / kHelpFile, ec) &&
      std::filesystem::exists(std::filesystem::path(windows) / L"winhlp32.exe", ec) &&
      WinHelpA(Main.window, kHelpFile, kHelpContents, 0)) {
    return;
  }
  const std::filesystem::path guide = folder / kGuideFile;
  if (!std::filesystem::exists(guide, ec)) {
    ShowMessageBox("The user guide corvix-guide.html is missing from the program's folder.",
                   kCaption, kMbOk | kMbIconWarning);
    return;
  }
  ShellExecuteW(Main.window, L"open", guide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Runs a command that reads the disc or runs a job; one at a time.
void RunWork(const Command& command, int id) {
  if (!Main.jobs.TryBegin()) {
    if (command.action == CommandAction::kRefresh) Main.jobs.DeferRefresh();
    return;
  }
  HWND list = command.list == CommandList::kBatch ? Main.batch : Main.contents;
  switch (command.action) {
    case CommandAction::kExit:
      ShutDown();
      break;
    case CommandAction::kImportWaves:
      if (list != nullptr) ImportWavesCommand(list);
      break;
    case CommandAction::kConvert:
      if (list != nullptr && command.format != nullptr) ConvertCommand(list, *command.format);
      break;
    case CommandAction::kRefresh:
      Refresh();
      break;
    case CommandAction::kAddToBatch:
      AddSelectionToBatch();
      break;
    case CommandAction::kRemoveBatchRows:
      if (Main.batch != nullptr) RemoveBatchRows(Main.batch, 0);
      break;
    case CommandAction::kClearBatch:
      if (Main.batch != nullptr) RemoveBatchRows(Main.batch, 1);
      break;
    case CommandAction::kSelectCdrom:
      OnSelectDrive(id);
      break;
    case CommandAction::kOpenDiscImage:
      OnOpenDiscImage();
      break;
    default:
      break;
  }
  const bool refresh = Main.jobs.End();
  if (Main.shutDown) return;
  if (Main.closeAfterJob) {
    Main.closeAfterJob = false;
    PostMessageA(Main.window, WM_CLOSE, 0, 0);
  } else if (refresh) {
    PostMessageA(Main.window, WM_COMMAND, IDM_REFRESH, 0);
  }
}

void OnCommand(int id) {
  const Command command = LookUpCommand(id);
  if (CommandStartsWork(command.action)) {
    RunWork(command, id);
    return;
  }
  switch (command.action) {
    case CommandAction::kToggleMerge:
      MergeStereoPairs = ToggleMenuItem(IDM_MERGE_LR);
      break;
    case CommandAction::kToggleBatchView:
      ToggleBatchView();
      break;
    case CommandAction::kHelpContents:
      OpenHelp();
      break;
    case CommandAction::kAbout:
      DialogBoxParamA(Main.instance, "About", Main.window, AboutDialogProc, 0);
      break;
    default:
      break;
  }
}

// Shows a pop-up menu at the pointer, loaded for this click only; its
// commands go to the main window.
void ShowPopup(const char* name, UINT combineId, int rowsForCombine) {
  HMENU menu = LoadMenuA(Main.instance, name);
  if (menu == nullptr) return;
  HMENU popup = GetSubMenu(menu, 0);
  EnableMenuItem(popup, combineId,
                 MF_BYCOMMAND | (PopupCombineEnabled(rowsForCombine) ? MF_ENABLED : MF_GRAYED));
  const DWORD position = GetMessagePos();
  TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, static_cast<short>(LOWORD(position)),
                 static_cast<short>(HIWORD(position)), 0, Main.window, nullptr);
  DestroyMenu(menu);
}

LRESULT OnNotify(const NMHDR& header, LPARAM lParam) {
  if (header.code == NM_SETFOCUS &&
      (header.hwndFrom == Main.tree || header.hwndFrom == Main.contents || header.hwndFrom == Main.batch)) {
    Main.lastFocusedView = header.hwndFrom;
    return 0;
  }
  if (header.hwndFrom == Main.tree && header.hwndFrom != nullptr) {
    if (header.code == TVN_SELCHANGEDA) OnTreeSelChanged(*reinterpret_cast<const NMTREEVIEWA*>(lParam));
    return 0;
  }
  if (header.hwndFrom == Main.contents && header.hwndFrom != nullptr) {
    if (header.code == LVN_ITEMCHANGED) {
      OnContentsItemChanged(*reinterpret_cast<const NMLISTVIEW*>(lParam));
    } else if (header.code == NM_RCLICK) {
      const BrowserItem* record = ListItemUnderCursor(Main.contents);
      if (record != nullptr && record->kind == kKindProgram) {
        ShowPopup("POPUP1", IDM_COMBINE_TES, SelectedRowCount(Main.contents));
      }
    } else if (header.code == NM_DBLCLK) {
      const BrowserItem* record = ListItemUnderCursor(Main.contents);
      if (record != nullptr && record->kind != kKindProgram && Main.tree != nullptr) {
        HTREEITEM item = FindTreeItemByData(Main.tree, TreeView_GetRoot(Main.tree), record);
        if (item != nullptr) {
          TreeView_Expand(Main.tree, item, TVE_EXPAND);
          TreeView_SelectItem(Main.tree, item);
        }
      }
    }
    return 0;
  }
  if (header.hwndFrom == Main.batch && header.hwndFrom != nullptr && header.code == NM_RCLICK) {
    const BrowserItem* record = ListItemUnderCursor(Main.batch);
    if (record != nullptr && record->kind == kKindProgram) {
      ShowPopup("POPUPB2", IDM_BATCH_COMBINE_TES, static_cast<int>(BatchRows.size()));
    }
  }
  return 0;
}

void OnDeviceChange(WPARAM event, LPARAM lParam) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
  if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_VOLUME) return;
  const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(lParam);
  if (Main.discImageCurrent) return;  // the disc in the drive is not what is shown
  if (DriveMaskNamesDrive(volume->dbcv_unitmask, CurrentDriveIndex)) {
    SendMessageA(Main.window, WM_COMMAND, IDM_REFRESH, 0);
  }
}

void OnCreate(HWND window) {
  Main.window = window;
  if (CurrentScsiTransport() != nullptr && HostAdapterCount != 0) ScanScsiDevices(&Main.devices);
  BuildDriveMenu();
  PostMessageA(window, WM_CORVIX_DEFERRED_FILL, 0, 0);

  Main.tree = CreateTreeView(window);
  if (Main.tree == nullptr) MessageBoxA(nullptr, "Tree View not created!", nullptr, MB_OK);
  Main.contents = CreateContentsList(window);
  if (Main.contents == nullptr) MessageBoxA(nullptr, "List View not created!", nullptr, MB_OK);
  Main.batch = CreateBatchList(window);
  if (Main.batch == nullptr) MessageBoxA(nullptr, "List View not created!", nullptr, MB_OK);
  CreateCaptions(window);

  const HFONT font =
      Main.tree != nullptr ? reinterpret_cast<HFONT>(SendMessageA(Main.tree, WM_GETFONT, 0, 0)) : nullptr;
  for (HWND caption : {Main.treeCaption, Main.contentsCaption, Main.batchCaption}) {
    if (caption != nullptr && font != nullptr) SendMessageA(caption, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  if (Main.treeCaption != nullptr) SetWindowTextA(Main.treeCaption, " Contents of CDROM");
  if (Main.batchCaption != nullptr) SetWindowTextA(Main.batchCaption, " Contents of Batch Converter List");
}

void OnDeferredFill() {
  InvalidateRect(Main.window, nullptr, TRUE);
  UpdateWindow(Main.window);
  GdiFlush();
  if (Main.tree == nullptr) return;
  if (!Main.jobs.TryBegin()) return;
  if (!FillTree(Main.tree)) MessageBoxA(nullptr, "Items not added", nullptr, MB_OK);
  SelectFirstVolume();
  // The keyboard starts in the tree, which then shows its selection.
  if (GetFocus() == nullptr || GetFocus() == Main.window) SetFocus(Main.tree);
  if (Main.jobs.End()) PostMessageA(Main.window, WM_COMMAND, IDM_REFRESH, 0);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(window);
      return 0;
    case WM_CORVIX_DEFERRED_FILL:
      OnDeferredFill();
      return 0;
    case WM_SIZE:
      OnSize(wParam, LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_PAINT: {
      // The children paint themselves; the window only erases its client.
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam), lParam);
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_DEVICECHANGE:
      OnDeviceChange(wParam, lParam);
      return TRUE;
    case WM_CLOSE:
      // Closing in the middle of a job cancels the job; the window closes
      // once the job has ended (the lists it reads stay until then).
      if (Main.jobs.Running()) {
        CancelRequested = 1;
        Main.closeAfterJob = true;
        return 0;
      }
      break;
    case WM_DESTROY:
      ShutDown();
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void ShowMainAssert(int line) {
  char text[64];
  std::snprintf(text, sizeof text, "%s line:%d", "CorvixMain", line);
  MessageBoxA(nullptr, text, "ASSERT", MB_OK);
}

void EnableBatchConverter(bool enable) {
  HMENU convert = ConvertMenu();
  if (convert == nullptr) {
    ShowMainAssert(__LINE__);
    return;
  }
  EnableMenuItem(convert, MENU_POS_BATCH_CONVERTER, MF_BYPOSITION | (enable ? MF_ENABLED : MF_GRAYED));
  DrawMenuBar(Main.window);
}

void EnableProgramCommands(const ProgramCommandStates& states) {
  HMENU bar = GetMenu(Main.window);
  if (bar == nullptr) return;
  const auto set = [bar](UINT id, bool on) {
    EnableMenuItem(bar, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
  };
  set(IDM_IMPORT_WAVES, states.importWaves);
  for (const OutputFormat& format : OutputFormats()) {
    if (format.menuId != 0) set(static_cast<UINT>(format.menuId), format.policy.oneTable ? states.combine : states.convert);
  }
  set(IDM_ADD_TO_BATCH, states.addToBatch);
}

void ShutDown() {
  if (Main.shutDown) return;
  Main.shutDown = true;
  FreeScsiDeviceList(Main.devices);
  Main.devices = nullptr;
  DestroyImageLists();
  if (Main.batch != nullptr) {
    RemoveBatchRows(Main.batch, 1);
  } else {
    BatchRows.Clear();
  }
  PostQuitMessage(0);
}

bool RegisterMainClass(HINSTANCE instance) {
  Main.instance = instance;
  WNDCLASSA windowClass{};
  if (!GetClassInfoA(instance, kClassName, &windowClass)) {
    windowClass = {};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_CORVIX));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszMenuName = "Menu";
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass)) return false;
  }
  return true;
}

bool CreateMainWindow(HINSTANCE instance, int showCommand) {
  if (!RegisterMainClass(instance)) return false;
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  HWND window = CreateWindowExA(
      WS_EX_WINDOWEDGE, kClassName, kWindowTitle,
      WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, screenWidth / 6,
      screenHeight / 6, (2 * screenWidth) / 3, (2 * screenHeight) / 3, nullptr, nullptr, instance,
      nullptr);
  if (window == nullptr) return false;
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  MergeStereoPairs = 1;
  Main.batchViewShown = false;
  return true;
}

bool StartCorvix(HINSTANCE instance, int showCommand) {
  InstallWindowSeams();
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // for the folder browser
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  if (!RegisterMainClass(instance)) return false;
  // The SCSI interface: ASPI when it is installed, else the system's SCSI
  // pass-through. Without either the program still runs, on disc images.
  std::string error;
  static std::unique_ptr<ScsiTransport> transport;
  transport = OpenPlatformScsiTransport(&error);
  SetScsiTransport(transport.get());
  Main.scsiSupportWord = ReadScsiSupportInfo();
  if ((Main.scsiSupportWord & 0xFF) == 0 || ((Main.scsiSupportWord >> 8) & 0xFF) != 1) {
    MessageBoxA(nullptr, "No ASPI for WIN32 support detected.", "Error - Corvix", MB_OK | MB_ICONWARNING);
    HostAdapterCount = 0;
  }
  return CreateMainWindow(instance, showCommand);
}

void EndCorvix() {
  ReleaseSources();
  SetScsiTransport(nullptr);
  CoUninitialize();
}

int RunCorvix(HINSTANCE instance, int showCommand) {
  if (!StartCorvix(instance, showCommand)) return 0;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  EndCorvix();
  return static_cast<int>(message.wParam);
}

}  // namespace corvix::ui
