// The host link over the registry and a window message.
//
// The sampler writes its main window's handle into "TSAppHwnd"; this side
// writes the new-item flag and the file's path next to it, then sends that
// window message 2246. The key is never created here: when it is missing
// nothing is written. Every failure is silent.
#include <windows.h>

#include <string>

#include "records/host_link.h"

namespace corvix {
namespace {

// The path as UTF-16, as the registry stores text (paths are UTF-8 inside
// the program).
std::wstring Widen(const char* text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
  wide.resize(static_cast<size_t>(length - 1));  // without the terminator counted in length
  return wide;
}

// "TSAppNewItemFlag" := REG_DWORD 1.
void SetNewItemFlag() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kHostSettingsKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  const DWORD one = 1;
  RegSetValueExA(key, kNewItemFlagValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                 sizeof one);
  RegCloseKey(key);
}

// "TSAppNewItemFlagSz" := the path, REG_SZ. The data includes the
// terminating zero, as the registry requires of REG_SZ data.
void SetNewItemPath(const char* path) {
  const std::wstring wide = Widen(path);
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kHostSettingsKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  const std::wstring name = Widen(kNewItemPathValue);
  RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                 static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

// The handle in "TSAppHwnd" (4 bytes), or null when the key or the value
// can't be read.
HWND GetHostWindow() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kHostSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return nullptr;
  DWORD value = 0;
  DWORD size = sizeof value;
  const LONG result = RegQueryValueExA(key, kHostWindowValue, nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || size != sizeof value) return nullptr;
  // Window handles fit in 32 bits on every Windows, also in 64-bit processes.
  return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(value));
}

class RegistryHostLink : public HostLink {
 public:
  intptr_t NotifyHost(const char* path) override {
    if (path == nullptr) return 0;
    SetNewItemFlag();
    SetNewItemPath(path);
    HWND window = GetHostWindow();
    if (window == nullptr || !IsWindow(window)) return 0;
    return static_cast<intptr_t>(SendMessageA(window, kNewItemMessage, 1, 0));
  }
};

}  // namespace

HostLink& PlatformHostLink() {
  static RegistryHostLink link;
  return link;
}

}  // namespace corvix
