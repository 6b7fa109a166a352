// Screenshots of Wine's virtual desktop as PNG files, written by GDI+.
#include <algorithm>

#include "remote_ui.h"

#include <gdiplus.h>

namespace corvix::e2e {

bool SaveWindowShot(HWND window, int margin, const std::string& path) {
  using namespace Gdiplus::DllExports;
  static ULONG_PTR gdiplus = 0;
  const Gdiplus::GdiplusStartupInput startup;
  if (gdiplus == 0 && Gdiplus::GdiplusStartup(&gdiplus, &startup, nullptr) != Gdiplus::Ok) return false;
  RECT r{};
  GetWindowRect(window, &r);
  r.left = std::max<LONG>(0, r.left - margin);
  r.top = std::max<LONG>(0, r.top - margin);
  r.right = std::min<LONG>(GetSystemMetrics(SM_CXSCREEN), r.right + margin);
  r.bottom = std::min<LONG>(GetSystemMetrics(SM_CYSCREEN), r.bottom + margin);
  if (r.right <= r.left || r.bottom <= r.top) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right - r.left, r.bottom - r.top);
  HGDIOBJ old = SelectObject(memory, bitmap);
  bool ok = BitBlt(memory, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY) != FALSE;
  SelectObject(memory, old);
  // GDI+'s PNG encoder.
  const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
  const std::wstring widePath(path.begin(), path.end());
  Gdiplus::GpBitmap* image = nullptr;
  ok = ok && GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) == Gdiplus::Ok &&
       GdipSaveImageToFile(image, widePath.c_str(), &png, nullptr) == Gdiplus::Ok;
  if (image != nullptr) GdipDisposeImage(image);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace corvix::e2e
