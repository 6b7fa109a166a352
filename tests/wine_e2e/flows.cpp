// The user flows. Each starts Corvix.exe on a disc made here with the
// test-disc builder and works it from outside as a person would; what it
// should then see is written down as data beside each step: the views'
// texts, the menus' items and gray states, the files a job leaves (a RIFF
// form check: what is inside them is the native tests' business), the
// sampler stand-in's messages and the message boxes.
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "remote_ui.h"
#include "support/disc_descriptions.h"
#include "support/riff_walk.h"

namespace corvix::e2e {
namespace {

using testing::Keygroup;
using testing::Program;
using testing::Sample;
using wine::Check;

constexpr const char* kInquiry = "VELTREX|CD-ROM DRIVE 40X|1.00";
constexpr const char* kTitle = "Veltrex Corvix";
constexpr const char* kCancelled = "Conversion cancelled by user";
// Under Wine the stand-in's unit has no drive letter, so the program names
// it by its SCSI address.
constexpr const char* kNotReady = "SCSI 0:0:0 is not accessible\n\nThe device is not ready";
constexpr uint32_t kSubmenu = 0xFFFFFFFF, kSeparator = 0;

std::string g_flow;

void Step(const std::string& name) { wine::Section(g_flow + ": " + name); }

std::string Shown(const std::string& text) { return "\"" + text + "\""; }
std::string Shown(uint32_t number) { return std::to_string(number); }
template <typename T>
std::string Shown(const std::vector<T>& list) {
  std::string text = "[ ";
  for (const T& item : list) text += Shown(item) + " ";
  return text + "]";
}

// A text or a list as wanted; the wanted one takes the got one's type.
template <typename T>
bool Same(const T& got, const std::type_identity_t<T>& want, const char* what, int line) {
  return Check(got == want, what, __FILE__, line, "got " + Shown(got) + ", want " + Shown(want));
}

// The wanted value may be a braced list.
#define SAME(got, ...) Same((got), __VA_ARGS__, #got, __LINE__)
#define EXPECT(condition, detail) Check((condition), #condition, __FILE__, __LINE__, (detail))

// The disc in the drive. Partition A: "STRINGS 1" (PIANO, ORGAN, PAD, whose
// L/R pair is merged, and LONG, a pair long enough to press Cancel during
// its transfer) and "DRUMS" (192-byte records); partition B: "BRASS" and
// "MANY" (one program of 40 samples, so that writing its wave pool takes a
// while).
discbuilder::DiscSpec DriveDisc() {
  using testing::Volume;
  discbuilder::DiscSpec disc;
  disc.partitions.resize(2);
  discbuilder::VolumeSpec drums =
      Volume("DRUMS", {Program("KIT", {Keygroup(36, 36, {"KICK"})})}, {Sample("KICK", 2000)});
  drums.type = 3;
  disc.partitions[0].volumes = {
      Volume("STRINGS 1",
             {Program("PIANO", {Keygroup(36, 72, {"PIANO C3"})}),
              Program("ORGAN", {Keygroup(24, 59, {"ORGAN C2"}), Keygroup(60, 96, {"ORGAN C4"})}),
              Program("PAD", {Keygroup(73, 108, {"PAD L", "PAD R"})}),
              Program("LONG", {Keygroup(48, 84, {"LONG L", "LONG R"})})},
             {Sample("PIANO C3", 4000), Sample("ORGAN C2", 3000), Sample("ORGAN C4", 3000),
              Sample("PAD L", 6000), Sample("PAD R", 6000), Sample("LONG L", 900000),
              Sample("LONG R", 900000)}),
      drums};
  discbuilder::VolumeSpec many = Volume("MANY", {Program("MANY", {})});
  for (int i = 0; i < 40; ++i) {
    const std::string name = "M" + std::to_string(i);
    many.samples.push_back(Sample(name, 20000));
    many.programs[0].keygroups.push_back(
        Keygroup(static_cast<uint8_t>(24 + 2 * i), static_cast<uint8_t>(25 + 2 * i), {name}));
  }
  disc.partitions[1].volumes = {
      Volume("BRASS", {Program("HORNS", {Keygroup(44, 80, {"HORN"})})}, {Sample("HORN", 2000)}), many};
  return disc;
}

bool WriteDisc(const discbuilder::DiscSpec& disc, const std::string& path) {
  std::string error;
  return EXPECT(discbuilder::WriteDiscImage(disc, path, &error), path + ": " + error);
}

// Corvix.exe on the drive disc; the tree holds the root, 2 partitions and 4
// volumes once the start-up listing is done (waited for unless the flow
// answers questions first).
constexpr int kDriveTreeItems = 7;

bool StartOnDriveDisc(Corvix& corvix, const Paths& paths, Settings extra = {}, bool waitForListing = true) {
  const std::string image = paths.work + "drive.iso";
  if (!std::filesystem::exists(image) && !WriteDisc(DriveDisc(), image)) return false;
  extra.insert(extra.end(), {{"CORVIX_STANDIN_IMAGE", image}, {"CORVIX_STANDIN_INQUIRY", kInquiry}});
  if (!EXPECT(corvix.Start(paths, extra), "Corvix.exe started and showed its window")) return false;
  return !waitForListing ||
         EXPECT(corvix.WaitForListing(kDriveTreeItems, 4), std::to_string(corvix.TreeCount()) + " tree items");
}

void Shot(HWND window, int margin, const Paths& paths, const std::string& name) {
  Pump(300);
  const std::string path = paths.screenshots + name;
  if (EXPECT(SaveWindowShot(window, margin, path), path)) std::printf("   screenshot: %s\n", path.c_str());
}

// One field of each menu item: its text, its id.
template <typename T>
std::vector<T> Each(const std::vector<MenuItem>& items, T MenuItem::*field) {
  std::vector<T> values;
  for (const MenuItem& item : items) values.push_back(item.*field);
  return values;
}
std::vector<std::string> Texts(const std::vector<MenuItem>& items) { return Each(items, &MenuItem::text); }
std::vector<uint32_t> Ids(const std::vector<MenuItem>& items) { return Each(items, &MenuItem::id); }

// The texts of the gray items (separators left out).
std::vector<std::string> GrayTexts(const std::vector<MenuItem>& items) {
  std::vector<std::string> texts;
  for (const MenuItem& item : items) {
    if (item.grayed && item.text != "-") texts.push_back(item.text);
  }
  return texts;
}

// A message box the program should show: its text and icon (the caption is
// always the program's title), the button that answers it, and the name of
// its screenshot, if one is taken.
struct MessageWant {
  std::string text;
  ProbeIcon icon;
  int answer;
  const char* shot = nullptr;
};

// Waits for the message box, checks it and answers it.
bool Answer(const Corvix& corvix, const Paths& paths, const MessageWant& want, DWORD ms = 20000) {
  MessageBoxSeen seen;
  if (!EXPECT(PumpUntil([&] { return (seen = corvix.MessageBox()).window != nullptr; }, ms), want.text)) return false;
  SAME(seen.text, want.text);
  SAME(seen.caption, kTitle);
  EXPECT(seen.icon == want.icon, "icon " + std::to_string(static_cast<int>(seen.icon)));
  if (want.shot != nullptr) Shot(seen.window, 24, paths, want.shot);
  return EXPECT(corvix.Press(seen.window, want.answer), "the button that answers it");
}

// Posts a job command, picks folder (made here) in the browser, and waits
// until the job has ended (the window enabled, no progress dialog, and the
// drive unlocked again or, with a disc image, done()) or a message box asks
// for attention; that one is left open.
void RunJob(const Corvix& corvix, int command, const std::string& folder, const std::function<bool()>& done = nullptr) {
  CreateDirectoryA(folder.c_str(), nullptr);
  const int unlocksBefore = corvix.LogCount("PREVENT 0");
  corvix.Command(command);
  corvix.PickFolder(folder);
  const bool ended = PumpUntil(
      [&] {
        if (corvix.MessageBox().window != nullptr) return true;
        const bool finished = done ? done() : corvix.LogCount("PREVENT 0") > unlocksBefore;
        return finished && IsWindowEnabled(corvix.window) && corvix.FindDialog("Importing Waves") == nullptr &&
               corvix.FindDialog("Creating .") == nullptr;
      },
      60000);
  EXPECT(ended, "the job ended");
}

// No message box: one that came anyway is reported and closed, so that the
// flow goes on.
void NoMessage(const Corvix& corvix, int line) {
  const MessageBoxSeen seen = corvix.MessageBox();
  if (!Check(seen.window == nullptr, "no message box", __FILE__, line, seen.caption + ": " + seen.text)) {
    PostMessageA(seen.window, WM_CLOSE, 0, 0);
  }
}

// A job that should end quietly; the files it left below folder, each
// checked a whole RIFF form of its kind.
std::vector<std::string> QuietJob(const Corvix& corvix, int command, const std::string& folder, int line,
                                  const std::function<bool()>& done = nullptr) {
  RunJob(corvix, command, folder, done);
  NoMessage(corvix, line);
  const std::vector<std::string> files = Files(folder);
  const std::pair<const char*, const char*> forms[] = {{".tes", "DLS "}, {".sf2", "sfbk"}, {".wav", "WAVE"}};
  for (const std::string& file : files) {
    for (const auto& [extension, type] : forms) {
      if (file.size() < 4 || file.compare(file.size() - 4, 4, extension) != 0) continue;
      testing::Chunk root;
      std::ifstream in(folder + "\\" + file, std::ios::binary);
      const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
      const bool whole = testing::WalkRiff(bytes, &root).empty() && root.type == type;
      Check(whole, "a whole RIFF form of its kind", __FILE__, line, file);
    }
  }
  return files;
}

// Right-clicks a row of list (the window brought to the front first) and
// reads the pop-up menu that opens (a screenshot named shot taken of it
// first), then closes it with Escape; no items when none opens within wait
// ms.
std::vector<MenuItem> PopupAt(const Corvix& corvix, const Paths& paths, HWND list, int row,
                              const char* shot = nullptr, DWORD wait = 3000) {
  SetForeground(corvix.window);
  Click(corvix.RowPoint(list, row), true);
  std::vector<HWND> popup;
  if (!PumpUntil([&] { return !(popup = corvix.TopWindows("#32768")).empty(); }, wait)) return {};
  if (shot != nullptr) Shot(corvix.window, 0, paths, shot);
  std::vector<MenuItem> items = corvix.Menu({}, reinterpret_cast<HMENU>(SendMessageA(popup[0], MN_GETHMENU, 0, 0)));
  PressKey(VK_ESCAPE);
  EXPECT(PumpUntil([&] { return corvix.TopWindows("#32768").empty(); }, 3000), "Escape closes the pop-up");
  return items;
}

// ---------------------------------------------------------------- start-up

// The window as it opens, its menus, the commands as rows are selected, the
// pop-ups, About and Help.
void StartupFlow(const Paths& paths, Corvix& corvix) {
  Step("start Corvix.exe on the drive disc");
  if (!StartOnDriveDisc(corvix, paths)) return;
  HTREEITEM root = TreeItem(corvix.tree, TVGN_ROOT);
  SAME(corvix.TreeText(corvix.tree, root), "S1000 CDROM");
  SAME(corvix.ChildTexts(corvix.tree, root), {"PARTITION  A", "PARTITION  B"});
  SAME(corvix.ChildTexts(corvix.tree, TreeItem(corvix.tree, TVGN_CHILD, root)), {"STRINGS 1   ", "DRUMS       "});
  SAME(WindowText(corvix.treeCaption), " Contents of CDROM");
  SAME(WindowText(corvix.contentsCaption), " Contents of  'STRINGS 1'");
  const std::vector<std::string> columns[] = {{"PIANO", "ORGAN", "PAD", "LONG"},
                                              {"Program", "Program", "Program", "Program"},
                                              {"1", "2", "1", "1"},
                                              {"36-72", "24-96", "73-108", "48-84"}};
  for (int column = 0; column < 4; ++column) SAME(corvix.Column(corvix.contents, column), columns[column]);
  EXPECT(!IsWindowVisible(corvix.batch) && !IsWindowVisible(corvix.batchCaption), "batch pane hidden");

  Step("the menus: texts and commands");
  // Each menu's place, its items' texts and their commands.
  const std::tuple<std::vector<int>, std::vector<std::string>, std::vector<uint32_t>> menus[] = {
      {{0}, {"Merge L/R", "-", "Exit"}, {IDM_MERGE_LR, kSeparator, IDM_EXIT}},
      {{MENU_POS_CONVERT},
       {"Import Waves", "Convert to TES", "Combine to TES", "Add to Batch List", "Batch Converter", "-",
        "Convert to SF2", "Convert to SFZ"},
       {IDM_IMPORT_WAVES, IDM_CONVERT_TES, IDM_COMBINE_TES, IDM_ADD_TO_BATCH, kSubmenu, kSeparator, IDM_CONVERT_SF2,
        IDM_CONVERT_SFZ}},
      {{MENU_POS_CONVERT, MENU_POS_BATCH_CONVERTER},
       {"Import Waves", "Convert to TES", "Combine to TES", "Remove Item(s)", "Clear Batch List", "-",
        "Convert to SF2", "Convert to SFZ"},
       {IDM_BATCH_IMPORT_WAVES, IDM_BATCH_CONVERT_TES, IDM_BATCH_COMBINE_TES, IDM_REMOVE_ITEMS, IDM_CLEAR_BATCH,
        kSeparator, IDM_BATCH_CONVERT_SF2, IDM_BATCH_CONVERT_SFZ}},
      {{2}, {"Refresh", "Batch Convert List"}, {IDM_REFRESH, IDM_BATCH_VIEW}},
      {{MENU_POS_CDROM}, {"VELTREX  CD-ROM DRIVE 40X", "-", "Open Disc Image..."},
       {IDM_FIRST_CDROM, kSeparator, IDM_OPEN_DISC_IMAGE}},
      {{4}, {"Contents", "&About..."}, {IDM_HELP_CONTENTS, IDM_ABOUT}},
  };
  for (const auto& [path, texts, ids] : menus) {
    SAME(Texts(corvix.Menu(path)), texts);
    SAME(Ids(corvix.Menu(path)), ids);
  }
  const MenuItem drive = corvix.MenuItemById({MENU_POS_CDROM}, IDM_FIRST_CDROM);
  EXPECT(drive.radio && drive.checked, "radio mark on the drive");
  EXPECT(corvix.MenuItemById({0}, IDM_MERGE_LR).checked, "Merge L/R checked");
  EXPECT(!corvix.MenuItemById({2}, IDM_BATCH_VIEW).checked, "Batch Convert List unchecked");
  Shot(corvix.window, 0, paths, "e2e-main-window.png");

  Step("the Convert menu's gray items follow the selection");
  const std::vector<std::string> allConvert = {"Import Waves",      "Convert to TES",  "Combine to TES",
                                               "Add to Batch List", "Batch Converter", "Convert to SF2",
                                               "Convert to SFZ"};
  const std::pair<std::vector<int>, std::vector<std::string>> selections[] = {
      {{}, allConvert},
      {{0}, {"Combine to TES", "Batch Converter"}},
      {{0, 1}, {"Batch Converter"}},
  };
  for (const auto& [rows, grays] : selections) {
    corvix.SelectRows(corvix.contents, rows);
    SAME(GrayTexts(corvix.Menu({MENU_POS_CONVERT})), grays);
  }

  Step("right click on two program rows: the pop-up");
  corvix.SelectRows(corvix.contents, {0, 2});
  const std::vector<MenuItem> items = PopupAt(corvix, paths, corvix.contents, 2, "e2e-program-popup.png");
  SAME(Texts(items), {"Import Waves", "Convert to Tes", "Combine to TES", "Add to Batch List", "-",
                           "Convert to SF2", "Convert to SFZ"});
  SAME(GrayTexts(items), {});

  Step("partition A: volume rows, no pop-up, a double click opens one");
  corvix.Select(TreeItem(corvix.tree, TVGN_CHILD, root));
  PumpUntil([&] { return corvix.RowCount(corvix.contents) == 2; }, 5000);
  SAME(corvix.Column(corvix.contents, 0), {"STRINGS 1", "DRUMS"});
  SAME(corvix.Column(corvix.contents, 1), {"Volume", "Volume"});
  SAME(GrayTexts(corvix.Menu({MENU_POS_CONVERT})), allConvert);
  EXPECT(PopupAt(corvix, paths, corvix.contents, 1, nullptr, 700).empty(), "no pop-up on a volume row");
  Click(corvix.RowPoint(corvix.contents, 1), false, true);
  EXPECT(PumpUntil([&] { return TreeItem(corvix.tree, TVGN_CARET) == corvix.Volume(0, 1); }, 5000), "DRUMS selected");
  PumpUntil([&] { return corvix.RowCount(corvix.contents) == 1; }, 5000);
  SAME(corvix.Column(corvix.contents, 0), {"KIT"});
  SAME(WindowText(corvix.contentsCaption), " Contents of  'DRUMS'");

  Step("About");
  corvix.Command(IDM_ABOUT);
  HWND about = corvix.FindDialog("About Veltrex Corvix", 5000);
  EXPECT(about != nullptr, "About");
  SAME(WindowText(GetDlgItem(about, IDC_ABOUT_VERSION)), "Version 1.0");
  SAME(WindowText(GetDlgItem(about, IDC_ABOUT_PRODUCT)), "Veltrex Corvix");
  EXPECT(!IsWindowEnabled(corvix.window), "modal: the main window waits");
  Shot(about, 24, paths, "e2e-about-dialog.png");
  SetForeground(about);
  PressKey(VK_ESCAPE);
  EXPECT(PumpUntil([&] { return !IsWindow(about) && IsWindowEnabled(corvix.window); }, 3000),
         "Escape closes it: the main window again");

  Step("Help Contents opens the user guide beside the program");
  // The shell's "open" of .html files pointed at this program, which notes
  // what it was asked to open in record (see main). The prefix is the
  // tests' own, so the setting is not undone.
  const std::string record = paths.work + "opened.txt", kind = "CorvixE2eGuide";
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string command = "\"" + std::string(self) + "\" record-open \"" + record + "\" \"%1\"";
  RegSetValueA(HKEY_CLASSES_ROOT, ".html", REG_SZ, kind.c_str(), static_cast<DWORD>(kind.size()));
  RegSetValueA(HKEY_CLASSES_ROOT, (kind + "\\shell\\open\\command").c_str(), REG_SZ, command.c_str(),
               static_cast<DWORD>(command.size()));
  corvix.Command(IDM_HELP_CONTENTS);
  std::string opened;
  PumpUntil([&] { return static_cast<bool>(std::getline(std::ifstream(record), opened)); }, 15000);
  EXPECT(lstrcmpiA(opened.c_str(), (paths.programFolder + "corvix-guide.html").c_str()) == 0, "opened " + opened);
  NoMessage(corvix, __LINE__);

  Step("the drive's tray locked and unlocked in pairs");
  const int locks = corvix.LogCount("PREVENT 1"), unlocks = corvix.LogCount("PREVENT 0");
  EXPECT(locks == unlocks && locks > 0, "locks " + std::to_string(locks) + ", unlocks " + std::to_string(unlocks));
}

// ---------------------------------------------------------------- jobs

constexpr UINT kNewItemMessage = 2246;
constexpr const char* kHostKey = "Software\\Veltrex\\Tessaline\\Settings";

// A value of the sampler's registry key as text (a number in decimal).
std::string HostValue(const char* name) {
  char data[1024] = {};
  DWORD size = sizeof data - 1, type = 0;
  if (RegGetValueA(HKEY_CURRENT_USER, kHostKey, name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, data, &size) !=
      ERROR_SUCCESS) {
    return "<none>";
  }
  return type == REG_DWORD ? std::to_string(*reinterpret_cast<const DWORD*>(data)) : std::string(data);
}

// The stand-in sampler, a window of this process (a static given this
// procedure): at each new-item message
// it notes what its registry key says ("FILE, flag N").
std::vector<std::string> g_told;

LRESULT CALLBACK SamplerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kNewItemMessage || wParam != 1 || lParam != 0) return DefWindowProcA(window, message, wParam, lParam);
  g_told.push_back(HostValue("TSAppNewItemFlagSz") + ", flag " + HostValue("TSAppNewItemFlag"));
  return 1;
}

// The sampler's window, named in its registry key (the last file's values gone).
bool StartSampler() {
  HWND window = CreateWindowA("Static", "Sampler stand-in", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                              nullptr);
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SamplerProc));
  const DWORD handle = static_cast<DWORD>(reinterpret_cast<uintptr_t>(window));
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kHostKey, "TSAppNewItemFlag");
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kHostKey, "TSAppNewItemFlagSz");
  return window != nullptr &&
         RegSetKeyValueA(HKEY_CURRENT_USER, kHostKey, "TSAppHwnd", REG_DWORD, &handle, sizeof handle) == ERROR_SUCCESS;
}

// A job run from one of the lists: the rows selected there first, its
// folder (below the flow's scratch folder, named after the job), the files
// it should leave there, and the instrument files the sampler should be
// told of, in order, each with the flag set.
struct JobWant {
  int command;
  std::vector<int> rows;
  const char* folder;
  std::vector<std::string> files;
  std::vector<std::string> told;
  bool mergeLR = true;
};

void RunJobs(const Corvix& corvix, const Paths& paths, HWND list, const std::vector<JobWant>& jobs) {
  for (const JobWant& job : jobs) {
    Step(std::string("the job into ") + job.folder);
    if (corvix.MenuItemById({0}, IDM_MERGE_LR).checked != job.mergeLR) {
      corvix.Command(IDM_MERGE_LR);
      EXPECT(PumpUntil([&] { return corvix.MenuItemById({0}, IDM_MERGE_LR).checked == job.mergeLR; }, 3000),
             "Merge L/R toggled");
    }
    corvix.SelectRows(list, job.rows);
    const std::string folder = paths.work + job.folder;
    SAME(QuietJob(corvix, job.command, folder, __LINE__), job.files);
    std::vector<std::string> told;
    for (const std::string& file : job.told) told.push_back(folder + "\\" + file + ", flag 1");
    SAME(g_told, told);
    g_told.clear();
  }
}

// The jobs from the contents list and the batch list.
void JobsFlow(const Paths& paths, Corvix& corvix) {
  if (!EXPECT(StartSampler(), "the stand-in sampler: window and registry key")) return;
  if (!StartOnDriveDisc(corvix, paths)) return;
  RunJobs(corvix, paths, corvix.contents,
          {
              {IDM_IMPORT_WAVES, {0, 2}, "import-merged", {"PAD\\PAD LR.wav", "PIANO\\PIANO C3.wav"}, {}},
              {IDM_IMPORT_WAVES, {0, 2}, "import-apart", {"PAD\\PAD L.wav", "PAD\\PAD R.wav", "PIANO\\PIANO C3.wav"},
               {}, false},
              {IDM_CONVERT_TES, {0, 1}, "convert-tes", {"ORGAN.tes", "PIANO.tes"}, {"PIANO.tes", "ORGAN.tes"}},
              {IDM_COMBINE_TES, {0, 1}, "combine-tes", {"PIANO.tes"}, {"PIANO.tes"}},
              {IDM_CONVERT_SF2, {0, 1}, "convert-sf2", {"ORGAN.sf2", "PIANO.sf2"}, {}},
              {IDM_CONVERT_SFZ, {0, 1}, "convert-sfz",
               {"ORGAN\\ORGAN C2.wav", "ORGAN\\ORGAN C4.wav", "ORGAN\\ORGAN.sfz", "PIANO\\PIANO C3.wav",
                "PIANO\\PIANO.sfz"},
               {}},
          });

  Step("Add to Batch List shows the batch pane, each program once");
  corvix.SelectRows(corvix.contents, {0, 1, 2});
  corvix.Command(IDM_ADD_TO_BATCH);
  EXPECT(PumpUntil([&] { return corvix.RowCount(corvix.batch) == 3; }, 5000), "three batch rows");
  EXPECT(IsWindowVisible(corvix.batch) && IsWindowVisible(corvix.batchCaption), "batch pane shown");
  SAME(WindowText(corvix.batchCaption), " Contents of Batch Converter List");
  EXPECT(corvix.MenuItemById({2}, IDM_BATCH_VIEW).checked, "Batch Convert List checked");
  corvix.Command(IDM_ADD_TO_BATCH);
  Pump(300);
  SAME(corvix.Column(corvix.batch, 0), {"PIANO", "ORGAN", "PAD"});
  corvix.SelectRows(corvix.contents, {});
  SAME(GrayTexts(corvix.Menu({MENU_POS_CONVERT})), {"Import Waves", "Convert to TES", "Combine to TES",
                                                         "Add to Batch List", "Convert to SF2", "Convert to SFZ"});
  Shot(corvix.window, 0, paths, "e2e-batch-pane.png");

  Step("the batch list's pop-up, Remove Item(s)");
  const std::vector<MenuItem> items = PopupAt(corvix, paths, corvix.batch, 0);
  SAME(Texts(items), {"Import Waves", "Convert to TES", "Combine to TES", "-", "Remove Item(s)",
                           "Clear Batch List", "-", "Convert to SF2", "Convert to SFZ"});
  SAME(GrayTexts(items), {});
  corvix.SelectRows(corvix.batch, {1});
  corvix.Command(IDM_REMOVE_ITEMS);
  EXPECT(PumpUntil([&] { return corvix.RowCount(corvix.batch) == 2; }, 5000), "one row removed");
  SAME(corvix.Column(corvix.batch, 0), {"PIANO", "PAD"});

  // None selected in the batch list: every row.
  RunJobs(corvix, paths, corvix.batch,
          {
              {IDM_BATCH_CONVERT_TES, {}, "batch-convert-tes", {"PAD.tes", "PIANO.tes"}, {"PIANO.tes", "PAD.tes"}},
              {IDM_BATCH_COMBINE_TES, {}, "batch-combine-tes", {"PIANO.tes"}, {"PIANO.tes"}},
              {IDM_BATCH_CONVERT_SF2, {}, "batch-convert-sf2", {"PAD.sf2", "PIANO.sf2"}, {}},
              {IDM_BATCH_CONVERT_SFZ, {}, "batch-convert-sfz",
               {"PAD\\PAD LR.wav", "PAD\\PAD.sfz", "PIANO\\PIANO C3.wav", "PIANO\\PIANO.sfz"}, {}},
              {IDM_BATCH_IMPORT_WAVES, {}, "batch-import", {"PAD\\PAD LR.wav", "PIANO\\PIANO C3.wav"}, {}},
          });

  Step("Clear Batch List grays Batch Converter");
  corvix.Command(IDM_CLEAR_BATCH);
  EXPECT(PumpUntil([&] { return corvix.RowCount(corvix.batch) == 0; }, 5000), "batch list empty");
  EXPECT(corvix.MenuItemById({MENU_POS_CONVERT}, kSubmenu).grayed, "Batch Converter gray");
}

// ---------------------------------------------------------------- cancel

// A job busy, then cancelled in either dialog: the window takes nothing
// meanwhile, no file of the job stays, and the program goes on.
void CancelFlow(const Paths& paths, Corvix& corvix) {
  Step("start on a slow drive");
  if (!StartOnDriveDisc(corvix, paths, {{"CORVIX_STANDIN_SECTOR_DELAY_MS", "5"}})) return;

  Step("Import Waves of LONG: the window takes nothing, then Cancel in the transfer dialog");
  const std::string waves = paths.work + "waves", tes = paths.work + "tes", whole = paths.work + "whole";
  for (const std::string& folder : {waves, tes, whole}) CreateDirectoryA(folder.c_str(), nullptr);
  corvix.SelectRows(corvix.contents, {3});
  corvix.Command(IDM_IMPORT_WAVES);
  corvix.PickFolder(waves);
  HWND transfer = corvix.FindDialog("Importing Waves", 10000);
  if (EXPECT(transfer != nullptr, "the transfer dialog")) {
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
    Answer(corvix, paths, {kCancelled, ProbeIcon::kWarning, IDOK, "e2e-cancelled-message.png"});
  }
  SAME(Files(waves), {});
  // The refresh asked for during the job runs now; it lists the first volume again.
  EXPECT(corvix.WaitForListing(kDriveTreeItems, 4) && IsWindowEnabled(corvix.window), "listed again, enabled");

  Step("Convert to TES of MANY, Cancel in the progress dialog as soon as it is there");
  corvix.OpenVolume(1, 1, 1);
  corvix.SelectRows(corvix.contents, {0});
  corvix.Command(IDM_CONVERT_TES);
  corvix.PickFolder(tes);
  // Watched closely: the dialog (after the transfer dialog) may stand only briefly.
  HWND creating = corvix.FindDialog("Creating .TES File", 60000, 2);
  if (EXPECT(creating != nullptr, "the progress dialog")) {
    PostMessageA(GetDlgItem(creating, IDCANCEL), BM_CLICK, 0, 0);
    Answer(corvix, paths, {kCancelled, ProbeIcon::kWarning, IDOK});
  }
  SAME(Files(tes), {});

  Step("the program goes on: Convert to TES of MANY, the progress dialog");
  const int unlocks = corvix.LogCount("PREVENT 0");
  corvix.Command(IDM_CONVERT_TES);
  corvix.PickFolder(whole);
  // The dialog stands while the wave pool is written, and is drawn only
  // when the job lets the program handle its messages: the last picture
  // taken while it still stood shows it drawn.
  creating = corvix.FindDialog("Creating .TES File", 60000, 2);
  const std::string shot = paths.screenshots + "e2e-progress-dialog.png", partial = shot + ".part";
  int shots = 0;
  std::string line;
  while (creating != nullptr && IsWindow(creating)) {
    // The line as read while the dialog still stood (not as it went).
    const std::string read = WindowText(GetDlgItem(creating, IDC_CREATE_LINE));
    if (SaveWindowShot(creating, 24, partial) && IsWindow(creating)) {
      MoveFileExA(partial.c_str(), shot.c_str(), MOVEFILE_REPLACE_EXISTING);
      line = read;
      ++shots;
    }
    Sleep(5);
  }
  DeleteFileA(partial.c_str());
  EXPECT(shots > 0, "a picture of the progress dialog");
  SAME(line, "Creating  MANY.tes");
  EXPECT(PumpUntil([&] { return corvix.LogCount("PREVENT 0") > unlocks && IsWindowEnabled(corvix.window); }, 60000),
         "the job ended");
  NoMessage(corvix, __LINE__);
  SAME(Files(whole), {"MANY.tes"});
}

// ---------------------------------------------------------------- failures

// A drive not ready, a target that can't be written: what the user is
// told, and what the window shows.
void FailuresFlow(const Paths& paths, Corvix& corvix) {
  Step("a drive not ready three times, then ready");
  if (!StartOnDriveDisc(corvix, paths, {{"CORVIX_STANDIN_TUR", "2/04/01,2/04/01,2/04/01"}}, false)) return;
  for (int i = 0; i < 3; ++i) {
    const char* shot = i == 0 ? "e2e-not-ready-message.png" : nullptr;
    if (!Answer(corvix, paths, {kNotReady, ProbeIcon::kStop, IDRETRY, shot}, 15000)) break;
  }
  EXPECT(corvix.WaitForListing(kDriveTreeItems, 4), "listed after the third Retry");
  EXPECT(!PumpUntil([&] { return corvix.MessageBox().window != nullptr; }, 800), "no fourth question");
  EXPECT(corvix.LogCount("TUR 2/04/01") == 3, "three not-ready answers in the log");

  Step("not ready, then Cancel: an empty list");
  // The stand-in reads its control file before its next TEST UNIT READY.
  EXPECT(static_cast<bool>(std::ofstream(corvix.controlPath) << "tur=2/04/01"), corvix.controlPath);
  corvix.Select(corvix.Volume(0, 1));
  Answer(corvix, paths, {kNotReady, ProbeIcon::kStop, IDCANCEL}, 10000);
  Pump(500);
  EXPECT(corvix.RowCount(corvix.contents) == 0, std::to_string(corvix.RowCount(corvix.contents)) + " rows");
  EXPECT(corvix.TreeCount() == kDriveTreeItems, "the tree stays");

  Step("a target where the file can't be created");
  // Tests run as root, so no folder is read-only to them; a folder that
  // occupies the instrument file's name makes its creation fail instead.
  corvix.OpenVolume(0, 0, 4);
  const std::string blocked = paths.work + "blocked";
  CreateDirectoryA(blocked.c_str(), nullptr);
  CreateDirectoryA((blocked + "\\PIANO.tes").c_str(), nullptr);
  corvix.SelectRows(corvix.contents, {0});
  RunJob(corvix, IDM_CONVERT_TES, blocked);
  const std::string cantOpen = "Can't open file  " + blocked + "\\PIANO.tes";
  Answer(corvix, paths, {cantOpen, ProbeIcon::kStop, IDOK, "e2e-failure-message.png"});
  SAME(Files(blocked), {});  // no WAV file left behind
  EXPECT(PumpUntil([&] { return IsWindowEnabled(corvix.window) != FALSE; }, 5000), "usable again");

}

// ---------------------------------------------------------------- disc image

// No CD-ROM drive: a cue sheet opened from the CD-ROM menu, and a job from it.
void DiscImageFlow(const Paths& paths, Corvix& corvix) {
  Step("start without a CD-ROM drive");
  // A disc of one volume "IMAGE VOL" with one program BELLS.
  discbuilder::DiscSpec disc;
  disc.partitions.resize(1);
  disc.partitions[0].volumes = {
      testing::Volume("IMAGE VOL", {Program("BELLS", {Keygroup(60, 84, {"BELL"})})}, {Sample("BELL", 2000)})};
  disc.sectorBytes = 2352;
  disc.cueSheet = true;
  const std::string bin = paths.work + "other.bin", cue = bin + ".cue";
  if (!WriteDisc(disc, bin)) return;
  // The unit answers as a type-4 device: the scan finds no CD-ROM drive.
  if (!EXPECT(corvix.Start(paths, {{"CORVIX_STANDIN_TYPE", "4"}}), "started")) return;
  EXPECT(PumpUntil([&] { return corvix.TreeCount() == 1; }, 10000), "the tree's root");
  SAME(corvix.TreeText(corvix.tree, TreeItem(corvix.tree, TVGN_ROOT)), "S1000 CDROM Not Found!");
  const std::vector<MenuItem> drives = corvix.Menu({MENU_POS_CDROM});
  SAME(Texts(drives), {"No CDROM Found", "-", "Open Disc Image..."});
  SAME(GrayTexts(drives), {"No CDROM Found"});

  Step("Open Disc Image... with the cue sheet");
  corvix.Command(IDM_OPEN_DISC_IMAGE);
  HWND dialog = corvix.FindDialog("Open Disc Image", 10000);
  if (!EXPECT(dialog != nullptr, "the file dialog")) return;
  HWND name = GetDlgItem(dialog, 1148);                    // the file name box (cmb13)
  if (name == nullptr) name = GetDlgItem(dialog, 1152);  // or edt1 in the older dialog
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(cue.c_str()));
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  EXPECT(PumpUntil([&] { return !IsWindow(dialog); }, 5000), "the dialog closed");
  EXPECT(corvix.WaitForListing(3, 1, 10000), std::to_string(corvix.TreeCount()) + " tree items");
  SAME(corvix.TreeText(corvix.tree, TreeItem(corvix.tree, TVGN_ROOT)), "S1000 CDROM");
  SAME(corvix.TreeText(corvix.tree, corvix.Volume(0, 0)), "IMAGE VOL   ");
  SAME(WindowText(corvix.treeCaption), " Contents of other.bin.cue");
  SAME(corvix.Column(corvix.contents, 0), {"BELLS"});
  SAME(corvix.Column(corvix.contents, 3), {"60-84"});
  EXPECT(corvix.MenuItemById({MENU_POS_CDROM}, IDM_OPEN_DISC_IMAGE).checked, "Open Disc Image... checked");

  Step("Convert to TES from the image");
  const std::string tes = paths.work + "tes";
  corvix.SelectRows(corvix.contents, {0});
  const auto written = [&] { return std::filesystem::exists(tes + "\\BELLS.tes"); };
  SAME(QuietJob(corvix, IDM_CONVERT_TES, tes, __LINE__, written), {"BELLS.tes"});
}

}  // namespace
}  // namespace corvix::e2e

// The end-to-end driver: starts Corvix.exe (beside the stand-in
// WNASPI32.dll) and works it from this process as a person would, one flow
// per run:
//   corvix_e2e FLOW PROGRAM_FOLDER SCREENSHOT_FOLDER
// (and, as the shell's handler of .html files during the Help flow,
//   corvix_e2e record-open RECORD_FILE FILE)
// Prints each step, every failed check with its flow and step, and
// "N passed, N failed"; exits 0 only when every check passed.
int main(int argc, char** argv) {
  using namespace corvix::e2e;
  if (argc == 4 && std::strcmp(argv[1], "record-open") == 0) {
    std::ofstream(argv[2], std::ios::app | std::ios::binary) << argv[3] << "\n";
    return 0;
  }
  const std::pair<const char*, void (*)(const Paths&, Corvix&)> flows[] = {
      {"startup", StartupFlow}, {"jobs", JobsFlow}, {"cancel", CancelFlow}, {"failures", FailuresFlow},
      {"image", DiscImageFlow}};
  const auto flow = std::find_if(std::begin(flows), std::end(flows),
                                 [&](const auto& f) { return argc == 4 && std::strcmp(f.first, argv[1]) == 0; });
  if (flow == std::end(flows)) {
    std::fprintf(stderr, "usage: corvix_e2e startup|jobs|cancel|failures|image PROGRAM_FOLDER SCREENSHOT_FOLDER\n");
    return 2;
  }
  const auto withSlash = [](std::string folder) { return folder.back() == '\\' ? folder : folder + '\\'; };
  g_flow = flow->first;
  // The flow's files go to drive C: of the prefix: short paths for the
  // folder browser to walk.
  const Paths paths = {withSlash(argv[2]), withSlash(argv[3]), std::string("C:\\e2e\\") + g_flow + "\\"};
  std::error_code error;
  std::filesystem::remove_all(paths.work, error);
  std::filesystem::create_directories(paths.work, error);
  std::filesystem::create_directories(paths.screenshots, error);
  Corvix corvix;
  flow->second(paths, corvix);
  if (corvix.window != nullptr) Check(corvix.Exit(), "Exit ends with code 0", __FILE__, __LINE__);
  const corvix::wine::Tally& tally = corvix::wine::Checks();
  std::printf("flow %s: %d passed, %d failed; files in %s\n", g_flow.c_str(), tally.passed, tally.failed,
              paths.work.c_str());
  return tally.failed == 0 && tally.passed > 0 ? 0 : 1;
}
