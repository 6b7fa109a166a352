// The resources of Corvix.exe, read from the program file itself: menus,
// dialogs (parsed from their templates), strings, bitmaps and the icon.
#include <windows.h>

#include <string>
#include <vector>

#include "../wine/checks.h"
#include "ui_logic/resource_ids.h"

namespace corvix::wine {
namespace {

struct ItemWant {
  const char* text;  // null: a separator
  UINT id;
  UINT state;  // MFS_GRAYED, MFS_CHECKED
};

std::string MenuText(HMENU menu, UINT position, UINT* id, UINT* state, UINT* type, HMENU* sub) {
  char text[128] = {};
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_SUBMENU | MIIM_STRING;
  info.dwTypeData = text;
  info.cch = sizeof text;
  if (!GetMenuItemInfoA(menu, position, TRUE, &info)) return "<missing>";
  *id = info.wID;
  // windres stores GRAYED as MF_GRAYED alone; both mean "grayed" here.
  *state = ((info.fState & MF_GRAYED) != 0 ? MFS_GRAYED : 0) | (info.fState & MFS_CHECKED);
  *type = info.fType;
  *sub = info.hSubMenu;
  return text;
}

void CheckItems(HMENU menu, const char* where, const std::vector<ItemWant>& want) {
  Section(where);
  CHECK_EQ(GetMenuItemCount(menu), static_cast<int>(want.size()));
  for (UINT i = 0; i < want.size(); ++i) {
    UINT id = 0, state = 0, type = 0;
    HMENU sub = nullptr;
    const std::string text = MenuText(menu, i, &id, &state, &type, &sub);
    if (want[i].text == nullptr) {
      Check((type & MFT_SEPARATOR) != 0, "separator", __FILE__, __LINE__, where + std::string(" #") + std::to_string(i));
      continue;
    }
    Check(text == want[i].text, "item text", __FILE__, __LINE__, "got \"" + text + "\", want \"" + want[i].text + "\"");
    if (sub == nullptr) CHECK_EQ(id, want[i].id);
    Check(state == want[i].state, "item state", __FILE__, __LINE__,
          text + ": state " + std::to_string(state) + ", want " + std::to_string(want[i].state));
  }
}

HMENU SubMenu(HMENU menu, UINT position, const char* text) {
  UINT id = 0, state = 0, type = 0;
  HMENU sub = nullptr;
  const std::string got = MenuText(menu, position, &id, &state, &type, &sub);
  Check(got == text, "pop-up text", __FILE__, __LINE__, "got \"" + got + "\", want \"" + text + "\"");
  return sub;
}

// A dialog template (DLGTEMPLATE, as windres writes DIALOG resources).
struct TemplateItem {
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  WORD id = 0;
  WORD classAtom = 0;  // 0x80 button, 0x82 static
  std::wstring text;
};
struct Template {
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::wstring caption, font;
  WORD pointSize = 0;
  std::vector<TemplateItem> items;
};

// A name or an ordinal; a class name "STATIC" or "BUTTON" counts as its atom.
std::wstring ReadSzOrOrd(const WORD*& p, WORD* ordinal) {
  std::wstring text;
  if (*p == 0xFFFF) {
    if (ordinal != nullptr) *ordinal = p[1];
    p += 2;
    return text;
  }
  while (*p != 0) text += static_cast<wchar_t>(*p++);
  ++p;
  if (ordinal != nullptr) {
    if (_wcsicmp(text.c_str(), L"STATIC") == 0) *ordinal = 0x82;
    if (_wcsicmp(text.c_str(), L"BUTTON") == 0) *ordinal = 0x80;
  }
  return text;
}

bool ReadTemplate(HMODULE module, const char* name, Template* out) {
  HRSRC found = FindResourceA(module, name, reinterpret_cast<LPCSTR>(RT_DIALOG));
  if (found == nullptr) return false;
  const auto* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  const WORD* p = reinterpret_cast<const WORD*>(base);
  out->style = *reinterpret_cast<const DWORD*>(p);
  p += 4;  // style, extended style
  const WORD count = *p++;
  out->x = static_cast<short>(*p++);
  out->y = static_cast<short>(*p++);
  out->cx = static_cast<short>(*p++);
  out->cy = static_cast<short>(*p++);
  ReadSzOrOrd(p, nullptr);  // menu
  ReadSzOrOrd(p, nullptr);  // class
  out->caption = ReadSzOrOrd(p, nullptr);
  if (out->style & DS_SETFONT) {
    out->pointSize = *p++;
    out->font = ReadSzOrOrd(p, nullptr);
  }
  for (WORD i = 0; i < count; ++i) {
    const auto offset = reinterpret_cast<const BYTE*>(p) - base;
    p = reinterpret_cast<const WORD*>(base + ((offset + 3) & ~3));
    TemplateItem item;
    item.style = *reinterpret_cast<const DWORD*>(p);
    p += 4;
    item.x = static_cast<short>(*p++);
    item.y = static_cast<short>(*p++);
    item.cx = static_cast<short>(*p++);
    item.cy = static_cast<short>(*p++);
    item.id = *p++;
    ReadSzOrOrd(p, &item.classAtom);
    item.text = ReadSzOrOrd(p, nullptr);
    const WORD extra = *p++;
    p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
    out->items.push_back(item);
  }
  return true;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

struct ItemSpec {
  WORD id;
  WORD classAtom;
  short x, y, cx, cy;
  const char* text;
};

void CheckDialog(HMODULE module, const char* name, const char* caption, short cx, short cy,
                 const std::vector<ItemSpec>& items) {
  Section(name);
  Template t;
  if (!Check(ReadTemplate(module, name, &t), "dialog template found", __FILE__, __LINE__, name)) return;
  Check(Narrow(t.caption) == caption, "caption", __FILE__, __LINE__, "\"" + Narrow(t.caption) + "\"");
  CHECK_EQ(t.cx, cx);
  CHECK_EQ(t.cy, cy);
  CHECK_EQ(t.pointSize, 8);
  Check(Narrow(t.font) == "MS Sans Serif", "font", __FILE__, __LINE__, Narrow(t.font));
  CHECK((t.style & (WS_POPUP | WS_CAPTION | DS_MODALFRAME)) == (WS_POPUP | WS_CAPTION | DS_MODALFRAME));
  CHECK_EQ(t.items.size(), items.size());
  for (size_t i = 0; i < items.size() && i < t.items.size(); ++i) {
    const TemplateItem& got = t.items[i];
    const ItemSpec& want = items[i];
    const std::string what = std::string(name) + " item " + std::to_string(want.id);
    Check(got.id == want.id && got.classAtom == want.classAtom, "id and class", __FILE__, __LINE__, what);
    Check(got.x == want.x && got.y == want.y && got.cx == want.cx && got.cy == want.cy, "position", __FILE__,
          __LINE__, what);
    Check(Narrow(got.text) == want.text, "text", __FILE__, __LINE__, what + ": \"" + Narrow(got.text) + "\"");
  }
}

}  // namespace

void RunResourceChecks(const std::string& programPath) {
  HMODULE module = LoadLibraryExA(programPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  Section("resources of Corvix.exe");
  if (!Check(module != nullptr, "Corvix.exe loads as a data file", __FILE__, __LINE__, programPath)) return;

  HMENU bar = LoadMenuA(module, "Menu");  // the class asks for "Menu"; names ignore case
  if (Check(bar != nullptr, "menu MENU", __FILE__, __LINE__)) {
    CHECK_EQ(GetMenuItemCount(bar), 5);
    CheckItems(SubMenu(bar, 0, "&Options"), "&Options",
               {{"Merge L/R", IDM_MERGE_LR, MFS_CHECKED}, {nullptr, 0, 0}, {"Exit", IDM_EXIT, 0}});
    HMENU convert = SubMenu(bar, 1, "&Convert");
    CheckItems(convert, "&Convert",
               {{"Import Waves", IDM_IMPORT_WAVES, MFS_GRAYED},
                {"Convert to TES", IDM_CONVERT_TES, MFS_GRAYED},
                {"Combine to TES", IDM_COMBINE_TES, MFS_GRAYED},
                {"Add to Batch List", IDM_ADD_TO_BATCH, MFS_GRAYED},
                {"Batch Converter", 0, MFS_GRAYED},
                {nullptr, 0, 0},
                {"Convert to SF2", IDM_CONVERT_SF2, MFS_GRAYED},
                {"Convert to SFZ", IDM_CONVERT_SFZ, MFS_GRAYED}});
    CheckItems(SubMenu(convert, 4, "Batch Converter"), "Batch Converter",
               {{"Import Waves", IDM_BATCH_IMPORT_WAVES, 0},
                {"Convert to TES", IDM_BATCH_CONVERT_TES, 0},
                {"Combine to TES", IDM_BATCH_COMBINE_TES, 0},
                {"Remove Item(s)", IDM_REMOVE_ITEMS, 0},
                {"Clear Batch List", IDM_CLEAR_BATCH, 0},
                {nullptr, 0, 0},
                {"Convert to SF2", IDM_BATCH_CONVERT_SF2, 0},
                {"Convert to SFZ", IDM_BATCH_CONVERT_SFZ, 0}});
    CheckItems(SubMenu(bar, 2, "&View"), "&View",
               {{"Refresh", IDM_REFRESH, 0}, {"Batch Convert List", IDM_BATCH_VIEW, 0}});
    CheckItems(SubMenu(bar, 3, "CD&ROM"), "CD&ROM", {{"No CDROM Found", IDM_NO_CDROM, MFS_GRAYED}});
    CheckItems(SubMenu(bar, 4, "&Help"), "&Help",
               {{"Contents", IDM_HELP_CONTENTS, 0}, {"&About...", IDM_ABOUT, 0}});
    DestroyMenu(bar);
  }
  HMENU popup1 = LoadMenuA(module, "POPUP1");
  if (Check(popup1 != nullptr, "menu POPUP1", __FILE__, __LINE__)) {
    CheckItems(GetSubMenu(popup1, 0), "POPUP1",
               {{"Import Waves", IDM_IMPORT_WAVES, 0},
                {"Convert to Tes", IDM_CONVERT_TES, 0},
                {"Combine to TES", IDM_COMBINE_TES, MFS_GRAYED},
                {"Add to Batch List", IDM_ADD_TO_BATCH, 0},
                {nullptr, 0, 0},
                {"Convert to SF2", IDM_CONVERT_SF2, 0},
                {"Convert to SFZ", IDM_CONVERT_SFZ, 0}});
    DestroyMenu(popup1);
  }
  HMENU popupB2 = LoadMenuA(module, "POPUPB2");
  if (Check(popupB2 != nullptr, "menu POPUPB2", __FILE__, __LINE__)) {
    CheckItems(GetSubMenu(popupB2, 0), "POPUPB2",
               {{"Import Waves", IDM_BATCH_IMPORT_WAVES, 0},
                {"Convert to TES", IDM_BATCH_CONVERT_TES, 0},
                {"Combine to TES", IDM_BATCH_COMBINE_TES, MFS_GRAYED},
                {nullptr, 0, 0},
                {"Remove Item(s)", IDM_REMOVE_ITEMS, 0},
                {"Clear Batch List", IDM_CLEAR_BATCH, 0},
                {nullptr, 0, 0},
                {"Convert to SF2", IDM_BATCH_CONVERT_SF2, 0},
                {"Convert to SFZ", IDM_BATCH_CONVERT_SFZ, 0}});
    DestroyMenu(popupB2);
  }

  constexpr WORD kButton = 0x80, kStatic = 0x82;
  CheckDialog(module, "About", "About Veltrex Corvix", 160, 82,
              {{IDOK, kButton, 60, 11, 40, 14, "OK"},
               {IDC_ABOUT_PRODUCT, kStatic, 44, 28, 74, 8, "Veltrex Corvix"},
               {IDC_ABOUT_VERSION, kStatic, 60, 37, 58, 8, "Version 1.0"},
               {IDC_ABOUT_RULE, kStatic, 0, 53, 160, 2, ""},
               {IDC_ABOUT_NOTICE, kStatic, 0, 56, 160, 8, "Akai S1000 CD-ROMs to WAV and TES files"}});
  CheckDialog(module, "XFERDIALOG", "                      Importing Waves", 188, 76,
              {{IDCANCEL, kButton, 69, 55, 50, 14, "Cancel"},
               {0xFFFF, kStatic, 20, 13, 50, 8, "Wave:"},
               {IDC_XFER_WAVE_LINE, kStatic, 45, 13, 130, 8, ""},
               {IDC_XFER_PROGRAM_LINE, kStatic, 19, 4, 140, 8, "Importing from"}});
  CheckDialog(module, "CREATETESDLG", "                     Creating .TES File", 190, 76,
              {{IDCANCEL, kButton, 70, 55, 50, 14, "Cancel"}, {IDC_CREATE_LINE, kStatic, 19, 8, 160, 8, ""}});
  CheckDialog(module, "CREATESF2DLG", "                     Creating .SF2 File", 190, 76,
              {{IDCANCEL, kButton, 70, 55, 50, 14, "Cancel"}, {IDC_CREATE_LINE, kStatic, 19, 8, 160, 8, ""}});

  Section("string table");
  const std::pair<UINT, const char*> strings[] = {
      {IDS_DISC, "S1000 CDROM"},     {IDS_DISC_NOT_FOUND, "S1000 CDROM Not Found!"},
      {IDS_COLUMN_TYPE, "Type"},     {IDS_COLUMN_KEY_RANGE, "Key Range"},
      {IDS_COLUMN_NAME, "Name"},     {IDS_COLUMN_KEYGROUPS, "Num kgrps"}};
  for (const auto& [id, want] : strings) {
    char text[64] = {};
    LoadStringA(module, id, text, sizeof text);
    Check(std::string(text) == want, "string", __FILE__, __LINE__, std::to_string(id) + ": \"" + text + "\"");
  }

  Section("bitmaps and icon");
  for (int id : {IDB_VOLUME, IDB_DISC, IDB_PROGRAM, IDB_PARTITION, IDB_VOLUME_OPEN, IDB_PARTITION_OPEN,
                 IDB_DISC_NOT_FOUND}) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_BITMAP));
    if (!Check(found != nullptr, "bitmap present", __FILE__, __LINE__, std::to_string(id))) continue;
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
    Check(SizeofResource(module, found) == 232 && header->biWidth == 16 && header->biHeight == 16 &&
              header->biBitCount == 4,
          "16 x 16, 16 colours, 232 bytes", __FILE__, __LINE__, std::to_string(id));
  }
  HRSRC icon = FindResourceA(module, MAKEINTRESOURCEA(IDI_CORVIX), reinterpret_cast<LPCSTR>(RT_GROUP_ICON));
  if (Check(icon != nullptr, "icon group 123", __FILE__, __LINE__)) {
    const auto* group = static_cast<const WORD*>(LockResource(LoadResource(module, icon)));
    CHECK_EQ(group[2], 2);  // 32 and 16 pixels
  }
  FreeLibrary(module);
}

}  // namespace corvix::wine
