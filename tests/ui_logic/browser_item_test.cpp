#include "ui_logic/browser_item.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "media/akai_names.h"
#include "ui_logic/batch_list.h"

namespace corvix {
namespace {

TEST(BrowserLabels, TrimmedNamesAndPartitionLabels) {
  // Trailing spaces go; the first character stays.
  const std::pair<const char*, const char*> names[] = {
      {"PIANO       ", "PIANO"}, {"STRINGS 1   ", "STRINGS 1"}, {"    ", " "}, {"", ""}, {" X  ", " X"}};
  for (const auto& [in, want] : names) {
    char text[32];
    std::strcpy(text, in);
    TrimTrailingSpaces(text);
    EXPECT_STREQ(text, want) << in;
  }
  // One label per partition, the same in the tree, the listings, the notes
  // and the program paths of the command line, which read it back; no
  // letters past Z. (As the command line shows them: list_command_test.cpp.)
  for (uint32_t p : {0u, 1u, 25u, 26u, 254u}) EXPECT_EQ(PartitionFromLabel(PartitionLabel(p)), static_cast<int32_t>(p));
  EXPECT_EQ(PartitionFromLabel("b"), 1);
  for (const char* label : {"", "[", "0", "26", "027", "AB", "1"}) EXPECT_EQ(PartitionFromLabel(label), -1) << label;
}

// More than the 1024 records a fixed table would hold: 11 partitions of
// 100 volumes; no record moves as the store grows.
TEST(TreeRecordStore, RecordsKeepTheirAddressesAsTheStoreGrows) {
  TreeRecordStore store;
  BrowserItem* root = store.Reset();
  ASSERT_EQ(root->kind, kKindRoot);
  std::vector<BrowserItem*> added;
  for (uint8_t p = 0; p < 11; ++p)
    for (uint8_t v = 0; v < 100; ++v) added.push_back(store.Add(MakeBrowserItem(kKindVolume, p, v)));
  ASSERT_EQ(store.size(), 1u + 1100);
  for (size_t i = 0; i < added.size(); ++i) {
    ASSERT_EQ(store.at(i + 1), added[i]);
    ASSERT_TRUE(SameBrowserItem(*added[i], MakeBrowserItem(kKindVolume, static_cast<uint8_t>(i / 100), static_cast<uint8_t>(i % 100))));
  }
  EXPECT_EQ(store.at(0), root);
  EXPECT_EQ(store.at(store.size()), nullptr);
  EXPECT_TRUE(store.Holds(root) && store.Holds(added.back()));
  const BrowserItem outside = MakeBrowserItem(kKindVolume);
  EXPECT_FALSE(store.Holds(&outside));
  // After a refill the old addresses beyond the new end are no longer records.
  store.Reset();
  EXPECT_EQ(store.size(), 1u);
  EXPECT_FALSE(store.Holds(added.front()) || store.Holds(added.back()));
}

BrowserItem Program(uint8_t program, uint8_t keygroups = 1) {
  BrowserItem record = MakeBrowserItem(kKindProgram, 0, 1, program);
  record.summary.keygroupCount = keygroups;
  return record;
}

// Each program once, in order (the same numbers from a listing whose summary
// differs are another record); removing selected rows keeps the others in
// order.
TEST(BatchList, AddsEachProgramOnceAndRemovesSelectedRows) {
  BatchList batch;
  ASSERT_NE(batch.Add(Program(2)), nullptr);
  ASSERT_NE(batch.Add(Program(3)), nullptr);
  EXPECT_EQ(batch.Add(Program(2)), nullptr);
  EXPECT_NE(batch.Add(Program(2, 5)), nullptr);
  ASSERT_EQ(batch.size(), 3u);
  EXPECT_EQ(std::tuple(batch.row(0)->program, batch.row(1)->program), std::tuple(2, 3));
  EXPECT_EQ(batch.row(3), nullptr);

  const std::tuple<std::vector<bool>, bool, std::vector<uint8_t>> cases[] = {
      {{false, true, false, true, false}, false, {0, 2, 4}},
      {{true, true, false, false, false}, false, {2, 3, 4}},
      {{false, false, false, false, true}, false, {0, 1, 2, 3}},
      {{false, true, false, false, false}, true, {}},
      {{false, false, false, false, false}, false, {0, 1, 2, 3, 4}},
  };
  for (const auto& [selected, all, left] : cases) {
    BatchList rows;
    for (uint8_t p = 0; p < 5; ++p) rows.Add(Program(p));
    for (size_t index : RemovalOrder(selected, all)) rows.RemoveAt(index);
    std::vector<uint8_t> programs;
    for (size_t i = 0; i < rows.size(); ++i) programs.push_back(rows.row(i)->program);
    EXPECT_EQ(programs, left) << left.size();
  }
}

}  // namespace
}  // namespace corvix
