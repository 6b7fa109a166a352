// The window's logic apart from the window: labels, the tree's records, the
// batch list and the gate that lets one job run at a time.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "media/akai_names.h"
#include "ui_logic/batch_list.h"
#include "ui_logic/browser_item.h"
#include "ui_logic/main_window_logic.h"

namespace corvix {
namespace {

TEST(BrowserLabels, TrimmedNamesAndPartitionLabels) {
  // Trailing spaces go; the first character stays.
  const std::pair<const char*, const char*> names[] = {
      {"PIANO       ", "PIANO"}, {"STRINGS 1   ", "STRINGS 1"}, {"    ", " "}, {"", ""}, {" X  ", " X"}};
  for (const auto& [in, want] : names) {
    std::string text = in;
    TrimTrailingSpaces(text.data());
    EXPECT_STREQ(text.c_str(), want) << in;
  }
  // One label per partition, the same in the tree, the listings, the notes
  // and the program paths of the command line, which read it back; no
  // letters past Z. (As the command line shows them: commands_test.cpp.)
  for (uint32_t p : {0u, 1u, 25u, 26u, 298u}) EXPECT_EQ(PartitionFromLabel(PartitionLabel(p)), static_cast<int32_t>(p));
  EXPECT_EQ(PartitionFromLabel("b"), 1);
  for (const char* label : {"", "[", "0", "26", "027", "AB", "1"}) EXPECT_EQ(PartitionFromLabel(label), -1) << label;
}

// More than the 1024 records a fixed table would hold; no record moves as
// the store grows, and after a refill the old addresses beyond the new end
// are no longer records.
TEST(TreeRecordStore, RecordsKeepTheirAddressesAsTheStoreGrows) {
  TreeRecordStore store;
  BrowserItem* root = store.Reset();
  const auto record = [](size_t i) { return MakeBrowserItem(kKindVolume, uint8_t(i / 100), uint8_t(i % 100)); };
  std::vector<BrowserItem*> added;
  for (size_t i = 0; i < 1100; ++i) added.push_back(store.Add(record(i)));
  ASSERT_EQ(store.size(), 1101u);
  for (size_t i = 0; i < added.size(); ++i)
    ASSERT_TRUE(store.at(i + 1) == added[i] && SameBrowserItem(*added[i], record(i))) << i;
  EXPECT_EQ(std::tuple(root->kind, store.at(0), store.at(store.size())), std::tuple(kKindRoot, root, nullptr));
  EXPECT_TRUE(store.Holds(root) && store.Holds(added.back()));
  store.Reset();
  EXPECT_EQ(store.size(), 1u);
  EXPECT_FALSE(store.Holds(added.front()) || store.Holds(added.back()));
}

// Removing selected rows (or all) keeps the others in order.
TEST(BatchList, RemovingSelectedRowsKeepsTheOthersInOrder) {
  const std::tuple<std::vector<bool>, bool, std::vector<uint8_t>> cases[] = {
      {{false, true, false, true, false}, false, {0, 2, 4}}, {{false, false, false, false, true}, false, {0, 1, 2, 3}},
      {{false, true, false, false, false}, true, {}}};
  for (const auto& [selected, all, left] : cases) {
    BatchList rows;
    for (uint8_t p = 0; p < 5; ++p) rows.Add(MakeBrowserItem(kKindProgram, 0, 0, p));
    for (size_t index : RemovalOrder(selected, all)) rows.RemoveAt(index);
    std::vector<uint8_t> programs;
    for (size_t i = 0; i < rows.size(); ++i) programs.push_back(rows.row(i)->program);
    EXPECT_EQ(programs, left) << left.size();
  }
}

TEST(JobGate, OneJobAtATimeAndRefreshAfterIt) {
  JobGate gate;
  EXPECT_FALSE(gate.DeferRefresh());  // nothing runs: refresh at once
  ASSERT_TRUE(gate.TryBegin());
  EXPECT_FALSE(gate.TryBegin());  // a second job inside the first
  EXPECT_TRUE(gate.DeferRefresh());
  EXPECT_TRUE(gate.DeferRefresh());  // several notices, one refresh
  EXPECT_TRUE(gate.End());
  ASSERT_TRUE(gate.TryBegin());
  EXPECT_FALSE(gate.End());  // nothing asked meanwhile
}

}  // namespace
}  // namespace corvix
