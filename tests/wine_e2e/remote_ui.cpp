#include "remote_ui.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

#include "checks.h"
#include "ui_logic/resource_ids.h"

namespace corvix::e2e {
namespace {

// A block of memory in Corvix's process for the views' structures and texts.
class RemoteBlock {
 public:
  RemoteBlock(HANDLE process, size_t size) : process_(process), size_(size) {
    at_ = static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  }
  ~RemoteBlock() {
    if (at_ != nullptr) VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;
  bool ok() const { return at_ != nullptr; }
  char* at(size_t offset) const { return at_ + offset; }
  bool Write(size_t offset, const void* data, size_t n) const {
    SIZE_T done = 0;
    return offset + n <= size_ && WriteProcessMemory(process_, at_ + offset, data, n, &done) && done == n;
  }
  bool Read(size_t offset, void* data, size_t n) const {
    SIZE_T done = 0;
    return offset + n <= size_ && ReadProcessMemory(process_, at_ + offset, data, n, &done) && done == n;
  }

 private:
  HANDLE process_;
  size_t size_;
  char* at_ = nullptr;
};

constexpr size_t kTextOffset = 256;
constexpr int kTextBytes = 512;

// The views' structures are written into Corvix's memory as this build lays
// them out, which must be how Corvix (built for the same architecture)
// reads them: pointers are 4 bytes in the product's 32-bit build.
static_assert(sizeof(void*) == 4 ? sizeof(TVITEMA) == 40 && offsetof(TVITEMA, pszText) == 16
                                 : sizeof(TVITEMA) == 56 && offsetof(TVITEMA, pszText) == 24);
static_assert(offsetof(LVITEMA, pszText) == (sizeof(void*) == 4 ? 20 : 24));
static_assert(offsetof(LVCOLUMNA, pszText) == (sizeof(void*) == 4 ? 12 : 16));
static_assert(sizeof(TVITEMA) <= kTextOffset && sizeof(LVITEMA) <= kTextOffset && sizeof(LVCOLUMNA) <= kTextOffset);

// A look into Corvix that could not be taken fails the flow: nothing may
// pass for want of seeing it.
void CantObserve(const char* what, const std::string& why) {
  wine::Check(false, what, __FILE__, __LINE__, why);
}

struct FindState {
  DWORD pid;
  const char* className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND window, LPARAM parameter) {
  auto* state = reinterpret_cast<FindState*>(parameter);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == state->pid && IsWindowVisible(window) && ClassOf(window) == state->className) {
    state->found.push_back(window);
  }
  return TRUE;
}

struct MessageParts {
  std::string text;
  bool hasButton = false;
  bool hasTree = false;
  bool hasProgress = false;
};

BOOL CALLBACK CollectParts(HWND child, LPARAM parameter) {
  auto* parts = reinterpret_cast<MessageParts*>(parameter);
  const std::string cls = ClassOf(child);
  if (lstrcmpiA(cls.c_str(), "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
    const std::string text = WindowText(child);
    if (text.size() > parts->text.size()) parts->text = text;
  } else if (lstrcmpiA(cls.c_str(), "Button") == 0) {
    parts->hasButton = true;
  } else if (cls == WC_TREEVIEWA) {
    parts->hasTree = true;
  } else if (cls == PROGRESS_CLASSA) {
    parts->hasProgress = true;
  }
  return TRUE;
}

bool Contains(const std::string& text, const std::string& part) {
  const auto upper = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  return upper(text).find(upper(part)) != std::string::npos;
}

}  // namespace

void Pump(DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(10);
  } while (static_cast<LONG>(GetTickCount() - end) < 0);
}

bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  while (!done()) {
    if (static_cast<LONG>(GetTickCount() - end) >= 0) return false;
    Pump(20);
  }
  return true;
}

std::string WindowText(HWND window) {
  // For another process's window the system answers from its own copy of
  // the text, without waiting for that process (which may be busy in a job).
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool SetForeground(HWND window) {
  SetForegroundWindow(window);
  return PumpUntil([&] { return GetForegroundWindow() == window; }, 2000);
}

void Click(POINT at, bool right, bool twice) {
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

void PressKey(WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
  Pump(50);
}

Corvix::~Corvix() {
  if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
  if (probe_ != nullptr) UnmapViewOfFile(probe_);
  if (probeMapping_ != nullptr) CloseHandle(probeMapping_);
  if (process_.hProcess != nullptr) {
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 3);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  if (probeModule_ != nullptr) FreeLibrary(probeModule_);
}

bool Corvix::Start(const Paths& paths, const std::vector<std::pair<std::string, std::string>>& settings) {
  for (const char* name : {"CORVIX_STANDIN_IMAGE", "CORVIX_STANDIN_UNIT", "CORVIX_STANDIN_INQUIRY",
                           "CORVIX_STANDIN_TYPE", "CORVIX_STANDIN_TUR", "CORVIX_STANDIN_HANG",
                           "CORVIX_STANDIN_SECTOR_DELAY_MS", "CORVIX_STANDIN_CONTROL"}) {
    SetEnvironmentVariableA(name, nullptr);
  }
  logPath = paths.work + "standin.log";
  controlPath = paths.work + "standin.control";
  DeleteFileA(logPath.c_str());
  DeleteFileA(controlPath.c_str());
  SetEnvironmentVariableA("CORVIX_STANDIN_LOG", logPath.c_str());
  SetEnvironmentVariableA("CORVIX_STANDIN_CONTROL", controlPath.c_str());
  for (const auto& [name, value] : settings) SetEnvironmentVariableA(name.c_str(), value.c_str());

  probeMessage_ = RegisterWindowMessageA(kProbeMessage);
  probeMapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeBlock),
                                     kProbeBlockName);
  if (probeMapping_ != nullptr) {
    probe_ = static_cast<ProbeBlock*>(MapViewOfFile(probeMapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeBlock)));
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
  const bool shown = PumpUntil(
      [&] {
        window = nullptr;
        for (HWND w = FindWindowExA(nullptr, nullptr, "CorvixClass", nullptr); w != nullptr;
             w = FindWindowExA(nullptr, w, "CorvixClass", nullptr)) {
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          if (owner == process_.dwProcessId) window = w;
        }
        return window != nullptr && FindChildren();
      },
      20000);
  if (!shown) return false;
  // Menus and message-box icons are read through the probe: without it the
  // flow can't see them, so a missing probe stops the flow here.
  if (probe_ == nullptr || probeModule_ == nullptr) {
    CantObserve("the probe DLL and its shared block", "corvix_e2e_probe.dll in " + paths.programFolder);
    return false;
  }
  auto hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probeModule_, kProbeHookExport)));
  if (hook == nullptr) {
    CantObserve("the probe's hook is exported by its plain name", kProbeHookExport);
    return false;
  }
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  hook_ = SetWindowsHookExA(WH_CALLWNDPROC, hook, probeModule_, thread);
  if (hook_ == nullptr) {
    CantObserve("the probe's hook installed in Corvix", "error " + std::to_string(GetLastError()));
    return false;
  }
  return true;
}

bool Corvix::FindChildren() {
  tree = FindWindowExA(window, nullptr, WC_TREEVIEWA, nullptr);
  // The contents list is made before the batch list, which starts hidden.
  std::vector<HWND> lists, statics;
  for (HWND c = FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr); c != nullptr;
       c = FindWindowExA(window, c, WC_LISTVIEWA, nullptr)) {
    lists.push_back(c);
  }
  for (HWND c = FindWindowExA(window, nullptr, "Static", nullptr); c != nullptr;
       c = FindWindowExA(window, c, "Static", nullptr)) {
    statics.push_back(c);
  }
  if (tree == nullptr || lists.size() != 2 || statics.size() != 3) return false;
  const auto top = [](HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r.top;
  };
  const auto left = [](HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r.left;
  };
  // Placement tells them apart: the batch pane lies below the contents.
  std::sort(lists.begin(), lists.end(), [&](HWND a, HWND b) {
    if (IsWindowVisible(a) != IsWindowVisible(b)) return IsWindowVisible(a) > IsWindowVisible(b);
    return top(a) < top(b);
  });
  contents = lists[0];
  batch = lists[1];
  std::sort(statics.begin(), statics.end(), [&](HWND a, HWND b) {
    return top(a) != top(b) ? top(a) < top(b) : left(a) < left(b);
  });
  treeCaption = statics[0];
  contentsCaption = statics[1];
  batchCaption = statics[2];
  return true;
}

bool Corvix::WaitForListing(int items, int rows, DWORD ms) {
  return PumpUntil([&] { return TreeCount() >= items && RowCount(contents) >= rows; }, ms);
}

bool Corvix::Exit() {
  if (process_.hProcess == nullptr) return false;
  Command(IDM_EXIT);
  bool ended = false;
  PumpUntil([&] { return (ended = WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0); }, 15000);
  DWORD code = 1;
  GetExitCodeProcess(process_.hProcess, &code);
  return ended && code == 0;
}

void Corvix::Command(int id) const { PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(id), 0); }

std::optional<std::string> Corvix::RemoteText(HWND view, UINT message, WPARAM which, void* data, size_t size,
                                              char** textField, bool zeroIsAnAnswer) const {
  // The structure and its text both lie in Corvix's memory; the structure's
  // text pointer points there.
  RemoteBlock block(process_.hProcess, kTextOffset + kTextBytes);
  char text[kTextBytes] = {};
  if (!block.ok()) return std::nullopt;
  *textField = block.at(kTextOffset);
  DWORD_PTR answer = 0;
  const bool read = block.Write(kTextOffset, text, 1) && block.Write(0, data, size) &&
                    SendMessageTimeoutA(view, message, which, reinterpret_cast<LPARAM>(block.at(0)), SMTO_NORMAL,
                                        5000, &answer) != 0 &&
                    (answer != 0 || zeroIsAnAnswer) && block.Read(kTextOffset, text, sizeof text - 1);
  if (!read) return std::nullopt;
  return std::string(text);
}

std::string Corvix::TreeText(HWND treeView, HTREEITEM item) const {
  if (item == nullptr) return "<no item>";
  TVITEMA data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.cchTextMax = kTextBytes;
  const auto text = RemoteText(treeView, TVM_GETITEMA, 0, &data, sizeof data, &data.pszText);
  if (!text) CantObserve("a tree item's text read from Corvix", "TVM_GETITEMA");
  return text.value_or("<unread>");
}

HTREEITEM Corvix::Root(HWND treeView) const {
  return reinterpret_cast<HTREEITEM>(SendMessageA(treeView, TVM_GETNEXTITEM, TVGN_ROOT, 0));
}
HTREEITEM Corvix::Child(HWND treeView, HTREEITEM item) const {
  return reinterpret_cast<HTREEITEM>(
      SendMessageA(treeView, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
}
HTREEITEM Corvix::Next(HWND treeView, HTREEITEM item) const {
  return reinterpret_cast<HTREEITEM>(
      SendMessageA(treeView, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
}
HTREEITEM Corvix::Selected(HWND treeView) const {
  return reinterpret_cast<HTREEITEM>(SendMessageA(treeView, TVM_GETNEXTITEM, TVGN_CARET, 0));
}
void Corvix::Select(HWND treeView, HTREEITEM item) const {
  // Posted: listing a volume may ask a question, which would wait for this
  // process while a sent message waited for it.
  PostMessageA(treeView, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}
int Corvix::TreeCount() const { return static_cast<int>(SendMessageA(tree, TVM_GETCOUNT, 0, 0)); }

std::vector<std::string> Corvix::ChildTexts(HWND treeView, HTREEITEM parent) const {
  std::vector<std::string> texts;
  for (HTREEITEM item = Child(treeView, parent); item != nullptr; item = Next(treeView, item)) {
    texts.push_back(TreeText(treeView, item));
  }
  return texts;
}

int Corvix::RowCount(HWND list) const { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

std::string Corvix::Cell(HWND list, int row, int column) const {
  LVITEMA data{};
  data.iSubItem = column;
  data.cchTextMax = kTextBytes;
  // LVM_GETITEMTEXTA answers the text's length: 0 for an empty cell.
  const auto text =
      RemoteText(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), &data, sizeof data, &data.pszText, true);
  if (!text) CantObserve("a list cell read from Corvix", "row " + std::to_string(row));
  return text.value_or("<unread>");
}

std::vector<std::string> Corvix::Column(HWND list, int column) const {
  std::vector<std::string> texts;
  for (int row = 0; row < RowCount(list); ++row) texts.push_back(Cell(list, row, column));
  return texts;
}

std::vector<std::string> Corvix::Headers(HWND list) const {
  std::vector<std::string> titles;
  for (int column = 0;; ++column) {
    LVCOLUMNA data{};
    data.mask = LVCF_TEXT;
    data.cchTextMax = kTextBytes;
    const auto title = RemoteText(list, LVM_GETCOLUMNA, static_cast<WPARAM>(column), &data, sizeof data,
                                  &data.pszText);
    if (!title) break;
    titles.push_back(*title);
  }
  if (titles.empty()) CantObserve("the list's column titles", "LVM_GETCOLUMNA");
  return titles;
}

void Corvix::SelectRows(HWND list, const std::vector<int>& rows) const {
  RemoteBlock block(process_.hProcess, sizeof(LVITEMA));
  if (!block.ok()) {
    CantObserve("memory in Corvix to select rows", "VirtualAllocEx failed");
    return;
  }
  LVITEMA data{};
  data.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  data.state = 0;
  bool done = block.Write(0, &data, sizeof data) &&
              SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(block.at(0)));
  for (int row : rows) {
    data.state = LVIS_SELECTED | LVIS_FOCUSED;
    done = done && block.Write(0, &data, sizeof data) &&
           SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(block.at(0)));
  }
  if (!done) CantObserve("rows selected in Corvix", "LVM_SETITEMSTATE failed");
}

int Corvix::SelectedCount(HWND list) const {
  return static_cast<int>(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
}

POINT Corvix::RowPoint(HWND list, int row) const {
  RemoteBlock block(process_.hProcess, sizeof(RECT));
  RECT r{};
  r.left = LVIR_LABEL;
  if (!block.ok() || !block.Write(0, &r, sizeof r) ||
      !SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(block.at(0))) ||
      !block.Read(0, &r, sizeof r)) {
    CantObserve("a row's place read from Corvix", "row " + std::to_string(row));
  }
  POINT p{r.left + 12, (r.top + r.bottom) / 2};
  ClientToScreen(list, &p);
  return p;
}

bool Corvix::AskProbe(ProbeBlock& block) const {
  if (probe_ == nullptr || hook_ == nullptr) {
    CantObserve("the probe answers", "no probe hooked into Corvix");
    return false;
  }
  block.answered = 0;
  *probe_ = block;
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, probeMessage_, 0, 0, SMTO_NORMAL, 10000, &result);
  block = *probe_;
  if (block.answered != 1) CantObserve("the probe answers", "no answer within 10 s");
  return block.answered == 1;
}

std::vector<MenuItem> Corvix::Menu(std::vector<int> path, HMENU menu) const {
  ProbeBlock block{};
  block.request = ProbeRequest::kDescribeMenu;
  block.window = reinterpret_cast<uintptr_t>(window);
  block.menu = reinterpret_cast<uintptr_t>(menu);
  block.depth = static_cast<int32_t>(std::min<size_t>(path.size(), 4));
  for (int32_t i = 0; i < block.depth; ++i) block.path[i] = path[static_cast<size_t>(i)];
  std::vector<MenuItem> items;
  if (!AskProbe(block)) return items;
  if (block.count < 0) CantObserve("a menu of Corvix", "no menu at that place");
  for (int32_t i = 0; i < block.count; ++i) {
    const ProbeMenuItem& p = block.items[i];
    MenuItem item;
    item.id = p.id;
    item.grayed = (p.state & MFS_GRAYED) != 0;
    item.checked = (p.state & MFS_CHECKED) != 0;
    item.radio = (p.type & MFT_RADIOCHECK) != 0;
    item.separator = (p.type & MFT_SEPARATOR) != 0;
    item.text = p.text;
    items.push_back(item);
  }
  return items;
}

MenuItem Corvix::MenuItemById(std::vector<int> path, uint32_t id) const {
  for (const MenuItem& item : Menu(std::move(path))) {
    if (item.id == id) return item;
  }
  CantObserve("a menu item", "no item " + std::to_string(id));
  MenuItem none;
  none.text = "<missing>";
  return none;
}

bool Corvix::Grayed(uint32_t id) const { return MenuItemById({MENU_POS_CONVERT}, id).grayed; }

bool Corvix::BatchConverterGrayed() const {
  const std::vector<MenuItem> items = Menu({MENU_POS_CONVERT});
  if (items.size() <= MENU_POS_BATCH_CONVERTER) {
    CantObserve("the Batch Converter item", std::to_string(items.size()) + " items in the Convert menu");
    return false;
  }
  return items[MENU_POS_BATCH_CONVERTER].grayed;
}

std::vector<HWND> Corvix::TopWindows(const char* className) const {
  FindState state{process_.dwProcessId, className, {}};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

HWND Corvix::FindDialog(const std::string& caption) const {
  for (HWND w : TopWindows("#32770")) {
    if (WindowText(w) == caption) return w;
  }
  return nullptr;
}

HWND Corvix::FolderBrowser() const {
  for (HWND w : TopWindows("#32770")) {
    MessageParts parts;
    EnumChildWindows(w, CollectParts, reinterpret_cast<LPARAM>(&parts));
    if (parts.hasTree) return w;
  }
  return nullptr;
}

HWND Corvix::PopupMenu() const {
  const std::vector<HWND> menus = TopWindows("#32768");
  return menus.empty() ? nullptr : menus.front();
}

MessageBoxSeen Corvix::MessageBox() const {
  MessageBoxSeen seen;
  for (HWND w : TopWindows("#32770")) {
    const std::string caption = WindowText(w);
    if (caption == "About Veltrex Corvix" || caption.find("Importing Waves") != std::string::npos ||
        caption.find("Creating .TES File") != std::string::npos || caption.find("Creating .SF2 File") != std::string::npos) {
      continue;
    }
    MessageParts parts;
    EnumChildWindows(w, CollectParts, reinterpret_cast<LPARAM>(&parts));
    if (parts.hasTree || parts.hasProgress || !parts.hasButton) continue;
    if (GetDlgItem(w, 1148) != nullptr || GetDlgItem(w, 1152) != nullptr) continue;  // a file dialog
    seen.window = w;
    seen.caption = caption;
    seen.text = parts.text;
    ProbeBlock block{};
    block.request = ProbeRequest::kMessageIcon;
    block.window = reinterpret_cast<uintptr_t>(w);
    if (AskProbe(block)) seen.icon = block.icon;
    return seen;
  }
  return seen;
}

bool Corvix::WaitForMessageBox(MessageBoxSeen* seen, DWORD ms) const {
  return PumpUntil([&] { return (*seen = MessageBox()).window != nullptr; }, ms);
}

bool Corvix::Press(HWND dialog, int buttonId, DWORD ms) const {
  HWND button = GetDlgItem(dialog, buttonId);
  if (button == nullptr) return false;
  PostMessageA(button, BM_CLICK, 0, 0);
  return PumpUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, ms);
}

bool Corvix::PickFolder(const std::string& folder, std::string* why) const {
  HWND browser = nullptr;
  if (!PumpUntil([&] { return (browser = FolderBrowser()) != nullptr; }, 10000)) {
    *why = "no folder browser opened";
    return false;
  }
  HWND view = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
  if (view == nullptr) {
    *why = "the folder browser has no tree";
    return false;
  }
  // Finds a child of parent (or a top item) whose label passes match,
  // expanding parent first; waits a little for the browser to fill it.
  const auto find = [&](HTREEITEM parent, const auto& match) -> HTREEITEM {
    if (parent != nullptr) SendMessageA(view, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
    HTREEITEM found = nullptr;
    PumpUntil(
        [&] {
          for (HTREEITEM item = parent != nullptr ? Child(view, parent) : Root(view); item != nullptr;
               item = Next(view, item)) {
            if (match(TreeText(view, item))) {
              found = item;
              return true;
            }
          }
          return false;
        },
        3000);
    return found;
  };
  // "My Computer" lies at the top or under "Desktop".
  HTREEITEM computer = find(nullptr, [](const std::string& l) { return Contains(l, "My Computer"); });
  if (computer == nullptr) {
    HTREEITEM desktop = Root(view);
    computer = find(desktop, [](const std::string& l) { return Contains(l, "My Computer"); });
  }
  if (computer == nullptr) {
    *why = "no \"My Computer\" in the folder browser";
    return false;
  }
  if (folder.size() < 3 || folder.compare(1, 2, ":\\") != 0) {
    *why = "not a drive path: " + folder;
    return false;
  }
  const std::string drive = folder.substr(0, 2);
  HTREEITEM item = find(computer, [&](const std::string& l) { return Contains(l, drive); });
  if (item == nullptr) {
    *why = "no drive " + drive + " under My Computer";
    return false;
  }
  std::stringstream parts(folder.substr(3));
  for (std::string part; std::getline(parts, part, '\\');) {
    if (part.empty()) continue;
    HTREEITEM next = find(item, [&](const std::string& l) { return lstrcmpiA(l.c_str(), part.c_str()) == 0; });
    if (next == nullptr) {
      *why = "no folder \"" + part + "\" in the browser under " + TreeText(view, item);
      return false;
    }
    item = next;
  }
  Select(view, item);
  SendMessageA(view, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
  HWND ok = GetDlgItem(browser, IDOK);
  if (!PumpUntil([&] { return ok != nullptr && IsWindowEnabled(ok); }, 3000)) {
    *why = "OK stays disabled";
    return false;
  }
  PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  if (!PumpUntil([&] { return !IsWindow(browser); }, 5000)) {
    *why = "the browser did not close";
    return false;
  }
  return true;
}

std::vector<std::string> Corvix::StandinLog() const {
  std::vector<std::string> lines;
  std::ifstream in(logPath);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

int Corvix::LogCount(const std::string& line) const {
  const std::vector<std::string> lines = StandinLog();
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(file);
  return ok;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> List(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((WithSlash(folder) + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    names.push_back((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? name + "\\" : name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    for (const std::string& name : List(path)) {
      RemoveTree(WithSlash(path) + (name.back() == '\\' ? name.substr(0, name.size() - 1) : name));
    }
    RemoveDirectoryA(path.c_str());
  } else {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
  }
}

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

}  // namespace corvix::e2e
