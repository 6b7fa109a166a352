// The About dialog and the helpers every dialog of the program uses when it
// opens: one font for all controls, centred on the screen.
#include <cstdio>

#include "ui/main_window.h"
#include "ui_logic/resource_ids.h"

namespace corvix::ui {
namespace {

BOOL CALLBACK SetFontOfChild(HWND child, LPARAM font) {
  SendMessageA(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;  // never stop early
}

}  // namespace

void CentreWindow(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  const int left = CentredEdge(GetSystemMetrics(SM_CXSCREEN), r.right - r.left);
  const int top = CentredEdge(GetSystemMetrics(SM_CYSCREEN), r.bottom - r.top);
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetChildFonts(HWND window, HFONT font) {
  // EnumChildWindows visits children, their children and so on.
  EnumChildWindows(window, SetFontOfChild, reinterpret_cast<LPARAM>(font));
}

void DestroyImageLists() {
  for (HIMAGELIST* list : {&TreeImages, &ContentsImages, &BatchImages}) {
    if (*list != nullptr) ImageList_Destroy(*list);
    *list = nullptr;
  }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      SetChildFonts(dialog, static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT)));
      CentreWindow(dialog);
      char version[32];
      std::snprintf(version, sizeof version, "Version %d.%d", kVersionMajor, kVersionMinor);
      SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, version);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace corvix::ui
