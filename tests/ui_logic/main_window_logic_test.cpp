#include "ui_logic/main_window_logic.h"

#include <gtest/gtest.h>

#include "ui_logic/resource_ids.h"

namespace corvix {
namespace {

// Work commands are held back while a job runs; view options are not.
TEST(CommandTable, EachIdRunsItsActionOnItsList) {
  struct Row {
    int id;
    CommandAction action;
    CommandList list;
    bool startsWork;
  };
  const Row rows[] = {
      {40021, CommandAction::kExit, CommandList::kNone, true},
      {40022, CommandAction::kImportWaves, CommandList::kContents, true},
      {40033, CommandAction::kImportWaves, CommandList::kBatch, true},
      {40024, CommandAction::kConvert, CommandList::kContents, true},
      {40034, CommandAction::kConvert, CommandList::kBatch, true},
      {40031, CommandAction::kCombine, CommandList::kContents, true},
      {40035, CommandAction::kCombine, CommandList::kBatch, true},
      {40032, CommandAction::kAddToBatch, CommandList::kContents, true},
      {40037, CommandAction::kRemoveBatchRows, CommandList::kBatch, true},
      {40038, CommandAction::kClearBatch, CommandList::kBatch, true},
      {40023, CommandAction::kToggleMerge, CommandList::kNone, false},
      {40036, CommandAction::kToggleBatchView, CommandList::kNone, false},
      {40025, CommandAction::kRefresh, CommandList::kNone, true},
      {40039, CommandAction::kHelpContents, CommandList::kNone, false},
      {106, CommandAction::kAbout, CommandList::kNone, false},
      {140, CommandAction::kSelectCdrom, CommandList::kNone, true},
      {198, CommandAction::kSelectCdrom, CommandList::kNone, true},
      {199, CommandAction::kIgnore, CommandList::kNone, false},
      {139, CommandAction::kIgnore, CommandList::kNone, false},
      {40010, CommandAction::kIgnore, CommandList::kNone, false},  // "No CDROM Found"
      {IDM_OPEN_DISC_IMAGE, CommandAction::kOpenDiscImage, CommandList::kNone, true},
      {1, CommandAction::kIgnore, CommandList::kNone, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    const Command command = LookUpCommand(row.id);
    EXPECT_EQ(command.action, row.action);
    EXPECT_EQ(command.list, row.list);
    EXPECT_EQ(CommandStartsWork(command.action), row.startsWork);
  }
}

TEST(Layout, ClientOf900By600) {
  const MainLayout hidden = LayoutForClient(900, 600, false);
  EXPECT_EQ(hidden.treeCaption, (ChildRect{0, 0, 301, 17}));
  EXPECT_EQ(hidden.tree, (ChildRect{0, 17, 301, 584}));
  EXPECT_EQ(hidden.contentsCaption, (ChildRect{301, 0, 600, 17}));
  EXPECT_EQ(hidden.contents, (ChildRect{300, 17, 601, 584}));

  const MainLayout shown = LayoutForClient(900, 600, true);
  EXPECT_EQ(shown.contents, (ChildRect{300, 17, 601, 284}));
  EXPECT_EQ(shown.batchCaption, (ChildRect{300, 300, 601, 17}));
  EXPECT_EQ(shown.batch, (ChildRect{300, 317, 601, 284}));
  // The tree does not depend on the batch pane.
  EXPECT_EQ(shown.tree, hidden.tree);
}

TEST(Layout, OddSizesTruncate) {
  // 2w/3 is (2 × w) / 3, not 2 × (w / 3).
  const MainLayout layout = LayoutForClient(301, 101, true);
  EXPECT_EQ(layout.tree.width, 101);
  EXPECT_EQ(layout.contents.width, 201);  // 602 / 3 + 1
  EXPECT_EQ(layout.batchCaption.top, 50);
  EXPECT_EQ(layout.batch.height, 34);

  const MainLayout created = LayoutAtCreation(900, 600);
  EXPECT_EQ(created.contents, (ChildRect{300, 17, 599, 583}));
  EXPECT_EQ(created.batch, (ChildRect{300, 317, 600, 283}));
}

TEST(EnablingRules, FollowTheSelectedProgramRows) {
  struct Row {
    int selected;
    ProgramCommandStates want;
  };
  const Row rows[] = {
      {0, {false, false, false, false}},
      {1, {true, true, false, true}},
      {2, {true, true, true, true}},
      {57, {true, true, true, true}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.selected);
    EXPECT_EQ(StatesForSelection(row.selected), row.want);
  }
  EXPECT_FALSE(PopupCombineEnabled(1));
  EXPECT_TRUE(PopupCombineEnabled(2));
}

TEST(DeviceNotices, ConcernTheCurrentDriveWhenItsBitIsSet) {
  struct Row {
    uint32_t mask;
    uint16_t drive;
    bool want;
  };
  const Row rows[] = {
      {1u << 4, 4, true},                // E: alone
      {1u << 3, 4, false},               // D: is not E:
      {(1u << 4) | (1u << 6), 4, true},  // E: among several
      {(1u << 4) | (1u << 6), 6, true},  // G: among several (not the highest bit only)
      {(1u << 3) | (1u << 6), 4, false},
      {0, 0, false},
      {1u << 0, 0, true},           // A:
      {0xFFFFFFFFu, 0xFFFF, false},  // no drive letter known
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << std::hex << row.mask << " drive " << std::dec << row.drive);
    EXPECT_EQ(DriveMaskNamesDrive(row.mask, row.drive), row.want);
  }
}

TEST(Centring, TruncatesTowardZeroAndGoesNegative) {
  EXPECT_EQ(CentredEdge(800, 301), 249);
  EXPECT_EQ(CentredEdge(800, 300), 250);
  EXPECT_EQ(CentredEdge(800, 1001), -100);
  EXPECT_EQ(CentredEdge(600, 600), 0);
}

TEST(JobGate, OneJobAtATimeAndRefreshAfterIt) {
  JobGate gate;
  EXPECT_FALSE(gate.DeferRefresh());  // nothing runs: refresh at once
  ASSERT_TRUE(gate.TryBegin());
  EXPECT_FALSE(gate.TryBegin());      // a second job inside the first
  EXPECT_TRUE(gate.DeferRefresh());
  EXPECT_TRUE(gate.DeferRefresh());   // several notices, one refresh
  EXPECT_TRUE(gate.End());
  EXPECT_FALSE(gate.Running());
  ASSERT_TRUE(gate.TryBegin());
  EXPECT_FALSE(gate.End());           // nothing asked meanwhile
}

}  // namespace
}  // namespace corvix
