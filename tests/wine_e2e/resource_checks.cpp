// The resources of Corvix.exe that the code finds by id: the dialogs'
// controls, the bitmaps and the icon. (The menus and strings are checked on
// the running program by the end-to-end flows.)
#include <windows.h>

#include <string>
#include <vector>

#include "checks.h"
#include "ui_logic/resource_ids.h"

namespace corvix::e2e {
namespace {

using wine::Check;
using wine::Section;

INT_PTR CALLBACK Quiet(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

std::string TextOf(HWND window) {
  char text[128] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

}  // namespace

void RunResourceChecks(const std::string& programPath) {
  Section("resources of Corvix.exe");
  HMODULE module = LoadLibraryExA(programPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!Check(module != nullptr, "Corvix.exe loaded as data", __FILE__, __LINE__, programPath)) return;

  const std::pair<const char*, std::vector<int>> dialogs[] = {
      {"About", {IDOK, IDC_ABOUT_PRODUCT, IDC_ABOUT_VERSION, IDC_ABOUT_NOTICE}},
      {"XFERDIALOG", {IDCANCEL, IDC_XFER_WAVE_LINE, IDC_XFER_PROGRAM_LINE}},
      {"CREATETESDLG", {IDCANCEL, IDC_CREATE_LINE}},
      {"CREATESF2DLG", {IDCANCEL, IDC_CREATE_LINE}}};
  for (const auto& [name, controls] : dialogs) {
    HWND dialog = CreateDialogParamA(module, name, nullptr, Quiet, 0);
    if (!Check(dialog != nullptr, "dialog", __FILE__, __LINE__, name)) continue;
    for (int id : controls) Check(GetDlgItem(dialog, id) != nullptr, "control", __FILE__, __LINE__, name + (" " + std::to_string(id)));
    if (std::string(name) == "CREATESF2DLG") CHECK(TextOf(dialog).find("Creating .SF2 File") != std::string::npos);
    DestroyWindow(dialog);
  }

  // The views' image lists take 16 x 16 pictures of 16 colours.
  for (int id : {IDB_VOLUME, IDB_DISC, IDB_PROGRAM, IDB_PARTITION, IDB_VOLUME_OPEN, IDB_PARTITION_OPEN,
                 IDB_DISC_NOT_FOUND}) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_BITMAP));
    const auto* header =
        found != nullptr ? static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found))) : nullptr;
    Check(header != nullptr && header->biWidth == 16 && header->biHeight == 16 && header->biBitCount == 4,
          "a 16 x 16 bitmap of 16 colours", __FILE__, __LINE__, std::to_string(id));
  }
  CHECK(FindResourceA(module, MAKEINTRESOURCEA(IDI_CORVIX), reinterpret_cast<LPCSTR>(RT_GROUP_ICON)) != nullptr);
  FreeLibrary(module);
}

}  // namespace corvix::e2e
