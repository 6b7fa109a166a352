// The probe DLL that the end-to-end driver's hook brings into Corvix.exe:
// answers questions about menus and message boxes (probe_protocol.h).
#include <windows.h>

#include <cstring>
#include <iterator>

#include "probe_protocol.h"

namespace {

using corvix::e2e::ProbeBlock;
using corvix::e2e::ProbeIcon;
using corvix::e2e::ProbeRequest;

void DescribeMenu(ProbeBlock& block) {
  HMENU menu = block.menu != 0 ? reinterpret_cast<HMENU>(static_cast<uintptr_t>(block.menu))
                               : GetMenu(reinterpret_cast<HWND>(static_cast<uintptr_t>(block.window)));
  for (int32_t i = 0; i < block.depth && i < 4 && menu != nullptr; ++i) menu = GetSubMenu(menu, block.path[i]);
  block.count = -1;
  if (menu == nullptr) return;
  const int count = GetMenuItemCount(menu);
  block.count = 0;
  for (int i = 0; i < count && i < static_cast<int>(std::size(block.items)); ++i) {
    auto& item = block.items[i];
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = item.text;
    info.cch = sizeof item.text - 1;
    item.text[0] = '\0';
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) return;
    item.id = info.hSubMenu != nullptr ? 0xFFFFFFFFu : info.wID;
    item.state = info.fState;
    item.type = info.fType;
    block.count = i + 1;
  }
}

void DescribeMessageIcon(ProbeBlock& block) {
  HICON shown = nullptr;  // what the box's icon static shows
  const HWND box = reinterpret_cast<HWND>(static_cast<uintptr_t>(block.window));
  for (HWND c = nullptr; shown == nullptr && (c = FindWindowExA(box, c, "Static", nullptr)) != nullptr;) {
    if ((GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      shown = reinterpret_cast<HICON>(SendMessageA(c, STM_GETICON, 0, 0));
    }
  }
  // In ProbeIcon's order from kStop.
  const LPCSTR standard[] = {IDI_HAND, IDI_EXCLAMATION, IDI_QUESTION, IDI_ASTERISK};
  block.icon = shown == nullptr ? ProbeIcon::kNone : ProbeIcon::kOther;
  for (int32_t i = 0; i < 4; ++i) {
    if (shown != nullptr && LoadIconA(nullptr, standard[i]) == shown) block.icon = static_cast<ProbeIcon>(i + 1);
  }
}

void Answer() {
  HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, corvix::e2e::kProbeBlockName);
  if (mapping == nullptr) return;
  auto* block = static_cast<ProbeBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeBlock)));
  if (block != nullptr) {
    if (block->request == ProbeRequest::kDescribeMenu) DescribeMenu(*block);
    if (block->request == ProbeRequest::kMessageIcon) DescribeMessageIcon(*block);
    block->answered = 1;
    UnmapViewOfFile(block);
  }
  CloseHandle(mapping);
}

}  // namespace

// Exported by probe.def under its plain name.
extern "C" LRESULT CALLBACK CorvixE2eProbeHook(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT probeMessage = RegisterWindowMessageA(corvix::e2e::kProbeMessage);
  if (code == HC_ACTION && lParam != 0 && reinterpret_cast<const CWPSTRUCT*>(lParam)->message == probeMessage) {
    Answer();
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
