#include "ui_logic/main_window_logic.h"

#include "jobs/output_formats.h"
#include "ui_logic/resource_ids.h"

namespace corvix {

// The formats' menu commands are the resource script's.
static_assert(IDM_CONVERT_TES == kMenuConvertTes && IDM_COMBINE_TES == kMenuCombineTes &&
              IDM_CONVERT_SF2 == kMenuConvertSf2 && IDM_CONVERT_SFZ == kMenuConvertSfz);
static_assert(IDM_BATCH_CONVERT_TES == kMenuBatchConvertTes && IDM_BATCH_COMBINE_TES == kMenuBatchCombineTes &&
              IDM_BATCH_CONVERT_SF2 == kMenuBatchConvertSf2 && IDM_BATCH_CONVERT_SFZ == kMenuBatchConvertSfz);

namespace {

struct CommandRow {
  int id;
  Command command;
};

constexpr CommandRow kCommands[] = {
    {IDM_EXIT, {CommandAction::kExit, CommandList::kNone}},
    {IDM_IMPORT_WAVES, {CommandAction::kImportWaves, CommandList::kContents}},
    {IDM_MERGE_LR, {CommandAction::kToggleMerge, CommandList::kNone}},
    {IDM_REFRESH, {CommandAction::kRefresh, CommandList::kNone}},
    {IDM_ADD_TO_BATCH, {CommandAction::kAddToBatch, CommandList::kContents}},
    {IDM_BATCH_IMPORT_WAVES, {CommandAction::kImportWaves, CommandList::kBatch}},
    {IDM_BATCH_VIEW, {CommandAction::kToggleBatchView, CommandList::kNone}},
    {IDM_REMOVE_ITEMS, {CommandAction::kRemoveBatchRows, CommandList::kBatch}},
    {IDM_CLEAR_BATCH, {CommandAction::kClearBatch, CommandList::kBatch}},
    {IDM_HELP_CONTENTS, {CommandAction::kHelpContents, CommandList::kNone}},
    {IDM_OPEN_DISC_IMAGE, {CommandAction::kOpenDiscImage, CommandList::kNone}},
    {IDM_ABOUT, {CommandAction::kAbout, CommandList::kNone}},
};

}  // namespace

Command LookUpCommand(int id) {
  if (id >= IDM_FIRST_CDROM && id < IDM_LAST_CDROM) {
    return {CommandAction::kSelectCdrom, CommandList::kNone};
  }
  for (const CommandRow& row : kCommands) {
    if (row.id == id) return row.command;
  }
  if (const OutputFormat* format = FormatForMenu(id)) {
    return {CommandAction::kConvert, id == format->menuId ? CommandList::kContents : CommandList::kBatch, format};
  }
  return {CommandAction::kIgnore, CommandList::kNone};
}

bool CommandStartsWork(CommandAction action) {
  switch (action) {
    case CommandAction::kImportWaves:
    case CommandAction::kConvert:
    case CommandAction::kRefresh:
    case CommandAction::kAddToBatch:
    case CommandAction::kRemoveBatchRows:
    case CommandAction::kClearBatch:
    case CommandAction::kSelectCdrom:
    case CommandAction::kOpenDiscImage:
    case CommandAction::kExit:
      return true;
    default:
      return false;
  }
}

MainLayout LayoutForClient(int w, int h, bool batchShown) {
  const int third = w / 3;
  const int twoThirds = (2 * w) / 3;
  MainLayout layout;
  layout.treeCaption = {0, 0, third + 1, kCaptionHeight};
  layout.tree = {0, kCaptionHeight, third + 1, h - 16};
  layout.contentsCaption = {third + 1, 0, twoThirds, kCaptionHeight};
  layout.contents = {third, kCaptionHeight, twoThirds + 1, batchShown ? h / 2 - 16 : h - 16};
  layout.batchCaption = {third, h / 2, twoThirds + 1, kCaptionHeight};
  layout.batch = {third, h / 2 + kCaptionHeight, twoThirds + 1, h / 2 - 16};
  return layout;
}

MainLayout LayoutAtCreation(int w, int h) {
  const int third = w / 3;
  const int twoThirds = (2 * w) / 3;
  MainLayout layout;
  layout.treeCaption = {0, 0, third, kCaptionHeight};
  layout.contentsCaption = {third, 0, twoThirds + 1, kCaptionHeight};
  layout.batchCaption = {third, h / 2, twoThirds, kCaptionHeight};
  layout.tree = {0, kCaptionHeight, third, h - kCaptionHeight};
  layout.contents = {third, kCaptionHeight, twoThirds - 1, h - kCaptionHeight};
  layout.batch = {third, h / 2 + kCaptionHeight, twoThirds, h / 2 - kCaptionHeight};
  return layout;
}

ProgramCommandStates StatesForSelection(int selectedProgramRows) {
  const bool any = selectedProgramRows > 0;
  return {any, any, selectedProgramRows >= 2, any};
}

bool PopupCombineEnabled(int rowsConcerned) { return rowsConcerned >= 2; }

int ToggledFlag(bool checkedNow) { return checkedNow ? 0 : 1; }

bool DriveMaskNamesDrive(uint32_t unitMask, uint16_t driveIndex) {
  return driveIndex < 32 && ((unitMask >> driveIndex) & 1u) != 0;
}

int CentredEdge(int screenSize, int windowSize) {
  // C++ division truncates toward zero, as the placement asks.
  return (screenSize - windowSize) / 2;
}

bool JobGate::TryBegin() {
  if (running_) return false;
  running_ = true;
  refreshPending_ = false;
  return true;
}

bool JobGate::End() {
  running_ = false;
  const bool refresh = refreshPending_;
  refreshPending_ = false;
  return refresh;
}

bool JobGate::DeferRefresh() {
  if (!running_) return false;
  refreshPending_ = true;
  return true;
}

}  // namespace corvix
