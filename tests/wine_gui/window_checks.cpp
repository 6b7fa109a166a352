// The main window against the stand-in WNASPI32.dll serving a test disc:
// Corvix.exe itself, then the same window driven in this process through
// its commands, with screenshots for people to look at.
#include <windows.h>
#undef CreateDialog  // the progress seam's method below, not the Win32 macro
#include <commctrl.h>
#include <dbt.h>

#include <functional>
#include <string>
#include <vector>

#include "../wine/checks.h"
#include "akai_disc_builder.h"
#include "gui_checks.h"
#include "disc_descriptions.h"
#include "common/user_messages.h"
#include "jobs/job_state.h"
#include "jobs/progress.h"
#include "media/scsi_device.h"
#include "message_pump.h"
#include "win_files.h"
#include "screenshot.h"
#include "ui/main_window.h"
#include "ui_logic/batch_list.h"
#include "ui_logic/resource_ids.h"


namespace corvix::wine {

namespace {

using ui::Main;

class Recorder : public UserMessages {
 public:
  int ShowMessage(const char* text, const char* caption, uint32_t style) override {
    texts.emplace_back(text != nullptr ? text : "");
    captions.emplace_back(caption != nullptr ? caption : "");
    styles.push_back(style);
    std::printf("   (message: %s)\n", text != nullptr ? text : "");
    return (style & 0x0F) == kMbRetryCancel ? kIdCancel : kIdOk;
  }
  void Refresh() override { PostMessageA(Main.window, WM_COMMAND, IDM_REFRESH, 0); }
  std::vector<std::string> texts, captions;
  std::vector<uint32_t> styles;
};

std::string ItemText(HWND tree, HTREEITEM item) {
  char text[64] = {};
  TVITEMA data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = text;
  data.cchTextMax = sizeof text;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
  return text;
}

std::vector<std::string> ChildTexts(HWND tree, HTREEITEM parent) {
  std::vector<std::string> texts;
  for (HTREEITEM item = TreeView_GetChild(tree, parent); item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
    texts.push_back(ItemText(tree, item));
  }
  return texts;
}

std::string Cell(HWND list, int row, int column) { return ui::ListItemText(list, row, column); }

std::string WindowText(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

bool CheckText(const std::string& got, const std::string& want, const char* what, int line) {
  return Check(got == want, what, __FILE__, line, "got \"" + got + "\", want \"" + want + "\"");
}

bool MenuEnabled(UINT id) { return (GetMenuState(GetMenu(Main.window), id, MF_BYCOMMAND) & MF_GRAYED) == 0; }

bool BatchConverterEnabled() {
  HMENU convert = GetSubMenu(GetMenu(Main.window), MENU_POS_CONVERT);
  return (GetMenuState(convert, MENU_POS_BATCH_CONVERTER, MF_BYPOSITION) & MF_GRAYED) == 0;
}

void SelectRows(HWND list, std::initializer_list<int> rows) {
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
  for (int row : rows) ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void Command(int id) { SendMessageA(Main.window, WM_COMMAND, static_cast<WPARAM>(id), 0); }

ChildRect RectIn(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, Main.window, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void CheckLayout(bool batchShown) {
  RECT client{};
  GetClientRect(Main.window, &client);
  const MainLayout want = LayoutForClient(client.right, client.bottom, batchShown);
  Check(RectIn(Main.tree) == want.tree, "tree placed", __FILE__, __LINE__);
  Check(RectIn(Main.contents) == want.contents, "contents list placed", __FILE__, __LINE__);
  Check(RectIn(Main.treeCaption) == want.treeCaption, "tree caption placed", __FILE__, __LINE__);
  if (batchShown) {
    Check(RectIn(Main.batch) == want.batch, "batch list placed", __FILE__, __LINE__);
    Check(RectIn(Main.batchCaption) == want.batchCaption, "batch caption placed", __FILE__, __LINE__);
  }
}

int CountFiles(const std::string& pattern) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    ++count;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return count;
}

// Partition A: "STRINGS 1" (PIANO, ORGAN, and LONG, whose stereo pair is
// long enough to watch the transfer dialog), "DRUMS" (192-byte records);
// partition B: "BRASS".
discbuilder::DiscSpec TestDisc() {
  using namespace discbuilder;
  DiscSpec discSpec;
  discSpec.partitions.resize(2);
  VolumeSpec strings;
  strings.name = "STRINGS 1";
  strings.samples = {Tone("PIANO C3", 4000, 130.8), Tone("ORGAN C2", 3000, 65.4), Tone("ORGAN C4", 3000, 261.6),
                     Tone("LONG L", 600000, 110.0), Tone("LONG R", 600000, 110.5)};
  ProgramSpec piano = Program("PIANO", {Keys(36, 72, {"PIANO C3"})});
  ProgramSpec organ = Program("ORGAN", {Keys(24, 59, {"ORGAN C2"}), Keys(60, 96, {"ORGAN C4"})});
  ProgramSpec pad = Program("LONG", {Keys(24, 108, {"LONG L", "LONG R"})});
  strings.programs = {piano, organ, pad};
  VolumeSpec drums;
  drums.name = "DRUMS";
  drums.type = 3;
  drums.samples = {Tone("KICK", 2000, 55.0)};
  drums.programs = {Program("KIT", {Keys(36, 36, {"KICK"})})};
  discSpec.partitions[0].volumes = {strings, drums};
  VolumeSpec brass;
  brass.name = "BRASS";
  brass.samples = {Tone("HORN", 2000, 220.0)};
  brass.programs = {Program("HORNS", {Keys(40, 80, {"HORN"})})};
  discSpec.partitions[1].volumes = {brass};
  return discSpec;
}

// The real progress dialogs, with a look at the transfer dialog half-way
// through the longest sample and, on request, a click on its Cancel.
class WatchedProgress : public ProgressUi {
 public:
  explicit WatchedProgress(ProgressUi& real) : real_(real) {}
  std::function<void(HWND dialog)> atHalfWay;
  int halfWaySeen = 0;

  std::unique_ptr<ProgressDialog> CreateDialog(const char* templateName) override {
    auto inner = real_.CreateDialog(templateName);
    if (!inner) return nullptr;
    return std::make_unique<Dialog>(std::move(inner), this);
  }
  void PumpMessages() override { real_.PumpMessages(); }

 private:
  class Bar : public ProgressBar {
   public:
    Bar(ProgressBar* inner, WatchedProgress* owner) : inner_(inner), owner_(owner) {}
    void SetRange(uint32_t low, uint32_t high) override {
      inner_->SetRange(low, high);
      half_ = (high - low) / 2;
      steps_ = 0;
    }
    void SetStep(uint32_t step) override { inner_->SetStep(step); }
    void StepIt() override {
      inner_->StepIt();
      if (++steps_ == half_ && half_ > 20 && owner_->atHalfWay) {
        ++owner_->halfWaySeen;
        owner_->real_.PumpMessages();
        HWND dialog = FindWindowA("#32770", "                      Importing Waves");
        owner_->atHalfWay(dialog);
      }
    }

   private:
    ProgressBar* inner_;
    WatchedProgress* owner_;
    uint32_t half_ = 0, steps_ = 0;
  };
  class Dialog : public ProgressDialog {
   public:
    Dialog(std::unique_ptr<ProgressDialog> inner, WatchedProgress* owner) : inner_(std::move(inner)), owner_(owner) {}
    ProgressBar* CreateProgressBar() override {
      ProgressBar* bar = inner_->CreateProgressBar();
      if (bar == nullptr) return nullptr;
      bar_ = std::make_unique<Bar>(bar, owner_);
      return bar_.get();
    }
    void SetItemText(int itemId, const char* text) override { inner_->SetItemText(itemId, text); }

   private:
    std::unique_ptr<ProgressDialog> inner_;
    WatchedProgress* owner_;
    std::unique_ptr<Bar> bar_;
  };
  ProgressUi& real_;
};

void RunProgramItself(const GuiPaths& paths) {
  Section("Corvix.exe starts against the stand-in ASPI");
  const std::string program = paths.programFolder + "Corvix.exe";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string commandLine = "\"" + program + "\"";
  if (!Check(CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            paths.programFolder.c_str(), &startup, &process) != FALSE,
             "Corvix.exe started", __FILE__, __LINE__, program)) {
    return;
  }
  HWND window = nullptr, tree = nullptr;
  const bool shown = PumpUntil(
      [&] {
        window = FindWindowA(ui::kClassName, nullptr);
        tree = window != nullptr ? FindWindowExA(window, nullptr, WC_TREEVIEWA, nullptr) : nullptr;
        // root, two partitions, three volumes
        return tree != nullptr && SendMessageA(tree, TVM_GETCOUNT, 0, 0) >= 6;
      },
      20000);
  if (Check(shown, "the window shows the disc's tree", __FILE__, __LINE__)) {
    CheckText(WindowText(window), "Veltrex Corvix", "window title", __LINE__);
    HWND contents = FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr);
    PumpUntil([&] { return contents != nullptr && ListView_GetItemCount(contents) == 3; }, 5000);
    CHECK_EQ(ListView_GetItemCount(contents), 3);  // the programs of the first volume
    Pump(300);
    CHECK(SaveWindowShot(window, 0, paths.screenshots + "corvix-exe.png"));
    PostMessageA(window, WM_COMMAND, IDM_EXIT, 0);
  }
  const bool ended = WaitForSingleObject(process.hProcess, 15000) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(process.hProcess, 1);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CHECK(ended);
  CHECK_EQ(code, 0u);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

HWND g_aboutSeen = nullptr;
bool g_aboutChecked = false;
GuiPaths g_paths;

void CALLBACK LookAtAbout(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND about = FindWindowA("#32770", "About Veltrex Corvix");
  if (about == nullptr) return;
  KillTimer(nullptr, timer);
  g_aboutSeen = about;
  char version[32] = {};
  GetDlgItemTextA(about, IDC_ABOUT_VERSION, version, sizeof version);
  CheckText(version, "Version 1.0", "About version line", __LINE__);
  RECT r{};
  GetWindowRect(about, &r);
  CHECK_EQ(r.left, CentredEdge(GetSystemMetrics(SM_CXSCREEN), r.right - r.left));
  CHECK_EQ(r.top, CentredEdge(GetSystemMetrics(SM_CYSCREEN), r.bottom - r.top));
  CHECK(SaveWindowShot(about, 24, g_paths.screenshots + "about-dialog.png"));
  g_aboutChecked = true;
  PostMessageA(about, WM_COMMAND, IDCANCEL, 0);  // what Escape sends
}

}  // namespace

void RunWindowChecks(const GuiPaths& paths) {
  g_paths = paths;
  std::string error;
  const bool built = discbuilder::WriteDiscImage(TestDisc(), paths.work + "test.iso", &error) &&
                     discbuilder::WriteDiscImage(BellDisc(), paths.work + "other.iso", &error);
  Section("test discs");
  if (!Check(built, "discs written", __FILE__, __LINE__, error)) return;
  CHECK(WriteBytes(paths.work + "blank.iso", std::vector<uint8_t>(64 * 2048, 0)));
  SetEnvironmentVariableA("CORVIX_STANDIN_IMAGE", (paths.work + "test.iso").c_str());
  SetEnvironmentVariableA("CORVIX_STANDIN_INQUIRY", "VELTREX|CD-ROM DRIVE 40X|1.00");

  RunProgramItself(paths);

  Section("start-up in this process");
  if (!Check(ui::StartCorvix(GetModuleHandleA(nullptr), SW_SHOWNORMAL), "window created", __FILE__, __LINE__)) return;
  Recorder messages;
  SetUserMessages(&messages);
  PumpUntil([] { return ListView_GetItemCount(Main.contents) > 0; }, 10000);

  Section("tree and contents");
  HTREEITEM root = TreeView_GetRoot(Main.tree);
  CheckText(ItemText(Main.tree, root), "S1000 CDROM", "root", __LINE__);
  const std::vector<std::string> partitions = ChildTexts(Main.tree, root);
  CHECK(partitions == std::vector<std::string>({"PARTITION  A", "PARTITION  B"}));
  HTREEITEM partitionA = TreeView_GetChild(Main.tree, root);
  CHECK(ChildTexts(Main.tree, partitionA) == std::vector<std::string>({"STRINGS 1   ", "DRUMS       "}));
  CheckText(WindowText(Main.contentsCaption), " Contents of  'STRINGS 1'", "contents caption", __LINE__);
  CheckText(WindowText(Main.treeCaption), " Contents of CDROM", "tree caption", __LINE__);
  CHECK_EQ(ListView_GetItemCount(Main.contents), 3);
  CheckText(Cell(Main.contents, 0, 0), "PIANO", "row 0 name", __LINE__);
  CheckText(Cell(Main.contents, 0, 1), "Program", "row 0 type", __LINE__);
  CheckText(Cell(Main.contents, 1, 2), "2", "ORGAN keygroups", __LINE__);
  CheckText(Cell(Main.contents, 1, 3), "24-96", "ORGAN key range", __LINE__);
  CheckLayout(false);

  Section("CD-ROM menu");
  HMENU drives = GetSubMenu(GetMenu(Main.window), MENU_POS_CDROM);
  char text[64] = {};
  GetMenuStringA(drives, 0, text, sizeof text, MF_BYPOSITION);
  CheckText(text, "VELTREX  CD-ROM DRIVE 40X", "drive item", __LINE__);
  CHECK_EQ(GetMenuItemID(drives, 0), static_cast<UINT>(IDM_FIRST_CDROM));
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STATE | MIIM_FTYPE;
  GetMenuItemInfoA(drives, 0, TRUE, &info);
  CHECK((info.fType & MFT_RADIOCHECK) != 0 && (info.fState & MFS_CHECKED) != 0);
  GetMenuStringA(drives, 2, text, sizeof text, MF_BYPOSITION);
  CheckText(text, "Open Disc Image...", "image item after the drives", __LINE__);

  Section("menu states follow the selection");
  CHECK(!MenuEnabled(IDM_IMPORT_WAVES) && !MenuEnabled(IDM_ADD_TO_BATCH));
  SelectRows(Main.contents, {0});
  CHECK(MenuEnabled(IDM_IMPORT_WAVES) && MenuEnabled(IDM_CONVERT_TES) && MenuEnabled(IDM_ADD_TO_BATCH));
  CHECK(!MenuEnabled(IDM_COMBINE_TES));
  SelectRows(Main.contents, {0, 1});
  CHECK(MenuEnabled(IDM_COMBINE_TES));
  SelectRows(Main.contents, {});
  CHECK(!MenuEnabled(IDM_IMPORT_WAVES) && !MenuEnabled(IDM_CONVERT_TES) && !MenuEnabled(IDM_COMBINE_TES) &&
        !MenuEnabled(IDM_ADD_TO_BATCH));

  Section("batch list");
  SelectRows(Main.contents, {0, 1});
  Command(IDM_ADD_TO_BATCH);
  CHECK_EQ(BatchRows.size(), 2u);
  CHECK(Main.batchViewShown && IsWindowVisible(Main.batch) && IsWindowVisible(Main.batchCaption));
  CHECK((GetMenuState(GetMenu(Main.window), IDM_BATCH_VIEW, MF_BYCOMMAND) & MF_CHECKED) != 0);
  CHECK(BatchConverterEnabled());
  CheckText(Cell(Main.batch, 1, 0), "ORGAN", "batch row name", __LINE__);
  CheckText(Cell(Main.batch, 1, 1), "A/STRINGS 1", "batch row source", __LINE__);
  CheckText(Cell(Main.batch, 1, 3), "24-96", "batch row key range", __LINE__);
  Command(IDM_ADD_TO_BATCH);
  CHECK_EQ(BatchRows.size(), 2u);  // each program once
  CheckLayout(true);
  SetFocus(Main.contents);
  Pump(300);
  CHECK(SaveWindowShot(Main.window, 0, paths.screenshots + "main-window.png"));
  Command(IDM_MERGE_LR);
  CHECK_EQ(MergeStereoPairs, 0);
  Command(IDM_MERGE_LR);
  CHECK_EQ(MergeStereoPairs, 1);
  CHECK((GetMenuState(GetMenu(Main.window), IDM_MERGE_LR, MF_BYCOMMAND) & MF_CHECKED) != 0);

  Section("Import Waves with the transfer dialog");
  const std::string waves = paths.work + "waves";
  CreateDirectoryA(waves.c_str(), nullptr);
  ui::SetFolderAnswerForTests(waves);
  WatchedProgress watched(CurrentProgressUi());
  SetProgressUi(&watched);
  bool mainDisabledDuringJob = false, cancelLive = false;
  std::string programLine;
  watched.atHalfWay = [&](HWND dialog) {
    if (!Check(dialog != nullptr, "transfer dialog open", __FILE__, __LINE__)) return;
    mainDisabledDuringJob = !IsWindowEnabled(Main.window);
    cancelLive = IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)) != FALSE;
    char line[64] = {};
    GetDlgItemTextA(dialog, IDC_XFER_PROGRAM_LINE, line, sizeof line);
    programLine = line;
    CHECK(SaveScreenshot(paths.screenshots + "transfer-dialog.png"));
  };
  SelectRows(Main.contents, {2});  // LONG
  Command(IDM_IMPORT_WAVES);
  CHECK(watched.halfWaySeen > 0);
  CHECK(mainDisabledDuringJob);
  CHECK(cancelLive);
  CheckText(programLine, "Importing from  LONG        ", "program line", __LINE__);
  CHECK(IsWindowEnabled(Main.window));
  CHECK_EQ(CountFiles(waves + "\\LONG\\LONG LR.wav"), 1);  // the pair, merged
  CHECK(messages.texts.empty());

  // Cancel half-way: the job ends with the warning and leaves no file.
  watched.atHalfWay = [](HWND dialog) {
    if (dialog != nullptr) SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  };
  DeleteFileA((waves + "\\LONG\\LONG LR.wav").c_str());
  Command(IDM_IMPORT_WAVES);
  if (Check(messages.texts.size() == 1, "one message after Cancel", __FILE__, __LINE__)) {
    CheckText(messages.texts[0], "Conversion cancelled by user", "cancel message", __LINE__);
    CheckText(messages.captions[0], "Veltrex Corvix", "cancel caption", __LINE__);
    CHECK_EQ(messages.styles[0], static_cast<uint32_t>(kMbOk | kMbIconWarning));
  }
  messages.texts.clear();
  watched.atHalfWay = nullptr;

  Section("Convert to TES");
  SelectRows(Main.contents, {0});
  Command(IDM_CONVERT_TES);
  CHECK_EQ(CountFiles(waves + "\\PIANO*.tes"), 1);
  CHECK_EQ(CountFiles(waves + "\\*.wav"), 0);  // the samples went into the file
  CHECK(messages.texts.empty());
  SetProgressUi(nullptr);
  ui::InstallWindowSeams();
  SetUserMessages(&messages);

  Section("removing batch rows");
  SelectRows(Main.batch, {0});
  Command(IDM_REMOVE_ITEMS);
  CHECK_EQ(BatchRows.size(), 1u);
  CheckText(Cell(Main.batch, 0, 0), "ORGAN", "row left", __LINE__);
  CHECK(BatchConverterEnabled());
  Command(IDM_CLEAR_BATCH);
  CHECK_EQ(BatchRows.size(), 0u);
  CHECK_EQ(ListView_GetItemCount(Main.batch), 0);
  CHECK(!BatchConverterEnabled());

  Section("device-change notices");
  SelectRows(Main.contents, {0});
  Command(IDM_ADD_TO_BATCH);
  CurrentDriveIndex = 4;  // E:
  DEV_BROADCAST_VOLUME notice{};
  notice.dbcv_size = sizeof notice;
  notice.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  notice.dbcv_unitmask = 1u << 3;  // D:
  SendMessageA(Main.window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&notice));
  CHECK_EQ(BatchRows.size(), 1u);  // another drive: nothing happens
  notice.dbcv_unitmask = (1u << 4) | (1u << 6);  // E: and G:
  SendMessageA(Main.window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&notice));
  Pump(200);
  CHECK_EQ(BatchRows.size(), 0u);  // refreshed: the batch list is emptied
  CHECK_EQ(SendMessageA(Main.tree, TVM_GETCOUNT, 0, 0), 6);
  CurrentDriveIndex = kNoDriveIndex;

  Section("a partition row leads to its tree item");
  TreeView_SelectItem(Main.tree, TreeView_GetRoot(Main.tree));
  CHECK_EQ(ListView_GetItemCount(Main.contents), 2);
  HTREEITEM found = ui::FindTreeItemByData(Main.tree, TreeView_GetRoot(Main.tree), ui::ListRowRecord(Main.contents, 1));
  CHECK(found != nullptr && ItemText(Main.tree, found) == "PARTITION  B");

  Section("About dialog");
  SetTimer(nullptr, 0, 200, LookAtAbout);
  Command(IDM_ABOUT);  // returns when the dialog has closed
  CHECK(g_aboutChecked);
  CHECK(!IsWindow(g_aboutSeen));

  Section("disc images");
  CHECK(ui::OpenDiscImageFile(paths.work + "other.iso"));
  Pump(300);
  root = TreeView_GetRoot(Main.tree);
  CHECK(ChildTexts(Main.tree, TreeView_GetChild(Main.tree, root)) == std::vector<std::string>({"IMAGE VOL   "}));
  CHECK((GetMenuState(drives, IDM_OPEN_DISC_IMAGE, MF_BYCOMMAND) & MF_CHECKED) != 0);
  CHECK((GetMenuState(drives, IDM_FIRST_CDROM, MF_BYCOMMAND) & MF_CHECKED) == 0);
  CheckText(WindowText(Main.treeCaption), " Contents of other.iso", "tree caption of an image", __LINE__);
  CHECK(ui::OpenDiscImageFile(paths.work + "blank.iso"));
  Pump(300);
  CheckText(ItemText(Main.tree, TreeView_GetRoot(Main.tree)), "S1000 CDROM Not Found!", "not an Akai disc", __LINE__);
  CHECK(!ui::OpenDiscImageFile(paths.work + "missing.iso"));
  Command(IDM_FIRST_CDROM);  // back to the drive
  Pump(300);
  CHECK_EQ(SendMessageA(Main.tree, TVM_GETCOUNT, 0, 0), 6);
  CHECK((GetMenuState(drives, IDM_FIRST_CDROM, MF_BYCOMMAND) & MF_CHECKED) != 0);
  CHECK((GetMenuState(drives, IDM_OPEN_DISC_IMAGE, MF_BYCOMMAND) & MF_CHECKED) == 0);

  Section("Exit");
  Command(IDM_EXIT);
  MSG message;
  CHECK(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE);
  CHECK(Main.shutDown);
  DestroyWindow(Main.window);
  ui::EndCorvix();
  SetUserMessages(nullptr);
}

}  // namespace corvix::wine
