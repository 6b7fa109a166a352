// The main window created in this process, for what a user's actions can't
// reach from outside (the end-to-end tests drive Corvix.exe through its
// windows): the device-change notices, finding a row's tree item, and going
// from a disc image back to the drive.
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>

#include <string>
#include <vector>

#include "../wine/checks.h"
#include "akai_disc_builder.h"
#include "gui_checks.h"
#include "disc_descriptions.h"
#include "common/user_messages.h"
#include "records/job_state.h"
#include "media/scsi_device.h"
#include "message_pump.h"
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

std::string WindowText(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

bool CheckText(const std::string& got, const std::string& want, const char* what, int line) {
  return Check(got == want, what, __FILE__, line, "got \"" + got + "\", want \"" + want + "\"");
}

void SelectRows(HWND list, std::initializer_list<int> rows) {
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
  for (int row : rows) ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void Command(int id) { SendMessageA(Main.window, WM_COMMAND, static_cast<WPARAM>(id), 0); }

// Two partitions, three volumes: root and five items in the tree.
discbuilder::DiscSpec TestDisc() {
  discbuilder::DiscSpec disc;
  disc.partitions.resize(2);
  discbuilder::VolumeSpec strings, drums, brass;
  strings.name = "STRINGS 1";
  strings.samples = {Tone("PIANO C3", 4000, 130.8), Tone("ORGAN C2", 3000, 65.4)};
  strings.programs = {Program("PIANO", {Keys(36, 72, {"PIANO C3"})}), Program("ORGAN", {Keys(24, 59, {"ORGAN C2"})})};
  drums.name = "DRUMS";
  drums.type = 3;
  drums.samples = {Tone("KICK", 2000, 55.0)};
  drums.programs = {Program("KIT", {Keys(36, 36, {"KICK"})})};
  brass.name = "BRASS";
  brass.samples = {Tone("HORN", 2000, 220.0)};
  brass.programs = {Program("HORNS", {Keys(40, 80, {"HORN"})})};
  disc.partitions[0].volumes = {strings, drums};
  disc.partitions[1].volumes = {brass};
  return disc;
}

}  // namespace

void RunWindowChecks(const GuiPaths& paths) {
  std::string error;
  const bool built = discbuilder::WriteDiscImage(TestDisc(), paths.work + "test.iso", &error) &&
                     discbuilder::WriteDiscImage(BellDisc(), paths.work + "other.iso", &error);
  Section("test discs");
  if (!Check(built, "discs written", __FILE__, __LINE__, error)) return;
  SetEnvironmentVariableA("CORVIX_STANDIN_IMAGE", (paths.work + "test.iso").c_str());
  SetEnvironmentVariableA("CORVIX_STANDIN_INQUIRY", "VELTREX|CD-ROM DRIVE 40X|1.00");

  Section("start-up in this process");
  if (!Check(ui::StartCorvix(GetModuleHandleA(nullptr), SW_SHOWNORMAL), "window created", __FILE__, __LINE__)) return;
  Recorder messages;
  SetUserMessages(&messages);
  PumpUntil([] { return ListView_GetItemCount(Main.contents) > 0; }, 10000);
  CHECK_EQ(SendMessageA(Main.tree, TVM_GETCOUNT, 0, 0), 6);  // root, two partitions, three volumes

  Section("the batch pane shown");
  SelectRows(Main.contents, {0, 1});
  Command(IDM_ADD_TO_BATCH);
  CHECK(Main.batchViewShown);
  SetFocus(Main.contents);
  Pump(300);
  CHECK(SaveWindowShot(Main.window, 0, paths.screenshots + "main-window.png"));

  Section("device-change notices");
  CurrentDriveIndex = 4;  // E:
  DEV_BROADCAST_VOLUME notice{};
  notice.dbcv_size = sizeof notice;
  notice.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  notice.dbcv_unitmask = 1u << 3;  // D:
  SendMessageA(Main.window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&notice));
  CHECK_EQ(BatchRows.size(), 2u);  // another drive: nothing happens
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

  Section("a disc image, a missing one, and back to the drive");
  HMENU drives = GetSubMenu(GetMenu(Main.window), MENU_POS_CDROM);
  CHECK(ui::OpenDiscImageFile(paths.work + "other.iso"));
  Pump(300);
  CHECK((GetMenuState(drives, IDM_OPEN_DISC_IMAGE, MF_BYCOMMAND) & MF_CHECKED) != 0);
  CHECK((GetMenuState(drives, IDM_FIRST_CDROM, MF_BYCOMMAND) & MF_CHECKED) == 0);
  CheckText(WindowText(Main.treeCaption), " Contents of other.iso", "tree caption of an image", __LINE__);
  CHECK(messages.texts.empty());
  CHECK(!ui::OpenDiscImageFile(paths.work + "missing.iso"));
  CHECK(messages.texts.size() == 1 && messages.texts[0].rfind("Can't open the disc image.", 0) == 0);
  Command(IDM_FIRST_CDROM);
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
