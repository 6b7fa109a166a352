// Corvix.exe driven from this process as a person would drive it: its
// windows found by class and title, commands posted as the menus post them,
// the views' items read and selected through memory in Corvix's process,
// real mouse and keyboard input, the folder browser walked by label, and
// message boxes read and answered.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "probe_protocol.h"

namespace corvix::e2e {

// The folders a flow works with (Windows paths ending in '\').
struct Paths {
  std::string programFolder;  // Corvix.exe, the stand-in WNASPI32.dll, the probe
  std::string screenshots;
  std::string work;           // the flow's scratch folder, emptied first
};

struct MenuItem {
  uint32_t id = 0;
  bool grayed = false;
  bool checked = false;
  bool radio = false;
  bool separator = false;
  std::string text;
};

struct MessageBoxSeen {
  HWND window = nullptr;
  std::string caption;
  std::string text;
  ProbeIcon icon = ProbeIcon::kNone;
};

// One running Corvix.exe.
class Corvix {
 public:
  Corvix() = default;
  ~Corvix();
  Corvix(const Corvix&) = delete;
  Corvix& operator=(const Corvix&) = delete;

  // Starts Corvix.exe with the stand-in configured by settings (every other
  // CORVIX_STANDIN_ variable cleared; the log goes to work\standin.log) and
  // waits for its main window. False when it doesn't come.
  bool Start(const Paths& paths, const std::vector<std::pair<std::string, std::string>>& settings);
  // Waits until the tree holds at least items items and the contents list
  // rows rows (the start-up listing done).
  bool WaitForListing(int items, int rows, DWORD ms = 20000);
  // "Exit" and wait for the process to end; true when it ended with code 0.
  bool Exit();

  HWND window = nullptr, tree = nullptr, contents = nullptr, batch = nullptr;
  HWND treeCaption = nullptr, contentsCaption = nullptr, batchCaption = nullptr;

  // Commands, posted as the menu would post them.
  void Command(int id) const;

  // The tree of any tree view of Corvix's process.
  std::string TreeText(HWND treeView, HTREEITEM item) const;
  std::vector<std::string> ChildTexts(HWND treeView, HTREEITEM parent) const;
  HTREEITEM Root(HWND treeView) const;
  HTREEITEM Child(HWND treeView, HTREEITEM item) const;
  HTREEITEM Next(HWND treeView, HTREEITEM item) const;
  HTREEITEM Selected(HWND treeView) const;
  void Select(HWND treeView, HTREEITEM item) const;  // returns at once
  int TreeCount() const;

  // List views.
  int RowCount(HWND list) const;
  std::string Cell(HWND list, int row, int column) const;
  std::vector<std::string> Column(HWND list, int column) const;
  std::vector<std::string> Headers(HWND list) const;  // the column titles
  // Selects exactly rows (the others lose their selection); focus on the last.
  void SelectRows(HWND list, const std::vector<int>& rows) const;
  int SelectedCount(HWND list) const;
  // The screen point in the middle of a row's label.
  POINT RowPoint(HWND list, int row) const;

  // Menus, through the probe.
  std::vector<MenuItem> Menu(std::vector<int> path, HMENU menu = nullptr) const;
  MenuItem MenuItemById(std::vector<int> path, uint32_t id) const;
  bool Grayed(uint32_t id) const;  // an item of "&Convert"
  bool BatchConverterGrayed() const;

  // Windows of Corvix's process.
  std::vector<HWND> TopWindows(const char* className) const;
  HWND FindDialog(const std::string& caption) const;  // a visible "#32770" by caption
  HWND FolderBrowser() const;
  HWND PopupMenu() const;                             // a visible "#32768"
  // A visible message box (a "#32770" with an icon or a text and buttons,
  // not one of the program's own dialogs), read; window null when none.
  MessageBoxSeen MessageBox() const;
  bool WaitForMessageBox(MessageBoxSeen* seen, DWORD ms) const;
  // Presses a button of a dialog (BM_CLICK) and waits until it has gone.
  bool Press(HWND dialog, int buttonId, DWORD ms = 5000) const;

  // The folder browser open: walks its tree from "My Computer" to folder
  // (a path on drive C:), selects it and presses OK. False with *why set.
  bool PickFolder(const std::string& folder, std::string* why) const;

  // The stand-in's log lines.
  std::vector<std::string> StandinLog() const;
  int LogCount(const std::string& line) const;
  std::string logPath;
  std::string controlPath;  // CORVIX_STANDIN_CONTROL

 private:
  bool FindChildren();
  bool AskProbe(ProbeBlock& block) const;
  // Sends message to view with data (size bytes, copied into Corvix's
  // memory; its text field, at textField, pointed into that memory too) and
  // reads the text back; nothing when a step failed.
  std::optional<std::string> RemoteText(HWND view, UINT message, WPARAM which, void* data, size_t size,
                                        char** textField, bool zeroIsAnAnswer = false) const;

  PROCESS_INFORMATION process_{};
  HANDLE probeMapping_ = nullptr;
  ProbeBlock* probe_ = nullptr;
  HHOOK hook_ = nullptr;
  HMODULE probeModule_ = nullptr;
  UINT probeMessage_ = 0;
};

// Window helpers that need no memory of the other process.
std::string WindowText(HWND window);
std::string ClassOf(HWND window);
bool SetForeground(HWND window);
void Click(POINT at, bool right, bool twice = false);
void PressKey(WORD key);

// Files (WriteBytes is in win_files.h).
std::vector<uint8_t> ReadBytes(const std::string& path);
// Creates or replaces path with bytes; false when not written whole.
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Names in folder matching pattern ("*.wav"), sorted; folders marked by a
// trailing '\'.
std::vector<std::string> List(const std::string& folder, const std::string& pattern = "*");
bool Exists(const std::string& path);
void RemoveTree(const std::string& path);
std::string WithSlash(std::string folder);

// Waits that dispatch this thread's messages (the driver has windows of its
// own): for about milliseconds, or until done() (false when time ran out).
void Pump(DWORD milliseconds);
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds);

// A window with its frame and a margin of pixels around it, as a PNG file
// at path.
bool SaveWindowShot(HWND window, int margin, const std::string& path);

}  // namespace corvix::e2e
