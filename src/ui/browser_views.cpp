// The disc browser: the tree of partitions and volumes, the contents list of
// the selected tree item, the batch list, and the captions above them.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "common/messages.h"
#include "common/user_messages.h"
#include "media/akai_names.h"
#include "media/disc_listing.h"
#include "media/job_disc.h"
#include "media/sector_source.h"
#include "ui/main_window.h"
#include "ui_logic/batch_list.h"
#include "ui_logic/resource_ids.h"

namespace corvix::ui {

HIMAGELIST TreeImages = nullptr;
HIMAGELIST ContentsImages = nullptr;
HIMAGELIST BatchImages = nullptr;

namespace {

// Image indices in the tree's list and in the lists' lists.
enum TreeImage { kTreeDisc, kTreeNoDisc, kTreePartition, kTreePartitionOpen, kTreeVolume, kTreeVolumeOpen };
enum ListImage { kListDisc, kListPartition, kListVolume, kListProgram };

constexpr COLORREF kClearColour = RGB(255, 0, 255);  // the bitmaps' see-through colour
constexpr int kTextChars = 31;                        // item texts read back from the views
constexpr int kColumnWidth = 75;

// An image list of the bitmaps given; null (nothing left over) when any
// bitmap could not be added.
HIMAGELIST MakeImageList(std::initializer_list<int> bitmaps) {
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, static_cast<int>(bitmaps.size()), 0);
  if (list == nullptr) return nullptr;
  for (int id : bitmaps) {
    HBITMAP bitmap = LoadBitmapA(Main.instance, MAKEINTRESOURCEA(id));
    if (bitmap != nullptr) {
      ImageList_AddMasked(list, bitmap, kClearColour);
      DeleteObject(bitmap);
    }
  }
  if (ImageList_GetImageCount(list) < static_cast<int>(bitmaps.size())) {
    ImageList_Destroy(list);
    return nullptr;
  }
  return list;
}

std::string LoadText(UINT id) {
  char text[64] = {};
  LoadStringA(Main.instance, id, text, sizeof text);
  return text;
}

RECT ParentClient(HWND parent) {
  RECT client{};
  GetClientRect(parent, &client);
  return client;
}

bool AddColumn(HWND list, int index, const std::string& heading, int width) {
  LVCOLUMNA column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = width;
  column.pszText = const_cast<char*>(heading.c_str());
  column.iSubItem = index;
  return ListView_InsertColumn(list, index, &column) == index;
}

HWND CreateList(HWND parent, const ChildRect& r, bool visible, HIMAGELIST* images,
                const char* column1, int column1Width) {
  HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                              WS_CHILD | (visible ? WS_VISIBLE : 0) | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                              r.left, r.top, r.width, r.height, parent, nullptr, Main.instance, nullptr);
  if (list == nullptr) return nullptr;
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  *images = MakeImageList({IDB_DISC, IDB_PARTITION, IDB_VOLUME, IDB_PROGRAM});
  if (*images == nullptr || !AddColumn(list, 0, LoadText(IDS_COLUMN_NAME), 125) ||
      !AddColumn(list, 1, column1, column1Width) ||
      !AddColumn(list, 2, LoadText(IDS_COLUMN_KEYGROUPS), kColumnWidth) ||
      !AddColumn(list, 3, LoadText(IDS_COLUMN_KEY_RANGE), kColumnWidth)) {
    if (*images != nullptr) ImageList_Destroy(*images);
    *images = nullptr;
    DestroyWindow(list);
    return nullptr;
  }
  ListView_SetImageList(list, *images, LVSIL_SMALL);
  return list;
}

HTREEITEM InsertTreeItem(HWND tree, HTREEITEM parent, const char* text, int image, int selectedImage,
                         const BrowserItem* record) {
  TVINSERTSTRUCTA insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>(text);
  insert.item.iImage = image;
  insert.item.iSelectedImage = selectedImage;
  insert.item.lParam = reinterpret_cast<LPARAM>(record);
  return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

int InsertListRow(HWND list, int row, const std::string& text, int image, const BrowserItem* record) {
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = row;
  item.pszText = const_cast<char*>(text.c_str());
  item.iImage = image;
  item.lParam = reinterpret_cast<LPARAM>(record);
  return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetCell(HWND list, int row, int column, const std::string& text) {
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text.c_str());
  SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::string Trimmed(const std::string& text) { return TrimmedName(text.substr(0, kTextChars)); }

// The popup progress window shown while the partitions are read.
class PartitionProgress {
 public:
  explicit PartitionProgress(uint32_t partitions) {
    RECT main{};
    GetWindowRect(Main.window, &main);
    const int width = main.right - main.left;
    const int height = main.bottom - main.top;
    bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "                     Reading Partition Information",
                           WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_VISIBLE | WS_BORDER,
                           main.left + width / 4, main.top + height / 3, width / 2, 40, Main.window,
                           nullptr, Main.instance, nullptr);
    if (bar_ == nullptr) return;
    SendMessageA(bar_, PBM_SETRANGE32, 0, static_cast<LPARAM>(partitions));
    SendMessageA(bar_, PBM_SETSTEP, 1, 0);
    UpdateWindow(bar_);
  }
  ~PartitionProgress() {
    if (bar_ != nullptr) DestroyWindow(bar_);
  }
  void Step() {
    if (bar_ == nullptr) return;
    SendMessageA(bar_, PBM_STEPIT, 0, 0);
    UpdateWindow(bar_);
  }

 private:
  HWND bar_ = nullptr;
};

// The disc the window shows: the tree's volume tables, then the directories
// of the volumes listed, each read once until the tree is filled again.
std::unique_ptr<JobDisc> ShownDisc;

void AddPartitionsAndVolumes(HWND tree, HTREEITEM root) {
  JobDisc& disc = *ShownDisc;
  const uint32_t partitions = disc.partitionCount();
  if (partitions == 0) return;
  PartitionProgress progress(partitions);
  for (uint32_t p = 0; p < partitions; ++p) {
    progress.Step();
    const auto partition = static_cast<uint8_t>(p);
    disc.ReadVolumeTables({partition});
    const BrowserItem* record = TreeItems.Add(MakeBrowserItem(kKindPartition, partition));
    if (record == nullptr) {
      InsertTreeItem(tree, root, "(not enough memory for the rest of the disc)", kTreeNoDisc, kTreeNoDisc,
                     nullptr);
      return;
    }
    HTREEITEM partitionItem = InsertTreeItem(tree, root, PartitionItemText(partition).c_str(), kTreePartition,
                                             kTreePartitionOpen, record);
    for (int s = 0; s < kVolumesPerPartition; ++s) {
      const VolumeEntry* volume = disc.Volume(partition, static_cast<uint16_t>(s));
      if (volume == nullptr || volume->type == 0) continue;
      const BrowserItem* volumeRecord =
          TreeItems.Add(MakeBrowserItem(kKindVolume, partition, static_cast<uint8_t>(s)));
      if (volumeRecord == nullptr) {
        InsertTreeItem(tree, root, "(not enough memory for the rest of the disc)", kTreeNoDisc,
                       kTreeNoDisc, nullptr);
        return;
      }
      InsertTreeItem(tree, partitionItem, volume->name, kTreeVolume, kTreeVolumeOpen, volumeRecord);
    }
  }
}

// Lists the children of a tree item (partitions or volumes).
void ListChildren(HTREEITEM item, int image, const char* type) {
  int row = 0;
  for (HTREEITEM child = TreeView_GetChild(Main.tree, item); child != nullptr;
       child = TreeView_GetNextSibling(Main.tree, child)) {
    TVITEMA data{};
    data.mask = TVIF_PARAM;
    data.hItem = child;
    SendMessageA(Main.tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
    const auto* record = reinterpret_cast<const BrowserItem*>(data.lParam);
    if (record == nullptr) continue;  // a note, not a part of the disc
    InsertListRow(Main.contents, row, Trimmed(TreeItemText(child)), image, record);
    SetCell(Main.contents, row, 1, type);
    ++row;
  }
}

void ListPrograms(const BrowserItem& volumeRecord) {
  if (ShownDisc == nullptr || !EnsureMediumReady()) return;
  MediumLock lock;
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  JobDisc& disc = *ShownDisc;
  disc.ReadDirectories({{volumeRecord.partition, volumeRecord.volume}});
  const VolumeEntry* volume = disc.Volume(volumeRecord.partition, volumeRecord.volume);
  if (volume == nullptr) return;
  const int count = volume->programs == nullptr ? 0 : std::min<int>({volume->programCount, kMaxPrograms, kProgramItemCount});
  // The programs' summaries, the files in disc order; one that can't be
  // read shows like a program without keygroups.
  std::vector<ProgramSummary> summaries(static_cast<size_t>(count));
  std::unique_ptr<bool[]> readable(new bool[static_cast<size_t>(count) + 1]);
  SummarizeVolumePrograms(disc, volumeRecord.partition, volumeRecord.volume, summaries.data(), readable.get(), count);
  for (int i = 0; i < count; ++i) {
    BrowserItem& record = ProgramItems[i];
    record = MakeBrowserItem(kKindProgram, volumeRecord.partition, volumeRecord.volume, static_cast<uint8_t>(i));
    record.summary = summaries[static_cast<size_t>(i)];
    InsertListRow(Main.contents, i, Trimmed(volume->programs[i].name), kListProgram, &record);
    SetCell(Main.contents, i, 1, "Program");
    SetCell(Main.contents, i, 2, std::to_string(record.summary.keygroupCount));
    SetCell(Main.contents, i, 3, KeyRangeText(record.summary));
  }
}

void FillContentsList(HTREEITEM item, const BrowserItem& record) {
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  switch (record.kind) {
    case kKindRoot:
      ListChildren(item, kListPartition, "Partition");
      break;
    case kKindPartition:
      ListChildren(item, kListVolume, "Volume");
      break;
    case kKindVolume:
      ListPrograms(record);
      break;
    default:
      break;
  }
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
}

// Where a batch row's program comes from: "A/STRINGS 1".
std::string SourceOf(const BrowserItem& record) {
  std::string label = PartitionLabel(record.partition);
  const VolumeEntry* volume = ShownDisc != nullptr ? ShownDisc->Volume(record.partition, record.volume) : nullptr;
  if (volume != nullptr) label += "/" + Trimmed(volume->name);
  return label;
}

}  // namespace

HWND CreateTreeView(HWND parent) {
  const RECT client = ParentClient(parent);
  const ChildRect r = LayoutAtCreation(client.right, client.bottom).tree;
  HWND tree = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                              WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                                  TVS_SHOWSELALWAYS,
                              r.left, r.top, r.width, r.height, parent, nullptr, Main.instance, nullptr);
  if (tree == nullptr) return nullptr;
  TreeImages = MakeImageList(
      {IDB_DISC, IDB_DISC_NOT_FOUND, IDB_PARTITION, IDB_PARTITION_OPEN, IDB_VOLUME, IDB_VOLUME_OPEN, IDB_PROGRAM});
  if (TreeImages == nullptr) {
    DestroyWindow(tree);
    return nullptr;
  }
  TreeView_SetImageList(tree, TreeImages, TVSIL_NORMAL);
  return tree;
}

HWND CreateContentsList(HWND parent) {
  const RECT client = ParentClient(parent);
  return CreateList(parent, LayoutAtCreation(client.right, client.bottom).contents, true, &ContentsImages,
                    LoadText(IDS_COLUMN_TYPE).c_str(), kColumnWidth);
}

HWND CreateBatchList(HWND parent) {
  const RECT client = ParentClient(parent);
  // Column 1 tells where each program comes from: programs of several
  // volumes meet in the batch list.
  return CreateList(parent, LayoutAtCreation(client.right, client.bottom).batch, false, &BatchImages, "From",
                    100);
}

void CreateCaptions(HWND parent) {
  const RECT client = ParentClient(parent);
  const MainLayout layout = LayoutAtCreation(client.right, client.bottom);
  const auto make = [parent](const ChildRect& r, bool visible) {
    return CreateWindowExA(WS_EX_STATICEDGE, "STATIC", "",
                           WS_CHILD | (visible ? WS_VISIBLE : 0) | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, r.left,
                           r.top, r.width, r.height, parent, nullptr, Main.instance, nullptr);
  };
  Main.treeCaption = make(layout.treeCaption, true);
  Main.contentsCaption = make(layout.contentsCaption, true);
  Main.batchCaption = make(layout.batchCaption, false);
}

int FillTree(HWND tree) {
  MediumLock lock;
  TreeItems.Reset();
  ShownDisc = std::make_unique<JobDisc>();
  if (!ShownDisc->Open()) {
    InsertTreeItem(tree, TVI_ROOT, LoadText(IDS_DISC_NOT_FOUND).c_str(), kTreeNoDisc, kTreeNoDisc, nullptr);
    return 1;
  }
  BrowserItem* root = TreeItems.at(0);
  HTREEITEM rootItem = InsertTreeItem(tree, TVI_ROOT, LoadText(IDS_DISC).c_str(), kTreeDisc, kTreeDisc, root);
  AddPartitionsAndVolumes(tree, rootItem);
  TreeView_Expand(tree, rootItem, TVE_EXPAND);
  return 1;
}

int OnTreeSelChanged(const NMTREEVIEWA& notice) {
  const auto* record = reinterpret_cast<const BrowserItem*>(notice.itemNew.lParam);
  if (notice.itemNew.hItem == nullptr || record == nullptr) return 1;
  if (!TreeItems.Holds(record)) {
    ShowMainAssert(__LINE__);
    return 1;
  }
  if (Main.contents != nullptr) ListView_DeleteAllItems(Main.contents);
  UpdateWindow(Main.window);
  if (Main.contentsCaption != nullptr) {
    const std::string caption = " Contents of  '" + Trimmed(TreeItemText(notice.itemNew.hItem)) + "'";
    SetWindowTextA(Main.contentsCaption, caption.c_str());
  }
  if (Main.contents != nullptr) FillContentsList(notice.itemNew.hItem, *record);
  EnableProgramCommands(StatesForSelection(0));
  return 1;
}

int OnContentsItemChanged(const NMLISTVIEW& notice) {
  // Whatever changed the selection (mouse, keyboard, Ctrl+A), the commands
  // follow the rows selected now.
  if ((notice.uChanged & LVIF_STATE) == 0 || ((notice.uNewState ^ notice.uOldState) & LVIS_SELECTED) == 0) {
    return 1;
  }
  UpdateProgramCommands();
  return 1;
}

void UpdateProgramCommands() {
  int programs = 0;
  if (Main.contents != nullptr) {
    int row = -1;
    while ((row = ListView_GetNextItem(Main.contents, row, LVNI_SELECTED)) != -1) {
      const BrowserItem* record = ListRowRecord(Main.contents, row);
      if (record != nullptr && record->kind == kKindProgram) ++programs;
    }
  }
  EnableProgramCommands(StatesForSelection(programs));
}

const BrowserItem* ListItemUnderCursor(HWND list) {
  if (list == nullptr) return nullptr;
  const DWORD position = GetMessagePos();
  LVHITTESTINFO hit{};
  hit.pt = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
  ScreenToClient(list, &hit.pt);
  const int row = ListView_HitTest(list, &hit);
  return row < 0 ? nullptr : ListRowRecord(list, row);
}

const BrowserItem* ListRowRecord(HWND list, int row) {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (list == nullptr || !SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  const auto* record = reinterpret_cast<const BrowserItem*>(item.lParam);
  if (record == nullptr) return nullptr;
  if (list == Main.batch) return record == BatchRows.row(static_cast<size_t>(row)) ? record : nullptr;
  const bool program = record >= ProgramItems && record < ProgramItems + kProgramItemCount;
  return program || TreeItems.Holds(record) ? record : nullptr;
}

HTREEITEM FindTreeItemByData(HWND tree, HTREEITEM start, const BrowserItem* record) {
  for (HTREEITEM item = start; item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
    TVITEMA data{};
    data.mask = TVIF_PARAM;
    data.hItem = item;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
    if (reinterpret_cast<const BrowserItem*>(data.lParam) == record) return item;
    if (HTREEITEM found = FindTreeItemByData(tree, TreeView_GetChild(tree, item), record)) return found;
  }
  return nullptr;
}

int AddToBatchList(int contentsRow, const BrowserItem* record) {
  if (record == nullptr || Main.batch == nullptr) return 0;
  const BrowserItem* copy = BatchRows.Add(*record);
  if (copy == nullptr) return 0;
  const int row = static_cast<int>(BatchRows.size()) - 1;
  InsertListRow(Main.batch, row, ListItemText(Main.contents, contentsRow, 0), kListProgram, copy);
  SetCell(Main.batch, row, 1, SourceOf(*copy));
  SetCell(Main.batch, row, 2, ListItemText(Main.contents, contentsRow, 2));
  SetCell(Main.batch, row, 3, ListItemText(Main.contents, contentsRow, 3));
  return 1;
}

std::string TreeItemText(HTREEITEM item) {
  char text[kTextChars + 1] = {};
  TVITEMA data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = text;
  data.cchTextMax = sizeof text;
  SendMessageA(Main.tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
  return text;
}

std::string ListItemText(HWND list, int row, int column) {
  char text[kTextChars + 1] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

void SelectFirstVolume() {
  if (Main.tree == nullptr) return;
  HTREEITEM partition = TreeView_GetChild(Main.tree, TreeView_GetRoot(Main.tree));
  HTREEITEM volume = partition != nullptr ? TreeView_GetChild(Main.tree, partition) : nullptr;
  if (volume != nullptr) TreeView_SelectItem(Main.tree, volume);
}

bool RowsForCommand(HWND list, const char* failureCaption, std::vector<const BrowserItem*>* rows) {
  rows->clear();
  const bool all = list == Main.batch;
  int row = -1;
  while ((row = ListView_GetNextItem(list, row, all ? LVNI_ALL : LVNI_SELECTED)) != -1) {
    const BrowserItem* record = ListRowRecord(list, row);
    if (record == nullptr) {
      ShowMessageBox(kCouldntSelectItem, failureCaption, kMbOk);
      return false;
    }
    rows->push_back(record);
  }
  return true;
}

int SelectedRowCount(HWND list) { return list == nullptr ? 0 : static_cast<int>(ListView_GetSelectedCount(list)); }

}  // namespace corvix::ui
