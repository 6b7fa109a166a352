// The CD&ROM menu: the drives found on the SCSI buses (their choice and
// order are the discovery logic's, cdrom_drives.h), and "Open Disc
// Image..." for discs kept as image files.
#include <windows.h>
#include <commdlg.h>

#include <filesystem>
#include <memory>
#include <string>

#include "common/messages.h"
#include "common/user_messages.h"
#include "media/cdrom_drives.h"
#include "media/disc_image.h"
#include "ui/main_window.h"
#include "ui_logic/resource_ids.h"

namespace corvix::ui {
namespace {

ScsiSectorSource g_driveSource;
std::unique_ptr<DiscImage> g_image;

HMENU DrivePopup() {
  HMENU bar = GetMenu(Main.window);
  return bar != nullptr ? GetSubMenu(bar, MENU_POS_CDROM) : nullptr;
}

class WindowCdromMenu : public CdromMenu {
 public:
  bool HasMainMenu() override { return GetMenu(Main.window) != nullptr; }
  bool HasPopup() override { return DrivePopup() != nullptr; }
  bool ReplaceFirstItem(const char* text, int identifier) override {
    return ModifyMenuA(DrivePopup(), 0, MF_BYPOSITION | MF_STRING | MF_ENABLED,
                       static_cast<UINT_PTR>(identifier), text) != FALSE;
  }
  bool AppendItem(const char* text, int identifier) override {
    return AppendMenuA(DrivePopup(), MF_STRING, static_cast<UINT_PTR>(identifier), text) != FALSE;
  }
  bool CheckRadioByPosition(int first, int last, int chosen) override {
    return CheckMenuRadioItem(DrivePopup(), static_cast<UINT>(first), static_cast<UINT>(last),
                              static_cast<UINT>(chosen), MF_BYPOSITION) != FALSE;
  }
  bool CheckRadioByCommand(int first, int last, int chosen) override {
    return CheckMenuRadioItem(DrivePopup(), static_cast<UINT>(first), static_cast<UINT>(last),
                              static_cast<UINT>(chosen), MF_BYCOMMAND) != FALSE;
  }
  bool Redraw() override { return DrawMenuBar(Main.window) != FALSE; }
};

void UncheckDrives() {
  HMENU popup = DrivePopup();
  for (int id = IDM_FIRST_CDROM; id <= IDM_LAST_CDROM; ++id) {
    CheckMenuItem(popup, static_cast<UINT>(id), MF_BYCOMMAND | MF_UNCHECKED);
  }
}

void SetTreeCaption(const std::string& text) {
  if (Main.treeCaption != nullptr) SetWindowTextW(Main.treeCaption, Wide(text).c_str());
}

}  // namespace

void BuildDriveMenu() {
  WindowCdromMenu menu;
  BuildCdromMenu(menu, Main.devices);
  if (Main.devices != nullptr) SetSectorSource(&g_driveSource);
  HMENU popup = DrivePopup();
  if (popup == nullptr) return;
  AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(popup, MF_STRING, IDM_OPEN_DISC_IMAGE, "Open Disc Image...");
  DrawMenuBar(Main.window);
}

void OnSelectDrive(int identifier) {
  if (Main.discImageCurrent) {
    SetSectorSource(&g_driveSource);
    g_image.reset();
    Main.discImageCurrent = false;
    CheckMenuItem(DrivePopup(), IDM_OPEN_DISC_IMAGE, MF_BYCOMMAND | MF_UNCHECKED);
    SetTreeCaption(" Contents of CDROM");
  }
  WindowCdromMenu menu;
  SelectCdrom(menu, Main.devices, identifier);  // asks for "Refresh"
}

bool OpenDiscImageFile(const std::string& path) {
  std::string error;
  std::unique_ptr<DiscImage> image = DiscImage::Open(path, &error);
  if (!image) {
    const std::string text = "Can't open the disc image.\n\n" + error;
    ShowMessageBox(text.c_str(), kCaption, kMbOk | kMbIconWarning);
    return false;
  }
  SetSectorSource(image.get());
  g_image = std::move(image);  // the old image, if any, goes after the switch
  Main.discImageCurrent = true;
  UncheckDrives();
  CheckMenuItem(DrivePopup(), IDM_OPEN_DISC_IMAGE, MF_BYCOMMAND | MF_CHECKED);
  SetTreeCaption(" Contents of " + Utf8(std::filesystem::path(Wide(path)).filename().wstring()));
  PostMessageA(Main.window, WM_COMMAND, IDM_REFRESH, 0);
  return true;
}

void OnOpenDiscImage() {
  wchar_t path[MAX_PATH] = {};
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = Main.window;
  dialog.lpstrFilter = L"Disc images (*.iso, *.img, *.bin, *.cue)\0*.iso;*.img;*.bin;*.cue\0All files\0*.*\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = L"Open Disc Image";
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return;
  OpenDiscImageFile(Utf8(path));
}

void ReleaseSources() {
  SetSectorSource(nullptr);
  g_image.reset();
}

}  // namespace corvix::ui
