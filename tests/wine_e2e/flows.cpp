// The user flows, each with its own checks. A flow starts Corvix.exe on a
// disc made here with the test-disc builder, works it through its windows,
// menus and dialogs, and then checks the screen, the files and the stand-in
// drive's log.
#include "flows.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "checks.h"
#include "support/disc_specs.h"
#include "support/riff_walk.h"
#include "ui_logic/resource_ids.h"

namespace corvix::e2e {
namespace {

using testing::Chunk;
using testing::Program;
using testing::Keygroup;
using testing::WalkRiff;
using wine::Check;

// A saw tone of words samples.
discbuilder::SampleSpec Tone(const std::string& name, uint32_t words, double frequency) {
  discbuilder::SampleSpec s;
  s.name = name;
  s.pcm = discbuilder::MakeTone("saw", frequency, words, 0.4, 0.0, 44100);
  return s;
}

// A small second disc (one volume "IMAGE VOL", one program BELLS), for a
// disc change and for opening a disc image.
discbuilder::DiscSpec BellDisc() {
  discbuilder::DiscSpec disc;
  disc.partitions.resize(1);
  disc.partitions[0].volumes = {
      testing::Volume("IMAGE VOL", {Program("BELLS", {Keygroup(60, 84, {"BELL"})})}, {Tone("BELL", 2000, 440.0)})};
  return disc;
}

constexpr const char* kInquiry = "VELTREX|CD-ROM DRIVE 40X|1.00";
constexpr const char* kDriveItem = "VELTREX  CD-ROM DRIVE 40X";
constexpr const char* kTitle = "Veltrex Corvix";

std::string g_flow;

void Step(const std::string& name) { wine::Section(g_flow + ": " + name); }

bool Same(const std::string& got, const std::string& want, const char* what, int line) {
  return Check(got == want, what, __FILE__, line, "got \"" + got + "\", want \"" + want + "\"");
}

std::string Joined(const std::vector<std::string>& texts) {
  std::string all;
  for (const std::string& t : texts) all += (all.empty() ? "\"" : ", \"") + t + "\"";
  return "[" + all + "]";
}

bool SameList(const std::vector<std::string>& got, const std::vector<std::string>& want, const char* what,
              int line) {
  return Check(got == want, what, __FILE__, line, "got " + Joined(got) + ", want " + Joined(want));
}

#define SAME(got, want) Same((got), (want), #got, __LINE__)
#define SAME_LIST(got, ...) SameList((got), std::vector<std::string>(__VA_ARGS__), #got, __LINE__)
#define EXPECT(condition, detail) Check((condition), #condition, __FILE__, __LINE__, (detail))

// The disc in the drive. Partition A: "STRINGS 1" (PIANO, ORGAN, PAD, whose
// L/R pair is merged, and LONG, a pair long enough to press Cancel during
// its transfer) and "DRUMS" (192-byte records); partition B: "BRASS" and
// "MANY" (one program of 40 samples, so that writing its wave pool takes a
// while).
discbuilder::DiscSpec DriveDisc() {
  using namespace discbuilder;
  DiscSpec disc;
  disc.partitions.resize(2);
  VolumeSpec strings;
  strings.name = "STRINGS 1";
  strings.samples = {Tone("PIANO C3", 4000, 130.8), Tone("ORGAN C2", 3000, 65.4), Tone("ORGAN C4", 3000, 261.6),
                     Tone("PAD L", 6000, 220.0),    Tone("PAD R", 6000, 220.5),   Tone("LONG L", 900000, 110.0),
                     Tone("LONG R", 900000, 110.5)};
  strings.programs = {Program("PIANO", {Keygroup(36, 72, {"PIANO C3"})}),
                      Program("ORGAN", {Keygroup(24, 59, {"ORGAN C2"}), Keygroup(60, 96, {"ORGAN C4"})}),
                      Program("PAD", {Keygroup(73, 108, {"PAD L", "PAD R"})}),
                      Program("LONG", {Keygroup(48, 84, {"LONG L", "LONG R"})})};
  VolumeSpec drums;
  drums.name = "DRUMS";
  drums.type = 3;
  drums.samples = {Tone("KICK", 2000, 55.0)};
  drums.programs = {Program("KIT", {Keygroup(36, 36, {"KICK"})})};
  disc.partitions[0].volumes = {strings, drums};
  VolumeSpec brass;
  brass.name = "BRASS";
  brass.samples = {Tone("HORN", 2000, 220.0)};
  brass.programs = {Program("HORNS", {Keygroup(44, 80, {"HORN"})})};
  VolumeSpec many;
  many.name = "MANY";
  ProgramSpec manyProgram = Program("MANY", {});
  for (int i = 0; i < 40; ++i) {
    const std::string name = "M" + std::to_string(i);
    many.samples.push_back(Tone(name, 20000, 100.0 + i));
    manyProgram.keygroups.push_back(Keygroup(static_cast<uint8_t>(24 + 2 * i), static_cast<uint8_t>(25 + 2 * i), {name}));
  }
  many.programs = {manyProgram};
  disc.partitions[1].volumes = {brass, many};
  return disc;
}

bool WriteDisc(const discbuilder::DiscSpec& disc, const std::string& path) {
  std::string error;
  return Check(discbuilder::WriteDiscImage(disc, path, &error), "disc image written", __FILE__, __LINE__,
               path + ": " + error);
}

// Corvix.exe on the drive disc; the tree holds the root, 2 partitions and 4
// volumes once the start-up listing is done.
constexpr int kDriveTreeItems = 7;

bool StartOnDriveDisc(Corvix& corvix, const Paths& paths,
                      std::vector<std::pair<std::string, std::string>> extra = {}) {
  const std::string image = paths.work + "drive.iso";
  if (!Exists(image) && !WriteDisc(DriveDisc(), image)) return false;
  std::vector<std::pair<std::string, std::string>> settings = {{"CORVIX_STANDIN_IMAGE", image},
                                                               {"CORVIX_STANDIN_INQUIRY", kInquiry}};
  settings.insert(settings.end(), extra.begin(), extra.end());
  if (!Check(corvix.Start(paths, settings), "Corvix.exe started and showed its window", __FILE__, __LINE__)) {
    return false;
  }
  return Check(corvix.WaitForListing(kDriveTreeItems, 4), "the start-up listing", __FILE__, __LINE__,
               std::to_string(corvix.TreeCount()) + " tree items, " + std::to_string(corvix.RowCount(corvix.contents)) +
                   " rows");
}

void Shot(HWND window, int margin, const Paths& paths, const std::string& name) {
  Pump(300);
  const std::string path = paths.screenshots + name;
  if (Check(SaveWindowShot(window, margin, path), "screenshot saved", __FILE__, __LINE__, path)) {
    std::printf("   screenshot: %s\n", path.c_str());
  }
}

bool ProgressDialogOpen(const Corvix& corvix) {
  for (HWND w : corvix.TopWindows("#32770")) {
    const std::string caption = WindowText(w);
    if (caption.find("Importing Waves") != std::string::npos ||
        caption.find("Creating .TES File") != std::string::npos || caption.find("Creating .SF2 File") != std::string::npos) {
      return true;
    }
  }
  return false;
}

// Posts a job command, picks folder in the browser, and waits until the job
// has ended (the drive unlocked again) or a message box asks for attention.
// The message box, if any, is left open and returned.
// With a disc image there is no drive to unlock: done tells the end.
MessageBoxSeen RunJob(Corvix& corvix, int command, const std::string& folder,
                      const std::function<bool()>& done = nullptr) {
  const int unlocksBefore = corvix.LogCount("PREVENT 0");
  corvix.Command(command);
  std::string why;
  Check(corvix.PickFolder(folder, &why), "folder picked in the browser", __FILE__, __LINE__, why);
  MessageBoxSeen seen;
  const bool ended = PumpUntil(
      [&] {
        if ((seen = corvix.MessageBox()).window != nullptr) return true;
        const bool finished = done ? done() : corvix.LogCount("PREVENT 0") > unlocksBefore;
        return finished && IsWindowEnabled(corvix.window) && !ProgressDialogOpen(corvix);
      },
      60000);
  Check(ended, "the job ended", __FILE__, __LINE__);
  return seen;
}

// A job that should have ended quietly: no message box (one that came is
// reported and closed, so that the flow can go on).
void NoMessage(const Corvix& corvix, const MessageBoxSeen& seen, int line) {
  if (Check(seen.window == nullptr, "no message box", __FILE__, line, seen.caption + ": " + seen.text)) return;
  corvix.Press(seen.window, IDOK);
  corvix.Press(seen.window, IDCANCEL);
}

// Whether the file at path is a well-formed RIFF file of the form type
// (what is inside is the native tests' business).
bool IsForm(const std::string& path, const char* type) {
  Chunk root;
  return WalkRiff(ReadBytes(path), &root).empty() && root.type == type;
}

// A job that should end quietly, into the folder (made here) below the
// flow's scratch folder; the folder's entries afterwards.
std::vector<std::string> Job(Corvix& corvix, int command, const std::string& folder, int line,
                             const std::function<bool()>& done = nullptr) {
  CreateDirectoryA(folder.c_str(), nullptr);
  NoMessage(corvix, RunJob(corvix, command, folder, done), line);
  return List(folder);
}

// The channel count of a WAV file, 0 when it isn't one.
int WavChannels(const std::string& path) {
  Chunk root;
  const std::vector<uint8_t> bytes = ReadBytes(path);
  if (!WalkRiff(bytes, &root).empty() || root.type != "WAVE") return 0;
  const Chunk* format = root.Find("fmt ");
  return format != nullptr && format->data.size() >= 4 ? testing::U16At(format->data, 2) : 0;
}

// A right click on a row of list, the window brought to the front first;
// the pop-up menu that opens (null when none does within wait ms).
HWND RightClickRow(const Corvix& corvix, HWND list, int row, DWORD wait = 3000) {
  SetForeground(corvix.window);
  Click(corvix.RowPoint(list, row), true);
  HWND popup = nullptr;
  PumpUntil([&] { return (popup = corvix.PopupMenu()) != nullptr; }, wait);
  return popup;
}

// The items of an open pop-up menu; the menu is closed with Escape after.
std::vector<MenuItem> PopupItemsThenEscape(const Corvix& corvix, HWND popup) {
  const auto menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
  std::vector<MenuItem> items = corvix.Menu({}, menu);
  PressKey(VK_ESCAPE);
  Check(PumpUntil([&] { return corvix.PopupMenu() == nullptr; }, 3000), "Escape closes the pop-up", __FILE__,
        __LINE__);
  return items;
}

std::vector<std::string> Texts(const std::vector<MenuItem>& items) {
  std::vector<std::string> texts;
  for (const MenuItem& item : items) texts.push_back(item.separator ? "-" : item.text);
  return texts;
}

std::vector<std::string> Grays(const std::vector<MenuItem>& items) {
  std::vector<std::string> grays;
  for (const MenuItem& item : items) grays.push_back(item.grayed ? "gray" : "on");
  return grays;
}

// The shell's "open" of .html files, pointed at this program for the flow:
// it notes what it was asked to open (see main).
class HtmlOpenRecorder {
 public:
  HtmlOpenRecorder(const std::string& self, const std::string& record) {
    RegCreateKeyExA(HKEY_CLASSES_ROOT, ".html", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &html_, nullptr);
    DWORD size = sizeof old_ - 1;
    hadOld_ = RegQueryValueExA(html_, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(old_), &size) == ERROR_SUCCESS;
    const char kind[] = "CorvixE2eGuide";
    RegSetValueExA(html_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kind), sizeof kind);
    const std::string command = "\"" + self + "\" record-open \"" + record + "\" \"%1\"";
    RegSetValueA(HKEY_CLASSES_ROOT, "CorvixE2eGuide\\shell\\open\\command", REG_SZ, command.c_str(),
                 static_cast<DWORD>(command.size()));
  }
  ~HtmlOpenRecorder() {
    if (hadOld_) {
      RegSetValueExA(html_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(old_),
                     static_cast<DWORD>(lstrlenA(old_) + 1));
    } else {
      RegDeleteValueA(html_, nullptr);
    }
    RegCloseKey(html_);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "CorvixE2eGuide");
  }
  HtmlOpenRecorder(const HtmlOpenRecorder&) = delete;
  HtmlOpenRecorder& operator=(const HtmlOpenRecorder&) = delete;

 private:
  HKEY html_ = nullptr;
  char old_[256] = {};
  bool hadOld_ = false;
};

// About, then Help Contents: the guide beside the program, opened by the shell.
void CheckAboutAndHelp(Corvix& corvix, const Paths& paths) {
  Step("About");
  corvix.Command(IDM_ABOUT);
  HWND about = nullptr;
  if (EXPECT(PumpUntil([&] { return (about = corvix.FindDialog("About Veltrex Corvix")) != nullptr; }, 5000),
             "the About dialog")) {
    SAME(WindowText(GetDlgItem(about, IDC_ABOUT_VERSION)), "Version 1.0");
    SAME(WindowText(GetDlgItem(about, IDC_ABOUT_PRODUCT)), "Veltrex Corvix");
    RECT r{};
    GetWindowRect(about, &r);
    const int wantLeft = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
    const int wantTop = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
    EXPECT(std::abs(r.left - wantLeft) <= 1 && std::abs(r.top - wantTop) <= 1,
           "at " + std::to_string(r.left) + "," + std::to_string(r.top) + ", centred " + std::to_string(wantLeft) +
               "," + std::to_string(wantTop));
    EXPECT(!IsWindowEnabled(corvix.window), "modal: the main window waits");
    Shot(about, 24, paths, "e2e-about-dialog.png");
    SetForeground(about);
    PressKey(VK_ESCAPE);
    EXPECT(PumpUntil([&] { return !IsWindow(about) && IsWindowEnabled(corvix.window); }, 3000),
           "Escape closes it: the main window again");
  }

  Step("Help Contents opens the user guide beside the program");
  const std::string record = paths.work + "opened.txt";
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  HtmlOpenRecorder recorder(self, record);
  corvix.Command(IDM_HELP_CONTENTS);
  if (EXPECT(PumpUntil([&] { return Exists(record); }, 15000), "the shell was asked to open a file")) {
    Pump(300);
    const std::vector<uint8_t> bytes = ReadBytes(record);
    std::string path(bytes.begin(), bytes.end());
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    EXPECT(lstrcmpiA(path.c_str(), (paths.programFolder + "corvix-guide.html").c_str()) == 0, path);
  }
  EXPECT(corvix.MessageBox().window == nullptr, corvix.MessageBox().text);
}

// ---------------------------------------------------------------- start-up

std::vector<std::string> Ids(const std::vector<MenuItem>& items) {
  std::vector<std::string> ids;
  for (const MenuItem& item : items) ids.push_back(item.separator ? "-" : std::to_string(item.id));
  return ids;
}

// The window as it opens, its menus, and the program commands as rows are
// selected.
void StartupFlow(const Paths& paths) {
  Step("start Corvix.exe on the drive disc");
  Corvix corvix;
  if (!StartOnDriveDisc(corvix, paths)) return;
  HTREEITEM root = corvix.Root(corvix.tree);
  HTREEITEM partitionA = corvix.Child(corvix.tree, root);
  SAME(corvix.TreeText(corvix.tree, root), "S1000 CDROM");
  SAME_LIST(corvix.ChildTexts(corvix.tree, root), {"PARTITION  A", "PARTITION  B"});
  SAME_LIST(corvix.ChildTexts(corvix.tree, partitionA), {"STRINGS 1   ", "DRUMS       "});
  SAME(WindowText(corvix.treeCaption), " Contents of CDROM");
  EXPECT(corvix.Selected(corvix.tree) == corvix.Child(corvix.tree, partitionA), "the first volume of A is open");
  SAME(WindowText(corvix.contentsCaption), " Contents of  'STRINGS 1'");
  SAME_LIST(corvix.Column(corvix.contents, 0), {"PIANO", "ORGAN", "PAD", "LONG"});
  SAME_LIST(corvix.Column(corvix.contents, 1), {"Program", "Program", "Program", "Program"});
  SAME_LIST(corvix.Column(corvix.contents, 2), {"1", "2", "1", "1"});
  SAME_LIST(corvix.Column(corvix.contents, 3), {"36-72", "24-96", "73-108", "48-84"});
  SAME_LIST(corvix.Headers(corvix.contents), {"Name", "Type", "Num kgrps", "Key Range"});
  EXPECT(!IsWindowVisible(corvix.batch) && !IsWindowVisible(corvix.batchCaption), "batch pane hidden");
  RunResourceChecks(paths.programFolder + "Corvix.exe");

  Step("the menus: texts, commands, and gray until programs are selected");
  struct MenuWant {
    std::vector<int> path;
    std::vector<std::string> texts, ids, grays;
  };
  const std::string ids[] = {std::to_string(IDM_IMPORT_WAVES), std::to_string(IDM_CONVERT_TES),
                             std::to_string(IDM_COMBINE_TES), std::to_string(IDM_ADD_TO_BATCH)};
  const MenuWant menus[] = {
      {{0}, {"Merge L/R", "-", "Exit"}, {std::to_string(IDM_MERGE_LR), "-", std::to_string(IDM_EXIT)}, {}},
      {{MENU_POS_CONVERT},
       {"Import Waves", "Convert to TES", "Combine to TES", "Add to Batch List", "Batch Converter", "-",
        "Convert to SF2", "Convert to SFZ"},
       {ids[0], ids[1], ids[2], ids[3], "4294967295", "-", std::to_string(IDM_CONVERT_SF2),
        std::to_string(IDM_CONVERT_SFZ)},
       {"gray", "gray", "gray", "gray", "gray", "gray", "gray", "gray"}},
      {{MENU_POS_CONVERT, MENU_POS_BATCH_CONVERTER},
       {"Import Waves", "Convert to TES", "Combine to TES", "Remove Item(s)", "Clear Batch List", "-",
        "Convert to SF2", "Convert to SFZ"},
       {std::to_string(IDM_BATCH_IMPORT_WAVES), std::to_string(IDM_BATCH_CONVERT_TES),
        std::to_string(IDM_BATCH_COMBINE_TES), std::to_string(IDM_REMOVE_ITEMS), std::to_string(IDM_CLEAR_BATCH), "-",
        std::to_string(IDM_BATCH_CONVERT_SF2), std::to_string(IDM_BATCH_CONVERT_SFZ)},
       {}},
      {{2}, {"Refresh", "Batch Convert List"}, {std::to_string(IDM_REFRESH), std::to_string(IDM_BATCH_VIEW)}, {}},
      {{MENU_POS_CDROM}, {kDriveItem, "-", "Open Disc Image..."},
       {std::to_string(IDM_FIRST_CDROM), "-", std::to_string(IDM_OPEN_DISC_IMAGE)}, {}},
      {{4}, {"Contents", "&About..."}, {std::to_string(IDM_HELP_CONTENTS), std::to_string(IDM_ABOUT)}, {}},
  };
  for (const MenuWant& menu : menus) {
    const std::vector<MenuItem> items = corvix.Menu(menu.path);
    SAME_LIST(Texts(items), menu.texts);
    SAME_LIST(Ids(items), menu.ids);  // a sub-menu's item has no command: 0xFFFFFFFF
    if (!menu.grays.empty()) SAME_LIST(Grays(items), menu.grays);
  }
  const std::vector<MenuItem> drives = corvix.Menu({MENU_POS_CDROM});
  EXPECT(!drives.empty() && drives[0].radio && drives[0].checked, "radio mark on the drive");
  EXPECT(corvix.MenuItemById({0}, IDM_MERGE_LR).checked, "Merge L/R checked");
  EXPECT(!corvix.MenuItemById({2}, IDM_BATCH_VIEW).checked, "Batch Convert List unchecked");
  Shot(corvix.window, 0, paths, "e2e-main-window.png");

  Step("the program commands follow the selection");
  const auto states = [&] {
    std::string s;
    for (uint32_t id : {IDM_IMPORT_WAVES, IDM_CONVERT_TES, IDM_COMBINE_TES, IDM_ADD_TO_BATCH, IDM_CONVERT_SF2,
                        IDM_CONVERT_SFZ}) {
      s += corvix.Grayed(id) ? "gray " : "on ";
    }
    return s;
  };
  const std::pair<std::vector<int>, const char*> selections[] = {{{0}, "on on gray on on on "},
                                                                 {{0, 1}, "on on on on on on "},
                                                                 {{1}, "on on gray on on on "},
                                                                 {{}, "gray gray gray gray gray gray "}};
  for (const auto& [rows, want] : selections) {
    corvix.SelectRows(corvix.contents, rows);
    SAME(states(), want);
  }

  Step("right click on program rows: POPUP1, Combine only with two");
  corvix.SelectRows(corvix.contents, {0, 2});
  HWND popup = RightClickRow(corvix, corvix.contents, 2);
  if (EXPECT(popup != nullptr, "a pop-up menu")) {
    Shot(corvix.window, 0, paths, "e2e-program-popup.png");
    const std::vector<MenuItem> items = PopupItemsThenEscape(corvix, popup);
    SAME_LIST(Texts(items), {"Import Waves", "Convert to Tes", "Combine to TES", "Add to Batch List", "-",
                             "Convert to SF2", "Convert to SFZ"});
    SAME_LIST(Grays(items), {"on", "on", "on", "on", "gray", "on", "on"});
  }
  Click(corvix.RowPoint(corvix.contents, 0), false);  // a plain click selects that row alone
  EXPECT(PumpUntil([&] { return corvix.SelectedCount(corvix.contents) == 1; }, 2000), "one row selected");
  popup = RightClickRow(corvix, corvix.contents, 0);
  if (EXPECT(popup != nullptr, "a pop-up menu")) {
    SAME_LIST(Grays(PopupItemsThenEscape(corvix, popup)), {"on", "on", "gray", "on", "gray", "on", "on"});
  }

  Step("partition A: volume rows, no pop-up, a double click opens one");
  corvix.Select(corvix.tree, partitionA);
  PumpUntil([&] { return corvix.RowCount(corvix.contents) == 2; }, 5000);
  SAME_LIST(corvix.Column(corvix.contents, 0), {"STRINGS 1", "DRUMS"});
  SAME_LIST(corvix.Column(corvix.contents, 1), {"Volume", "Volume"});
  SAME(states(), "gray gray gray gray gray gray ");
  popup = RightClickRow(corvix, corvix.contents, 1, 700);
  EXPECT(popup == nullptr, "no pop-up on a volume row");
  if (popup != nullptr) PressKey(VK_ESCAPE);
  Click(corvix.RowPoint(corvix.contents, 1), false, true);
  EXPECT(PumpUntil([&] { return corvix.TreeText(corvix.tree, corvix.Selected(corvix.tree)) == "DRUMS       "; }, 5000),
         "selected: " + corvix.TreeText(corvix.tree, corvix.Selected(corvix.tree)));
  PumpUntil([&] { return corvix.RowCount(corvix.contents) == 1; }, 5000);
  SAME_LIST(corvix.Column(corvix.contents, 0), {"KIT"});
  SAME(WindowText(corvix.contentsCaption), " Contents of  'DRUMS'");

  CheckAboutAndHelp(corvix, paths);

  Step("the drive was asked, the tray locked and unlocked in pairs");
  const std::vector<std::string> log = corvix.StandinLog();
  EXPECT(std::find(log.begin(), log.end(), "INQUIRY 0:0:0") != log.end(), "INQUIRY");
  EXPECT(corvix.LogCount("PREVENT 1") == corvix.LogCount("PREVENT 0") && corvix.LogCount("PREVENT 1") > 0,
         "locks " + std::to_string(corvix.LogCount("PREVENT 1")) + ", unlocks " +
             std::to_string(corvix.LogCount("PREVENT 0")));
  EXPECT(corvix.Exit(), "Exit ends with code 0");
}

// ---------------------------------------------------------------- jobs

constexpr UINT kNewItemMessage = 2246;
constexpr const char* kHostKey = "Software\\Veltrex\\Tessaline\\Settings";

// The stand-in sampler: a window of this process that counts the new-item
// message and notes what the registry said when each one came.
struct Sampler {
  HWND window = nullptr;
  std::vector<std::string> pathsSeen;  // "TSAppNewItemFlagSz" at each message
  std::vector<DWORD> flagsSeen;
};
Sampler g_sampler;

std::string HostValue(const char* name, DWORD* number = nullptr) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kHostKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "<no key>";
  BYTE data[1024] = {};
  DWORD size = sizeof data - 2, type = 0;
  const LONG result = RegQueryValueExA(key, name, nullptr, &type, data, &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return "<no value>";
  if (type == REG_DWORD && number != nullptr) std::memcpy(number, data, sizeof *number);
  return type == REG_SZ ? std::string(reinterpret_cast<const char*>(data)) : std::string();
}

LRESULT CALLBACK SamplerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kNewItemMessage && wParam == 1 && lParam == 0) {
    DWORD flag = 0;
    HostValue("TSAppNewItemFlag", &flag);
    g_sampler.flagsSeen.push_back(flag);
    g_sampler.pathsSeen.push_back(HostValue("TSAppNewItemFlagSz"));
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool StartSampler() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = SamplerProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "CorvixE2eSampler";
  RegisterClassA(&windowClass);
  g_sampler.window = CreateWindowA("CorvixE2eSampler", "Sampler stand-in", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kHostKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const DWORD handle = static_cast<DWORD>(reinterpret_cast<uintptr_t>(g_sampler.window));
  RegSetValueExA(key, "TSAppHwnd", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&handle), sizeof handle);
  RegDeleteValueA(key, "TSAppNewItemFlag");
  RegDeleteValueA(key, "TSAppNewItemFlagSz");
  RegCloseKey(key);
  return g_sampler.window != nullptr;
}

void CheckNotified(const std::vector<std::string>& files) {
  EXPECT(g_sampler.pathsSeen.size() == files.size(),
         std::to_string(g_sampler.pathsSeen.size()) + " messages, want " + std::to_string(files.size()));
  SAME_LIST(g_sampler.pathsSeen, files);
  EXPECT(std::all_of(g_sampler.flagsSeen.begin(), g_sampler.flagsSeen.end(), [](DWORD f) { return f == 1; }),
         "TSAppNewItemFlag = 1 at each message");
  if (!files.empty()) SAME(HostValue("TSAppNewItemFlagSz"), files.back());
  g_sampler.pathsSeen.clear();
  g_sampler.flagsSeen.clear();
}

// The jobs from the contents list and the batch list: the files each
// leaves, and the sampler told of each instrument file.
void JobsFlow(const Paths& paths) {
  if (!EXPECT(StartSampler(), "the stand-in sampler: window and registry key")) return;
  Corvix corvix;
  if (!StartOnDriveDisc(corvix, paths)) return;
  const std::string& work = paths.work;

  Step("Import Waves of PIANO and PAD, with and without Merge L/R");
  corvix.SelectRows(corvix.contents, {0, 2});
  SAME_LIST(Job(corvix, IDM_IMPORT_WAVES, work + "merged", __LINE__), {"PAD\\", "PIANO\\"});
  SAME_LIST(List(work + "merged\\PIANO"), {"PIANO C3.wav"});
  SAME_LIST(List(work + "merged\\PAD"), {"PAD LR.wav"});
  EXPECT(WavChannels(work + "merged\\PAD\\PAD LR.wav") == 2, "PAD LR: two channels");
  corvix.Command(IDM_MERGE_LR);
  EXPECT(PumpUntil([&] { return !corvix.MenuItemById({0}, IDM_MERGE_LR).checked; }, 3000), "unchecked");
  corvix.SelectRows(corvix.contents, {0, 2});
  Job(corvix, IDM_IMPORT_WAVES, work + "mono", __LINE__);
  SAME_LIST(List(work + "mono\\PAD"), {"PAD L.wav", "PAD R.wav"});
  EXPECT(WavChannels(work + "mono\\PAD\\PAD L.wav") == 1, "mono files");
  corvix.Command(IDM_MERGE_LR);
  CheckNotified({});

  Step("Convert to TES, Combine to TES, Convert to SF2 and SFZ of PIANO and ORGAN");
  const std::string convert = work + "convert", combine = work + "combine", sf2 = work + "sf2", sfz = work + "sfz";
  corvix.SelectRows(corvix.contents, {0, 1});
  SAME_LIST(Job(corvix, IDM_CONVERT_TES, convert, __LINE__), {"ORGAN.tes", "PIANO.tes"});
  EXPECT(IsForm(convert + "\\PIANO.tes", "DLS ") && IsForm(convert + "\\ORGAN.tes", "DLS "), "instrument files");
  CheckNotified({convert + "\\PIANO.tes", convert + "\\ORGAN.tes"});
  corvix.SelectRows(corvix.contents, {0, 1});
  SAME_LIST(Job(corvix, IDM_COMBINE_TES, combine, __LINE__), {"PIANO.tes"});
  CheckNotified({combine + "\\PIANO.tes"});
  corvix.SelectRows(corvix.contents, {0, 1});
  SAME_LIST(Job(corvix, IDM_CONVERT_SF2, sf2, __LINE__), {"ORGAN.sf2", "PIANO.sf2"});
  EXPECT(IsForm(sf2 + "\\PIANO.sf2", "sfbk"), "a SoundFont");
  corvix.SelectRows(corvix.contents, {0, 1});
  SAME_LIST(Job(corvix, IDM_CONVERT_SFZ, sfz, __LINE__), {"ORGAN\\", "PIANO\\"});
  SAME_LIST(List(sfz + "\\PIANO"), {"PIANO C3.wav", "PIANO.sfz"});
  CheckNotified({});

  Step("Add to Batch List shows the batch pane, each program once");
  corvix.SelectRows(corvix.contents, {0, 1, 2});
  corvix.Command(IDM_ADD_TO_BATCH);
  EXPECT(PumpUntil([&] { return corvix.RowCount(corvix.batch) == 3; }, 5000), "three batch rows");
  EXPECT(IsWindowVisible(corvix.batch) && IsWindowVisible(corvix.batchCaption), "batch pane shown");
  EXPECT(corvix.MenuItemById({2}, IDM_BATCH_VIEW).checked, "Batch Convert List checked");
  EXPECT(!corvix.BatchConverterGrayed(), "Batch Converter enabled");
  SAME(WindowText(corvix.batchCaption), " Contents of Batch Converter List");
  corvix.Command(IDM_ADD_TO_BATCH);
  Pump(300);
  SAME_LIST(corvix.Column(corvix.batch, 0), {"PIANO", "ORGAN", "PAD"});
  corvix.SelectRows(corvix.contents, {});
  Shot(corvix.window, 0, paths, "e2e-batch-pane.png");

  Step("POPUPB2, Remove Item(s)");
  HWND popup = RightClickRow(corvix, corvix.batch, 0);
  if (EXPECT(popup != nullptr, "a pop-up menu")) {
    const std::vector<MenuItem> items = PopupItemsThenEscape(corvix, popup);
    SAME_LIST(Texts(items), {"Import Waves", "Convert to TES", "Combine to TES", "-", "Remove Item(s)",
                             "Clear Batch List", "-", "Convert to SF2", "Convert to SFZ"});
    EXPECT(items.size() == 9 && !items[2].grayed, "Combine to TES enabled: three rows");
  }
  corvix.SelectRows(corvix.batch, {1});
  corvix.Command(IDM_REMOVE_ITEMS);
  EXPECT(PumpUntil([&] { return corvix.RowCount(corvix.batch) == 2; }, 5000), "one row removed");
  SAME_LIST(corvix.Column(corvix.batch, 0), {"PIANO", "PAD"});

  Step("Batch Converter on every row, none selected");
  corvix.SelectRows(corvix.batch, {});
  SAME_LIST(Job(corvix, IDM_BATCH_CONVERT_TES, work + "batch-tes", __LINE__), {"PAD.tes", "PIANO.tes"});
  CheckNotified({work + "batch-tes\\PIANO.tes", work + "batch-tes\\PAD.tes"});
  SAME_LIST(Job(corvix, IDM_BATCH_COMBINE_TES, work + "batch-combine", __LINE__), {"PIANO.tes"});
  CheckNotified({work + "batch-combine\\PIANO.tes"});
  SAME_LIST(Job(corvix, IDM_BATCH_CONVERT_SF2, work + "batch-sf2", __LINE__), {"PAD.sf2", "PIANO.sf2"});
  SAME_LIST(Job(corvix, IDM_BATCH_CONVERT_SFZ, work + "batch-sfz", __LINE__), {"PAD\\", "PIANO\\"});
  SAME_LIST(Job(corvix, IDM_BATCH_IMPORT_WAVES, work + "batch-waves", __LINE__), {"PAD\\", "PIANO\\"});

  Step("Clear Batch List grays Batch Converter");
  corvix.Command(IDM_CLEAR_BATCH);
  EXPECT(PumpUntil([&] { return corvix.RowCount(corvix.batch) == 0; }, 5000), "batch list empty");
  EXPECT(corvix.BatchConverterGrayed(), "Batch Converter gray");
  EXPECT(corvix.Exit(), "Exit ends with code 0");
  DestroyWindow(g_sampler.window);
}

// ---------------------------------------------------------------- cancel

HWND FindProgressDialog(const Corvix& corvix, const char* caption) {
  for (HWND w : corvix.TopWindows("#32770")) {
    if (WindowText(w).find(caption) != std::string::npos) return w;
  }
  return nullptr;
}

// Watches closely (a progress dialog may stand only briefly) until a
// dialog with caption appears; null after a minute.
HWND WaitForProgressDialog(const Corvix& corvix, const char* caption) {
  HWND dialog = nullptr;
  const DWORD end = GetTickCount() + 60000;
  while ((dialog = FindProgressDialog(corvix, caption)) == nullptr && static_cast<LONG>(GetTickCount() - end) < 0) {
    Sleep(2);
  }
  return dialog;
}

// A cancelled job's message: "Conversion cancelled by user" with the
// warning icon; closed with OK.
void CheckCancelledMessage(const Corvix& corvix, const Paths& paths, bool shot) {
  MessageBoxSeen seen;
  if (!EXPECT(corvix.WaitForMessageBox(&seen, 20000), "a message after Cancel")) return;
  SAME(seen.text, "Conversion cancelled by user");
  SAME(seen.caption, kTitle);
  EXPECT(seen.icon == ProbeIcon::kWarning, "icon " + std::to_string(static_cast<int>(seen.icon)));
  if (shot) Shot(seen.window, 24, paths, "e2e-cancelled-message.png");
  EXPECT(corvix.Press(seen.window, IDOK), "OK closes it");
}

void SelectVolume(const Corvix& corvix, int partition, int volume, int rows) {
  HTREEITEM item = corvix.Child(corvix.tree, corvix.Root(corvix.tree));
  for (int p = 0; p < partition && item != nullptr; ++p) item = corvix.Next(corvix.tree, item);
  item = corvix.Child(corvix.tree, item);
  for (int v = 0; v < volume && item != nullptr; ++v) item = corvix.Next(corvix.tree, item);
  corvix.Select(corvix.tree, item);
  PumpUntil([&] { return corvix.Selected(corvix.tree) == item && corvix.RowCount(corvix.contents) == rows; }, 10000);
}

// A job busy, then cancelled in either dialog: the window takes nothing
// meanwhile, no file of the job stays, and the program goes on.
void CancelFlow(const Paths& paths) {
  Step("start on a slow drive");
  Corvix corvix;
  if (!StartOnDriveDisc(corvix, paths, {{"CORVIX_STANDIN_SECTOR_DELAY_MS", "5"}})) return;

  Step("Import Waves of LONG: the window takes nothing, then Cancel in the transfer dialog");
  const std::string waves = paths.work + "waves", tes = paths.work + "tes", whole = paths.work + "whole";
  for (const std::string& folder : {waves, tes, whole}) CreateDirectoryA(folder.c_str(), nullptr);
  corvix.SelectRows(corvix.contents, {3});
  corvix.Command(IDM_IMPORT_WAVES);
  std::string why;
  EXPECT(corvix.PickFolder(waves, &why), why);
  HWND transfer = nullptr;
  if (EXPECT(PumpUntil([&] { return (transfer = FindProgressDialog(corvix, "Importing Waves")) != nullptr; }, 10000),
             "the transfer dialog")) {
    EXPECT(!IsWindowEnabled(corvix.window), "the main window is disabled: it takes no clicks or keys");
    // Commands that arrive anyway (posted, as a menu would) start nothing.
    const int treeItems = corvix.TreeCount();
    for (int id : {IDM_CONVERT_TES, IDM_IMPORT_WAVES, IDM_BATCH_VIEW, IDM_REFRESH}) corvix.Command(id);
    Pump(1000);
    EXPECT(corvix.FolderBrowser() == nullptr, "no second job asks for a folder");
    EXPECT(corvix.TreeCount() == treeItems && IsWindow(transfer), "the job goes on");
    SAME(WindowText(GetDlgItem(transfer, IDC_XFER_PROGRAM_LINE)), "Importing from  LONG        ");
    Shot(transfer, 24, paths, "e2e-transfer-dialog.png");
    EXPECT(corvix.Press(transfer, IDCANCEL, 20000), "Cancel ends the transfer");
    CheckCancelledMessage(corvix, paths, true);
  }
  EXPECT(List(waves + "\\LONG", "*.wav").empty(), Joined(List(waves + "\\LONG")));
  // The refresh asked for during the job runs now; it lists the first volume again.
  EXPECT(corvix.WaitForListing(kDriveTreeItems, 4) && IsWindowEnabled(corvix.window), "listed again, enabled");

  Step("Convert to TES of MANY: the progress dialog");
  SelectVolume(corvix, 1, 1, 1);
  corvix.SelectRows(corvix.contents, {0});
  const int unlocks = corvix.LogCount("PREVENT 0");
  corvix.Command(IDM_CONVERT_TES);
  EXPECT(corvix.PickFolder(whole, &why), why);
  // The dialog stands while the wave pool is written, and is drawn only
  // when the job lets the program handle its messages: the last picture
  // taken while it still stood shows it drawn.
  HWND creating = WaitForProgressDialog(corvix, "Creating .TES File");
  const std::string shot = paths.screenshots + "e2e-progress-dialog.png", partial = shot + ".part";
  int shots = 0;
  std::string line;
  while (creating != nullptr && IsWindow(creating)) {
    line = WindowText(GetDlgItem(creating, IDC_CREATE_LINE));
    if (SaveWindowShot(creating, 24, partial) && IsWindow(creating)) {
      MoveFileExA(partial.c_str(), shot.c_str(), MOVEFILE_REPLACE_EXISTING);
      ++shots;
    }
    Sleep(5);
  }
  DeleteFileA(partial.c_str());
  EXPECT(shots > 0, "a picture of the progress dialog");
  SAME(line, "Creating  MANY.tes");
  EXPECT(PumpUntil([&] { return corvix.LogCount("PREVENT 0") > unlocks && IsWindowEnabled(corvix.window); }, 60000),
         "the job ended");
  NoMessage(corvix, corvix.MessageBox(), __LINE__);
  EXPECT(IsForm(whole + "\\MANY.tes", "DLS "), "MANY.tes written");

  Step("Convert to TES of MANY, Cancel in the progress dialog as soon as it is there");
  corvix.Command(IDM_CONVERT_TES);
  EXPECT(corvix.PickFolder(tes, &why), why);
  creating = WaitForProgressDialog(corvix, "Creating .TES File");
  if (EXPECT(creating != nullptr, "the progress dialog")) {
    PostMessageA(GetDlgItem(creating, IDCANCEL), BM_CLICK, 0, 0);
    CheckCancelledMessage(corvix, paths, false);
  }
  EXPECT(List(tes).empty(), Joined(List(tes)));

  Step("the program stays usable: Import Waves of HORNS, Convert to TES of HORNS");
  SelectVolume(corvix, 1, 0, 1);
  corvix.SelectRows(corvix.contents, {0});
  SAME_LIST(Job(corvix, IDM_IMPORT_WAVES, waves, __LINE__), {"HORNS\\", "LONG\\"});
  corvix.SelectRows(corvix.contents, {0});
  SAME_LIST(Job(corvix, IDM_CONVERT_TES, tes, __LINE__), {"HORNS.tes"});
  EXPECT(corvix.Exit(), "Exit ends with code 0");
}

// ---------------------------------------------------------------- flow 6

// Writes the stand-in's control file: read before its next TEST UNIT READY.
bool Control(const Corvix& corvix, const std::string& text) {
  return WriteBytes(corvix.controlPath, std::vector<uint8_t>(text.begin(), text.end()));
}

void FailuresFlow(const Paths& paths) {
  const std::string other = paths.work + "other.iso", blank = paths.work + "blank.iso";
  if (!WriteDisc(BellDisc(), other) || !WriteDisc(DriveDisc(), paths.work + "drive.iso")) return;
  WriteBytes(blank, std::vector<uint8_t>(64 * 2048, 0));

  Step("a drive not ready three times, then ready");
  Corvix corvix;
  if (!EXPECT(corvix.Start(paths, {{"CORVIX_STANDIN_IMAGE", paths.work + "drive.iso"},
                                   {"CORVIX_STANDIN_INQUIRY", kInquiry},
                                   {"CORVIX_STANDIN_TUR", "2/04/01,2/04/01,2/04/01"}}),
              "started")) {
    return;
  }
  for (int i = 0; i < 3; ++i) {
    MessageBoxSeen seen;
    if (!EXPECT(corvix.WaitForMessageBox(&seen, 15000), "question " + std::to_string(i + 1))) break;
    // Under Wine the stand-in's unit has no drive letter, so the program
    // names it by its SCSI address.
    SAME(seen.text, "SCSI 0:0:0 is not accessible\n\nThe device is not ready");
    SAME(seen.caption, kTitle);
    EXPECT(seen.icon == ProbeIcon::kStop, "icon " + std::to_string(static_cast<int>(seen.icon)));
    EXPECT(GetDlgItem(seen.window, IDRETRY) != nullptr && GetDlgItem(seen.window, IDCANCEL) != nullptr,
           "Retry and Cancel");
    if (i == 0) Shot(seen.window, 24, paths, "e2e-not-ready-message.png");
    EXPECT(corvix.Press(seen.window, IDRETRY), "Retry");
  }
  EXPECT(corvix.WaitForListing(kDriveTreeItems, 4), "listed after the third Retry");
  MessageBoxSeen extra;
  EXPECT(!corvix.WaitForMessageBox(&extra, 800), "no fourth question: " + extra.text);
  EXPECT(corvix.LogCount("TUR 2/04/01") == 3, "three not-ready answers in the log");

  Step("not ready, then Cancel: an empty list");
  Control(corvix, "tur=2/04/01");
  HTREEITEM partitionA = corvix.Child(corvix.tree, corvix.Root(corvix.tree));
  HTREEITEM drums = corvix.Next(corvix.tree, corvix.Child(corvix.tree, partitionA));
  corvix.Select(corvix.tree, drums);
  MessageBoxSeen seen;
  if (EXPECT(corvix.WaitForMessageBox(&seen, 10000), "the question")) {
    EXPECT(corvix.Press(seen.window, IDCANCEL), "Cancel");
  }
  Pump(500);
  EXPECT(corvix.RowCount(corvix.contents) == 0, std::to_string(corvix.RowCount(corvix.contents)) + " rows");
  EXPECT(corvix.TreeCount() == kDriveTreeItems, "the tree stays");

  Step("a target where the file can't be created");
  // Tests run as root, so no folder is read-only to them; a folder that
  // occupies the instrument file's name makes its creation fail instead.
  SelectVolume(corvix, 0, 0, 4);
  const std::string blocked = paths.work + "blocked";
  CreateDirectoryA(blocked.c_str(), nullptr);
  CreateDirectoryA((blocked + "\\PIANO.tes").c_str(), nullptr);
  corvix.SelectRows(corvix.contents, {0});
  seen = RunJob(corvix, IDM_CONVERT_TES, blocked);
  if (EXPECT(seen.window != nullptr, "a failure message")) {
    SAME(seen.text, "Can't open file  " + blocked + "\\PIANO.tes");
    SAME(seen.caption, kTitle);
    EXPECT(seen.icon == ProbeIcon::kStop, "icon " + std::to_string(static_cast<int>(seen.icon)));
    Shot(seen.window, 24, paths, "e2e-failure-message.png");
    EXPECT(corvix.Press(seen.window, IDOK), "OK");
  }
  SAME_LIST(List(blocked), {"PIANO.tes\\"});  // no WAV file left behind
  EXPECT(PumpUntil([&] { return IsWindowEnabled(corvix.window) != FALSE; }, 5000), "usable again");

  Step("a disc change: unit attention, the tree is rebuilt");
  Control(corvix, "image=" + other + "\ntur=6/28/00");
  SelectVolume(corvix, 0, 1, 1);  // listing DRUMS meets the new disc
  const bool rebuilt = PumpUntil(
      [&] {
        HTREEITEM a = corvix.Child(corvix.tree, corvix.Root(corvix.tree));
        return a != nullptr && corvix.ChildTexts(corvix.tree, a) == std::vector<std::string>{"IMAGE VOL   "};
      },
      10000);
  EXPECT(rebuilt, "tree: " + Joined(corvix.ChildTexts(corvix.tree, corvix.Root(corvix.tree))));
  EXPECT(PumpUntil([&] { return corvix.Column(corvix.contents, 0) == std::vector<std::string>{"BELLS"}; }, 5000),
         Joined(corvix.Column(corvix.contents, 0)));
  EXPECT(corvix.LogCount("TUR 6/28/00") == 1, "one unit attention");

  Step("a disc that is not an Akai disc");
  Control(corvix, "image=" + blank + "\ntur=6/28/00");
  corvix.Select(corvix.tree, corvix.Root(corvix.tree));
  SelectVolume(corvix, 0, 0, 1);
  const bool notFound = PumpUntil(
      [&] { return corvix.TreeText(corvix.tree, corvix.Root(corvix.tree)) == "S1000 CDROM Not Found!"; }, 10000);
  EXPECT(notFound, corvix.TreeText(corvix.tree, corvix.Root(corvix.tree)));
  EXPECT(corvix.TreeCount() == 1, std::to_string(corvix.TreeCount()) + " tree items");
  EXPECT(corvix.RowCount(corvix.contents) == 0, std::to_string(corvix.RowCount(corvix.contents)) + " rows");
  EXPECT(!corvix.MessageBox().window, "no message");

  Step("Exit");
  EXPECT(corvix.Exit(), "ended with code 0");
}

// ---------------------------------------------------------------- flow 9

void DiscImageFlow(const Paths& paths) {
  Step("a cue sheet and its raw image");
  discbuilder::DiscSpec disc = BellDisc();
  disc.sectorBytes = 2352;
  disc.cueSheet = true;
  const std::string bin = paths.work + "other.bin";
  if (!WriteDisc(disc, bin)) return;
  const std::string cue = bin + ".cue";
  EXPECT(Exists(cue), cue);

  Step("start without a CD-ROM drive");
  Corvix corvix;
  // The unit answers as a type-4 device: the scan finds no CD-ROM drive.
  if (!EXPECT(corvix.Start(paths, {{"CORVIX_STANDIN_TYPE", "4"}}), "started")) return;
  EXPECT(PumpUntil([&] { return corvix.TreeCount() == 1; }, 10000), "the tree's root");
  SAME(corvix.TreeText(corvix.tree, corvix.Root(corvix.tree)), "S1000 CDROM Not Found!");
  const std::vector<MenuItem> drives = corvix.Menu({MENU_POS_CDROM});
  if (EXPECT(drives.size() == 3, std::to_string(drives.size()) + " items")) {
    SAME(drives[0].text, "No CDROM Found");
    EXPECT(drives[0].grayed, "No CDROM Found is gray");
    SAME(drives[2].text, "Open Disc Image...");
  }

  Step("Open Disc Image... with the cue sheet");
  corvix.Command(IDM_OPEN_DISC_IMAGE);
  HWND dialog = nullptr;
  if (!EXPECT(PumpUntil([&] { return (dialog = corvix.FindDialog("Open Disc Image")) != nullptr; }, 10000),
              "the file dialog")) {
    return;
  }
  HWND name = GetDlgItem(dialog, 1148);  // the file name box (cmb13), or its edit
  if (name != nullptr && ClassOf(name) == "ComboBox") name = FindWindowExA(name, nullptr, "Edit", nullptr);
  if (name == nullptr) name = GetDlgItem(dialog, 1152);  // edt1
  if (!EXPECT(name != nullptr, "the file name box")) return;
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(cue.c_str()));
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  EXPECT(PumpUntil([&] { return !IsWindow(dialog); }, 5000), "the dialog closed");
  const bool listed = PumpUntil([&] { return corvix.TreeCount() == 3 && corvix.RowCount(corvix.contents) == 1; }, 10000);
  EXPECT(listed, std::to_string(corvix.TreeCount()) + " tree items");
  SAME(corvix.TreeText(corvix.tree, corvix.Root(corvix.tree)), "S1000 CDROM");
  SAME_LIST(corvix.ChildTexts(corvix.tree, corvix.Child(corvix.tree, corvix.Root(corvix.tree))), {"IMAGE VOL   "});
  SAME(WindowText(corvix.treeCaption), " Contents of other.bin.cue");
  SAME_LIST(corvix.Column(corvix.contents, 0), {"BELLS"});
  SAME_LIST(corvix.Column(corvix.contents, 3), {"60-84"});
  EXPECT(corvix.MenuItemById({MENU_POS_CDROM}, IDM_OPEN_DISC_IMAGE).checked, "Open Disc Image... checked");

  Step("Convert to TES from the image");
  const std::string tes = paths.work + "tes";
  CreateDirectoryA(tes.c_str(), nullptr);
  corvix.SelectRows(corvix.contents, {0});
  const std::string file = tes + "\\BELLS.tes";
  NoMessage(corvix, RunJob(corvix, IDM_CONVERT_TES, tes, [&] { return Exists(file); }), __LINE__);
  Pump(300);
  SAME_LIST(List(tes), {"BELLS.tes"});
  EXPECT(IsForm(file, "DLS "), "BELLS.tes written");

  Step("Exit");
  EXPECT(corvix.Exit(), "ended with code 0");
}

const Flow kFlows[] = {
    {"startup", StartupFlow}, {"jobs", JobsFlow},         {"cancel", CancelFlow},
    {"failures", FailuresFlow}, {"image", DiscImageFlow},
};

}  // namespace

const Flow* FindFlow(const char* name) {
  for (const Flow& flow : kFlows) {
    if (std::strcmp(flow.name, name) == 0) {
      g_flow = flow.name;
      return &flow;
    }
  }
  return nullptr;
}

}  // namespace corvix::e2e
