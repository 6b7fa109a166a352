#include "ui_logic/main_window_logic.h"

#include <gtest/gtest.h>

#include <tuple>

#include "ui_logic/resource_ids.h"

namespace corvix {
namespace {

using A = CommandAction;
using L = CommandList;

// Each menu id runs its action on its list; the CD-ROM entries select a
// drive; anything else is ignored. Work commands are held back while a job
// runs; view options are not.
TEST(CommandTable, EachIdRunsItsActionOnItsList) {
  const std::tuple<int, A, L> rows[] = {
      {IDM_IMPORT_WAVES, A::kImportWaves, L::kContents}, {IDM_BATCH_IMPORT_WAVES, A::kImportWaves, L::kBatch},
      {IDM_CONVERT_TES, A::kConvert, L::kContents},      {IDM_BATCH_CONVERT_TES, A::kConvert, L::kBatch},
      {IDM_COMBINE_TES, A::kCombine, L::kContents},      {IDM_BATCH_COMBINE_TES, A::kCombine, L::kBatch},
      {IDM_CONVERT_SF2, A::kConvertSoundFont, L::kContents}, {IDM_BATCH_CONVERT_SF2, A::kConvertSoundFont, L::kBatch},
      {IDM_CONVERT_SFZ, A::kConvertSfz, L::kContents},   {IDM_BATCH_CONVERT_SFZ, A::kConvertSfz, L::kBatch},
      {IDM_ADD_TO_BATCH, A::kAddToBatch, L::kContents},  {IDM_REMOVE_ITEMS, A::kRemoveBatchRows, L::kBatch},
      {IDM_CLEAR_BATCH, A::kClearBatch, L::kBatch},      {IDM_EXIT, A::kExit, L::kNone},
      {IDM_MERGE_LR, A::kToggleMerge, L::kNone},         {IDM_BATCH_VIEW, A::kToggleBatchView, L::kNone},
      {IDM_REFRESH, A::kRefresh, L::kNone},              {IDM_HELP_CONTENTS, A::kHelpContents, L::kNone},
      {IDM_ABOUT, A::kAbout, L::kNone},                  {IDM_OPEN_DISC_IMAGE, A::kOpenDiscImage, L::kNone},
      {IDM_FIRST_CDROM, A::kSelectCdrom, L::kNone},      {IDM_LAST_CDROM - 1, A::kSelectCdrom, L::kNone},
      {IDM_LAST_CDROM, A::kIgnore, L::kNone},            {IDM_FIRST_CDROM - 1, A::kIgnore, L::kNone},
      {IDM_NO_CDROM, A::kIgnore, L::kNone},              {1, A::kIgnore, L::kNone},
  };
  for (const auto& [id, action, list] : rows) {
    const Command command = LookUpCommand(id);
    EXPECT_EQ(std::tuple(command.action, command.list), std::tuple(action, list)) << id;
    const bool view = action == A::kIgnore || action == A::kToggleMerge || action == A::kToggleBatchView ||
                      action == A::kHelpContents || action == A::kAbout;
    EXPECT_EQ(CommandStartsWork(action), !view) << id;
  }
}

// The panes of a 900 × 600 client as resized, and as first created.
TEST(Layout, ThePanesOfAWindow) {
  EXPECT_EQ(LayoutForClient(900, 600, false).contents, (ChildRect{300, 17, 601, 584}));
  EXPECT_EQ(LayoutForClient(900, 600, true).batch, (ChildRect{300, 317, 601, 284}));
  EXPECT_EQ(LayoutAtCreation(900, 600).contents, (ChildRect{300, 17, 599, 583}));
}

// Import, convert and add with one program row or more, combine with two;
// device notices concern the current drive when its bit is set; windows
// are centred truncating toward zero, off the screen if need be.
TEST(WindowRules, EnablingDeviceNoticesAndCentring) {
  EXPECT_EQ(StatesForSelection(0), (ProgramCommandStates{false, false, false, false}));
  EXPECT_EQ(StatesForSelection(1), (ProgramCommandStates{true, true, false, true}));
  EXPECT_EQ(StatesForSelection(2), (ProgramCommandStates{true, true, true, true}));
  EXPECT_FALSE(PopupCombineEnabled(1));
  EXPECT_TRUE(PopupCombineEnabled(2));
  EXPECT_TRUE(DriveMaskNamesDrive(1u << 4, 4));                // E: alone
  EXPECT_FALSE(DriveMaskNamesDrive(1u << 3, 4));               // D: is not E:
  EXPECT_TRUE(DriveMaskNamesDrive((1u << 4) | (1u << 6), 4));  // among several, not the highest bit only
  EXPECT_TRUE(DriveMaskNamesDrive(1u << 0, 0));                // A:
  EXPECT_FALSE(DriveMaskNamesDrive(0xFFFFFFFFu, 0xFFFF));      // no drive letter known
  EXPECT_EQ(CentredEdge(800, 301), 249);
  EXPECT_EQ(CentredEdge(800, 1001), -100);
}

TEST(JobGate, OneJobAtATimeAndRefreshAfterIt) {
  JobGate gate;
  EXPECT_FALSE(gate.DeferRefresh());  // nothing runs: refresh at once
  ASSERT_TRUE(gate.TryBegin());
  EXPECT_FALSE(gate.TryBegin());  // a second job inside the first
  EXPECT_TRUE(gate.DeferRefresh());
  EXPECT_TRUE(gate.DeferRefresh());  // several notices, one refresh
  EXPECT_TRUE(gate.End());
  EXPECT_FALSE(gate.Running());
  ASSERT_TRUE(gate.TryBegin());
  EXPECT_FALSE(gate.End());  // nothing asked meanwhile
}

}  // namespace
}  // namespace corvix
