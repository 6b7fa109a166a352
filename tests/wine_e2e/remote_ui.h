// Corvix.exe driven from this process as a person would drive it: its
// windows found by class and title, commands posted as the menus post them,
// the views' items read and selected through memory in Corvix's process,
// real mouse and keyboard input, the folder browser walked by label, and
// message boxes read and answered. A look into Corvix that can't be taken
// records a failed check with its reason: nothing passes for want of seeing
// it.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "checks.h"
#include "probe_protocol.h"
#include "ui_logic/resource_ids.h"

namespace corvix::e2e {

// The folders a flow works with (Windows paths ending in '\').
struct Paths {
  std::string programFolder;  // Corvix.exe, the stand-in WNASPI32.dll, the probe
  std::string screenshots;
  std::string work;           // the flow's scratch folder, emptied first
};

struct MenuItem {
  uint32_t id = 0;  // 0xFFFFFFFF for a submenu, 0 for a separator
  bool grayed = false;
  bool checked = false;
  bool radio = false;
  std::string text;  // "-" for a separator
};

struct MessageBoxSeen {
  HWND window = nullptr;
  std::string caption;
  std::string text;
  ProbeIcon icon = ProbeIcon::kNone;
};

using Settings = std::vector<std::pair<std::string, std::string>>;

// A look into Corvix that could not be taken fails the flow; false.
inline bool CantObserve(const char* what, const std::string& why) {
  return wine::Check(false, what, __FILE__, __LINE__, why);
}

// Waits that dispatch this thread's messages (the driver has windows of its
// own): until done(), looked at every poll ms; false when time ran out.
inline bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds, DWORD poll = 20) {
  for (const DWORD end = GetTickCount() + milliseconds; !done(); Sleep(poll)) {
    if (static_cast<LONG>(GetTickCount() - end) >= 0) return false;
    for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
  }
  return true;
}
inline void Pump(DWORD milliseconds) {
  PumpUntil([] { return false; }, milliseconds);
}

inline std::string WindowText(HWND window) {
  // For another process's window the system answers from its own copy of
  // the text, without waiting for that process (which may be busy in a job).
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

inline std::vector<HWND> ChildWindows(HWND parent, const char* className) {
  std::vector<HWND> found;
  for (HWND c = nullptr; (c = FindWindowExA(parent, c, className, nullptr)) != nullptr;) found.push_back(c);
  return found;
}

inline bool SetForeground(HWND window) {
  SetForegroundWindow(window);
  return PumpUntil([&] { return GetForegroundWindow() == window; }, 2000);
}

inline void Click(POINT at, bool right, bool twice = false) {
  // Every event carries the position, so that none lands where the pointer
  // was before.
  const auto event = [&](DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
  };
  event(0);
  Pump(50);
  for (int i = 0; i < (twice ? 2 : 1); ++i) {
    event(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    event(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    Pump(30);
  }
}

inline void PressKey(WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
  Pump(50);
}

// A tree item related to item (TVGN_ROOT, TVGN_CHILD, TVGN_NEXT, TVGN_CARET).
inline HTREEITEM TreeItem(HWND view, UINT relation, HTREEITEM item = nullptr) {
  return reinterpret_cast<HTREEITEM>(SendMessageA(view, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

inline std::vector<HTREEITEM> TreeChildren(HWND view, HTREEITEM parent) {
  std::vector<HTREEITEM> items;
  for (HTREEITEM item = TreeItem(view, TVGN_CHILD, parent); item != nullptr; item = TreeItem(view, TVGN_NEXT, item)) {
    items.push_back(item);
  }
  return items;
}

// The files below folder, by their paths from it ("PAD\PAD L.wav"), sorted.
inline std::vector<std::string> Files(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
    if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(folder).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// A window with its frame and a margin of pixels around it (within the
// screen), as a PNG file at path (written by GDI+).
inline bool SaveWindowShot(HWND window, int margin, const std::string& path) {
  static ULONG_PTR gdiplus = 0;
  const Gdiplus::GdiplusStartupInput startup;
  if (gdiplus == 0 && Gdiplus::GdiplusStartup(&gdiplus, &startup, nullptr) != Gdiplus::Ok) return false;
  RECT r{}, screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  GetWindowRect(window, &r);
  InflateRect(&r, margin, margin);
  if (!IntersectRect(&r, &r, &screen)) return false;
  HDC screenDc = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screenDc);
  HBITMAP bitmap = CreateCompatibleBitmap(screenDc, r.right - r.left, r.bottom - r.top);
  HGDIOBJ old = SelectObject(memory, bitmap);
  bool ok = BitBlt(memory, 0, 0, r.right - r.left, r.bottom - r.top, screenDc, r.left, r.top, SRCCOPY) != FALSE;
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screenDc);
  // GDI+'s PNG encoder.
  const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
  const std::wstring widePath(path.begin(), path.end());
  ok = ok && Gdiplus::Bitmap(bitmap, nullptr).Save(widePath.c_str(), &png, nullptr) == Gdiplus::Ok;
  DeleteObject(bitmap);
  return ok;
}

// One running Corvix.exe.
class Corvix {
 public:
  Corvix() = default;
  Corvix(const Corvix&) = delete;
  Corvix& operator=(const Corvix&) = delete;
  // Ends Corvix.exe if it still runs (the handles go with this process).
  ~Corvix() {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    if (process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
      TerminateProcess(process_.hProcess, 3);
    }
  }

  HWND window = nullptr, tree = nullptr, contents = nullptr, batch = nullptr;
  HWND treeCaption = nullptr, contentsCaption = nullptr, batchCaption = nullptr;
  std::string logPath;      // the stand-in's log
  std::string controlPath;  // CORVIX_STANDIN_CONTROL

  // Starts Corvix.exe with the stand-in configured by settings (once per
  // flow, in its emptied folder, so no earlier settings or log linger),
  // waits for its main window and hooks the probe into it. False when
  // something of that failed.
  bool Start(const Paths& paths, const Settings& settings) {
    logPath = paths.work + "standin.log";
    controlPath = paths.work + "standin.control";
    SetEnvironmentVariableA("CORVIX_STANDIN_LOG", logPath.c_str());
    SetEnvironmentVariableA("CORVIX_STANDIN_CONTROL", controlPath.c_str());
    for (const auto& [name, value] : settings) SetEnvironmentVariableA(name.c_str(), value.c_str());

    probeMessage_ = RegisterWindowMessageA(kProbeMessage);
    HANDLE mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeBlock), kProbeBlockName);
    if (mapping != nullptr) {
      probe_ = static_cast<ProbeBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeBlock)));
    }
    probeModule_ = LoadLibraryA((paths.programFolder + "corvix_e2e_probe.dll").c_str());

    const std::string program = paths.programFolder + "Corvix.exe";
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        paths.programFolder.c_str(), &startup, &process_)) {
      process_ = {};
      return false;
    }
    if (!PumpUntil([&] { return FindWindows(); }, 20000)) return false;
    // Menus and message-box icons are read through the probe: without it the
    // flow can't see them, so a missing probe stops the flow here.
    if (probe_ == nullptr || probeModule_ == nullptr) {
      return CantObserve("the probe DLL and its shared block", "corvix_e2e_probe.dll in " + paths.programFolder);
    }
    auto hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probeModule_, kProbeHookExport)));
    if (hook == nullptr) return CantObserve("the probe's hook is exported by its plain name", kProbeHookExport);
    hook_ = SetWindowsHookExA(WH_CALLWNDPROC, hook, probeModule_, GetWindowThreadProcessId(window, nullptr));
    return hook_ != nullptr ||
           CantObserve("the probe's hook installed in Corvix", "error " + std::to_string(GetLastError()));
  }

  // "Exit" and wait for the process to end; true when it ended with code 0.
  bool Exit() {
    Command(IDM_EXIT);
    DWORD code = 1;
    return process_.hProcess != nullptr &&
           PumpUntil([&] { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }, 15000) &&
           GetExitCodeProcess(process_.hProcess, &code) && code == 0;
  }

  // A command, posted as the menu would post it.
  void Command(int id) const { PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(id), 0); }

  // Waits until the tree holds at least items items and the contents list
  // rows rows (a listing done).
  bool WaitForListing(int items, int rows, DWORD ms = 20000) const {
    return PumpUntil([&] { return TreeCount() >= items && RowCount(contents) >= rows; }, ms);
  }

  // Tree views of Corvix's process (the main tree or the folder browser's).
  std::string TreeText(HWND view, HTREEITEM item) const {
    if (item == nullptr) return "<no item>";
    TVITEMA data{};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.cchTextMax = kTextBytes;
    std::string text = "<unread>";
    const std::string why = SendRemote(view, TVM_GETITEMA, 0, &data, sizeof data, &data.pszText, &text);
    if (!why.empty()) CantObserve("a tree item's text read from Corvix", why);
    return text;
  }

  std::vector<std::string> ChildTexts(HWND view, HTREEITEM parent) const {
    std::vector<std::string> texts;
    for (HTREEITEM item : TreeChildren(view, parent)) texts.push_back(TreeText(view, item));
    return texts;
  }

  int TreeCount() const { return static_cast<int>(SendMessageA(tree, TVM_GETCOUNT, 0, 0)); }

  // The volume of the main tree at those positions; null when there is none.
  HTREEITEM Volume(size_t partition, size_t volume) const {
    const std::vector<HTREEITEM> partitions = TreeChildren(tree, TreeItem(tree, TVGN_ROOT));
    const std::vector<HTREEITEM> volumes =
        partition < partitions.size() ? TreeChildren(tree, partitions[partition]) : std::vector<HTREEITEM>{};
    return volume < volumes.size() ? volumes[volume] : nullptr;
  }

  // Selects an item of the main tree; returns at once (listing a volume may
  // ask a question, which would wait for this process while a sent message
  // waited for it).
  void Select(HTREEITEM item) const { PostMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)); }

  // Selects a volume and waits until the contents list holds rows rows.
  void OpenVolume(size_t partition, size_t volume, int rows) const {
    HTREEITEM item = Volume(partition, volume);
    Select(item);
    PumpUntil([&] { return TreeItem(tree, TVGN_CARET) == item && RowCount(contents) == rows; }, 10000);
  }

  // List views.
  int RowCount(HWND list) const { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

  std::vector<std::string> Column(HWND list, int column) const {
    std::vector<std::string> texts;
    for (int row = 0; row < RowCount(list); ++row) {
      LVITEMA data{};
      data.iSubItem = column;
      data.cchTextMax = kTextBytes;
      std::string text = "<unread>";
      // LVM_GETITEMTEXTA answers the text's length: 0 for an empty cell.
      const std::string why = SendRemote(list, LVM_GETITEMTEXTA, row, &data, sizeof data, &data.pszText, &text, true);
      if (!why.empty()) CantObserve("a list cell read from Corvix", "row " + std::to_string(row) + ": " + why);
      texts.push_back(text);
    }
    return texts;
  }

  // Selects exactly rows (the others lose their selection); focus on the last.
  void SelectRows(HWND list, const std::vector<int>& rows) const {
    LVITEMA data{};
    data.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    std::string why = SendRemote(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), &data, sizeof data);
    data.state = LVIS_SELECTED | LVIS_FOCUSED;
    for (size_t i = 0; i < rows.size() && why.empty(); ++i) {
      why = SendRemote(list, LVM_SETITEMSTATE, static_cast<WPARAM>(rows[i]), &data, sizeof data);
    }
    if (!why.empty()) CantObserve("rows selected in Corvix", why);
  }

  // The screen point in the middle of a row's label.
  POINT RowPoint(HWND list, int row) const {
    RECT r{};
    r.left = LVIR_LABEL;
    const std::string why = SendRemote(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), &r, sizeof r);
    if (!why.empty()) CantObserve("a row's place read from Corvix", "row " + std::to_string(row) + ": " + why);
    POINT p{r.left + 12, (r.top + r.bottom) / 2};
    ClientToScreen(list, &p);
    return p;
  }

  // Menus, through the probe: a menu bar's menu at path, or a pop-up's.
  std::vector<MenuItem> Menu(const std::vector<int>& path, HMENU menu = nullptr) const {
    ProbeBlock block{};
    block.request = ProbeRequest::kDescribeMenu;
    block.window = reinterpret_cast<uintptr_t>(window);
    block.menu = reinterpret_cast<uintptr_t>(menu);
    block.depth = static_cast<int32_t>(std::min<size_t>(path.size(), 4));
    std::copy_n(path.begin(), block.depth, block.path);
    std::vector<MenuItem> items;
    if (!AskProbe(block)) return items;
    if (block.count < 0) CantObserve("a menu of Corvix", "no menu at that place");
    for (int32_t i = 0; i < block.count; ++i) {
      const ProbeMenuItem& p = block.items[i];
      items.push_back({p.id, (p.state & MFS_GRAYED) != 0, (p.state & MFS_CHECKED) != 0,
                       (p.type & MFT_RADIOCHECK) != 0, (p.type & MFT_SEPARATOR) != 0 ? "-" : p.text});
    }
    return items;
  }

  MenuItem MenuItemById(const std::vector<int>& path, uint32_t id) const {
    for (const MenuItem& item : Menu(path)) {
      if (item.id == id) return item;
    }
    CantObserve("a menu item", "no item " + std::to_string(id));
    return {0, false, false, false, "<missing>"};
  }

  // Visible top windows of Corvix's process.
  std::vector<HWND> TopWindows(const char* className) const {
    std::vector<HWND> found;
    for (HWND w : ChildWindows(nullptr, className)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == process_.dwProcessId && IsWindowVisible(w)) found.push_back(w);
    }
    return found;
  }

  // A dialog whose caption holds part, waited for up to ms, looked for
  // every poll ms; null when none is open.
  HWND FindDialog(const std::string& part, DWORD ms = 0, DWORD poll = 20) const {
    HWND found = nullptr;
    PumpUntil(
        [&] {
          for (HWND w : TopWindows("#32770")) {
            if (WindowText(w).find(part) != std::string::npos) found = w;
          }
          return found != nullptr;
        },
        ms, poll);
    return found;
  }

  HWND FolderBrowser() const {
    for (HWND w : TopWindows("#32770")) {
      if (FindWindowExA(w, nullptr, WC_TREEVIEWA, nullptr) != nullptr) return w;
    }
    return nullptr;
  }

  // A message box (none of the program's own dialogs nor the folder
  // browser), read; window null when none is open.
  MessageBoxSeen MessageBox() const {
    MessageBoxSeen seen;
    for (HWND w : TopWindows("#32770")) {
      const std::string caption = WindowText(w);
      const auto inCaption = [&](const char* part) { return caption.find(part) != std::string::npos; };
      if (w == FolderBrowser() || inCaption("Importing Waves") || inCaption("Creating .") ||
          inCaption("About Veltrex Corvix") || inCaption("Open Disc Image")) {
        continue;
      }
      seen.window = w;
      seen.caption = caption;
      for (HWND c : ChildWindows(w, "Static")) {  // the text: the longest static that is not the icon
        const std::string text = WindowText(c);
        if ((GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) != SS_ICON && text.size() > seen.text.size()) seen.text = text;
      }
      ProbeBlock block{};
      block.request = ProbeRequest::kMessageIcon;
      block.window = reinterpret_cast<uintptr_t>(w);
      if (AskProbe(block)) seen.icon = block.icon;
      break;
    }
    return seen;
  }

  // Presses a button of a dialog (BM_CLICK) and waits until it has gone.
  bool Press(HWND dialog, int buttonId, DWORD ms = 5000) const {
    HWND button = GetDlgItem(dialog, buttonId);
    if (button == nullptr) return false;
    PostMessageA(button, BM_CLICK, 0, 0);
    return PumpUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, ms);
  }

  // The folder browser open: walks its tree from "My Computer" to folder
  // (a path on drive C:), selects it and presses OK; a failed check with
  // the reason when that can't be done.
  bool PickFolder(const std::string& folder) const {
    const auto fail = [](const std::string& why) { return CantObserve("the folder picked in the browser", why); };
    HWND browser = nullptr;
    if (!PumpUntil([&] { return (browser = FolderBrowser()) != nullptr; }, 10000)) return fail("no folder browser");
    HWND view = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
    // A child of parent labelled name (holding it, for My Computer and the
    // drive), parent expanded first; the browser is given a little time to
    // fill it.
    const auto find = [&](HTREEITEM parent, const std::string& name, bool exactly) -> HTREEITEM {
      SendMessageA(view, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
      HTREEITEM found = nullptr;
      PumpUntil(
          [&] {
            for (HTREEITEM item : TreeChildren(view, parent)) {
              const std::string label = TreeText(view, item);
              if (exactly ? lstrcmpiA(label.c_str(), name.c_str()) == 0 : label.find(name) != std::string::npos) {
                found = item;
              }
            }
            return found != nullptr;
          },
          3000);
      return found;
    };
    // "My Computer" lies under the top item, "Desktop".
    HTREEITEM item = find(TreeItem(view, TVGN_ROOT), "My Computer", false);
    if (item == nullptr) return fail("no \"My Computer\" under the folder browser's top item");
    for (const std::filesystem::path& part : std::filesystem::path(folder)) {  // "C:", "\", "e2e", ...
      if (part == "\\") continue;
      if ((item = find(item, part.string(), part.has_root_name() == false)) == nullptr) {
        return fail("no \"" + part.string() + "\" in the folder browser");
      }
    }
    PostMessageA(view, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    SendMessageA(view, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    HWND ok = GetDlgItem(browser, IDOK);
    if (!PumpUntil([&] { return ok != nullptr && IsWindowEnabled(ok); }, 3000)) return fail("OK stays disabled");
    PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    return PumpUntil([&] { return !IsWindow(browser); }, 5000) || fail("the browser did not close");
  }

  // How many lines of the stand-in's log are line.
  int LogCount(const std::string& line) const {
    std::ifstream in(logPath);
    int count = 0;
    for (std::string got; std::getline(in, got);) count += got == line ? 1 : 0;
    return count;
  }

 private:
  static constexpr size_t kTextOffset = 256;
  static constexpr int kTextBytes = 512;

  // The main window of the process and its children, told apart by
  // placement (the hidden batch pane has its place too): the tree's caption
  // left of the contents', the batch pane below both.
  bool FindWindows() {
    const std::vector<HWND> windows = TopWindows("CorvixClass");
    window = windows.empty() ? nullptr : windows.front();
    tree = FindWindowExA(window, nullptr, WC_TREEVIEWA, nullptr);
    std::vector<HWND> lists = ChildWindows(window, WC_LISTVIEWA), statics = ChildWindows(window, "Static");
    if (window == nullptr || tree == nullptr || lists.size() != 2 || statics.size() != 3) return false;
    const auto byPlace = [](HWND a, HWND b) {
      RECT ra{}, rb{};
      GetWindowRect(a, &ra);
      GetWindowRect(b, &rb);
      return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
    };
    std::sort(lists.begin(), lists.end(), byPlace);
    std::sort(statics.begin(), statics.end(), byPlace);
    contents = lists[0];
    batch = lists[1];
    treeCaption = statics[0];
    contentsCaption = statics[1];
    batchCaption = statics[2];
    return true;
  }

  bool AskProbe(ProbeBlock& block) const {
    if (probe_ == nullptr || hook_ == nullptr) return CantObserve("the probe answers", "no probe hooked into Corvix");
    block.answered = 0;
    *probe_ = block;
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, probeMessage_, 0, 0, SMTO_NORMAL, 10000, &result);
    block = *probe_;
    return block.answered == 1 || CantObserve("the probe answers", "no answer within 10 s");
  }

  // Sends message to view with a copy of data (size bytes) in Corvix's
  // memory, and copies it back; with textField, the structure's text
  // pointer points at a buffer there too, read back into text. Answers why
  // that failed (the answer 0 is a failure unless zeroIsAnAnswer), or "".
  std::string SendRemote(HWND view, UINT message, WPARAM which, void* data, size_t size, char** textField = nullptr,
                         std::string* text = nullptr, bool zeroIsAnAnswer = false) const {
    const HANDLE process = process_.hProcess;
    auto* at = static_cast<char*>(
        VirtualAllocEx(process, nullptr, kTextOffset + kTextBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (at == nullptr) return "VirtualAllocEx failed";
    if (textField != nullptr) *textField = at + kTextOffset;
    char read[kTextBytes] = {};
    SIZE_T done = 0;
    DWORD_PTR answer = 0;
    std::string why;
    if (!WriteProcessMemory(process, at + kTextOffset, read, 1, &done) ||
        !WriteProcessMemory(process, at, data, size, &done)) {
      why = "WriteProcessMemory failed";
    } else if (!SendMessageTimeoutA(view, message, which, reinterpret_cast<LPARAM>(at), SMTO_NORMAL, 5000, &answer) ||
               (answer == 0 && !zeroIsAnAnswer)) {
      why = "message " + std::to_string(message) + " failed";
    } else if (!ReadProcessMemory(process, at, data, size, &done) ||
               !ReadProcessMemory(process, at + kTextOffset, read, sizeof read - 1, &done)) {
      why = "ReadProcessMemory failed";
    } else if (text != nullptr) {
      *text = read;
    }
    VirtualFreeEx(process, at, 0, MEM_RELEASE);
    return why;
  }

  // The views' structures are written into Corvix's memory as this build
  // lays them out, which must be how Corvix (built for the same
  // architecture) reads them: pointers are 4 bytes in the product's 32-bit
  // build.
  static_assert(sizeof(void*) == 4 ? sizeof(TVITEMA) == 40 && offsetof(TVITEMA, pszText) == 16
                                   : sizeof(TVITEMA) == 56 && offsetof(TVITEMA, pszText) == 24);
  static_assert(offsetof(LVITEMA, pszText) == (sizeof(void*) == 4 ? 20 : 24));
  static_assert(sizeof(TVITEMA) <= kTextOffset && sizeof(LVITEMA) <= kTextOffset);

  PROCESS_INFORMATION process_{};
  ProbeBlock* probe_ = nullptr;
  HHOOK hook_ = nullptr;
  HMODULE probeModule_ = nullptr;
  UINT probeMessage_ = 0;
};

}  // namespace corvix::e2e
