#include "ui_logic/browser_item.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "media/akai_names.h"
#include "ui_logic/batch_list.h"

namespace corvix {
namespace {

TEST(TrimTrailingSpaces, KeepsTheFirstCharacter) {
  struct Row {
    const char* in;
    const char* want;
  };
  const Row rows[] = {
      {"PIANO       ", "PIANO"}, {"STRINGS 1   ", "STRINGS 1"}, {"            ", " "},
      {"A", "A"},                {"", ""},                     {"NO SPACES", "NO SPACES"},
      {" X  ", " X"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.in);
    char text[32];
    std::strcpy(text, row.in);
    TrimTrailingSpaces(text);
    EXPECT_STREQ(text, row.want);
  }
}

// One label per partition, the same in the tree, the listings, the notes
// and the program paths of the command line, which read it back.
TEST(BrowserLabels, PartitionsAndKeyRanges) {
  EXPECT_EQ(PartitionItemText(0), "PARTITION  A");
  EXPECT_EQ(PartitionItemText(25), "PARTITION  Z");
  EXPECT_EQ(PartitionItemText(26), "PARTITION  27");  // no letters past Z
  for (uint32_t p : {0u, 1u, 25u, 26u, 27u, 254u}) {
    SCOPED_TRACE(p);
    EXPECT_EQ(PartitionFromLabel(PartitionLabel(p)), static_cast<int32_t>(p));
  }
  EXPECT_EQ(PartitionFromLabel("b"), 1);
  for (const char* label : {"", "[", "0", "26", "027", "AB", "1"}) EXPECT_EQ(PartitionFromLabel(label), -1) << label;
  EXPECT_EQ(ProgramPath(26, "DRUMS       ", "KIT         "), "27/DRUMS/KIT");

  ProgramSummary summary{};
  summary.lowestKey = 24;
  summary.highestKey = 96;
  EXPECT_EQ(KeyRangeText(summary), "24-96");
  summary.lowestKey = 127;
  summary.highestKey = 0;
  EXPECT_EQ(KeyRangeText(summary), "127-0");
}

TEST(TreeRecordStore, RecordsKeepTheirAddressesAsTheStoreGrows) {
  TreeRecordStore store;
  BrowserItem* root = store.Reset();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->kind, kKindRoot);
  // More than the 1024 records a fixed table would hold: 11 partitions of
  // 100 volumes.
  std::set<const BrowserItem*> seen{root};
  BrowserItem* firstVolume = nullptr;
  for (uint8_t p = 0; p < 11; ++p) {
    ASSERT_NE(store.Add(MakeBrowserItem(kKindPartition, p)), nullptr);
    for (uint8_t v = 0; v < 100; ++v) {
      BrowserItem* added = store.Add(MakeBrowserItem(kKindVolume, p, v));
      ASSERT_NE(added, nullptr);
      if (firstVolume == nullptr) firstVolume = added;
      seen.insert(added);
    }
  }
  EXPECT_EQ(store.size(), 1u + 11 * 101);
  EXPECT_EQ(store.at(0), root);
  EXPECT_EQ(store.at(2), firstVolume);
  EXPECT_EQ(firstVolume->kind, kKindVolume);
  EXPECT_EQ(store.at(store.size()), nullptr);
  const BrowserItem* last = store.at(store.size() - 1);
  EXPECT_EQ(last->partition, 10);
  EXPECT_EQ(last->volume, 99);
  EXPECT_TRUE(store.Holds(last));
  EXPECT_TRUE(store.Holds(root));

  const BrowserItem outside = MakeBrowserItem(kKindVolume);
  EXPECT_FALSE(store.Holds(&outside));
  // After a refill the old addresses beyond the new end are no longer records.
  store.Reset();
  EXPECT_EQ(store.size(), 1u);
  EXPECT_FALSE(store.Holds(last));
  EXPECT_FALSE(store.Holds(firstVolume));
}

BrowserItem Program(uint8_t partition, uint8_t volume, uint8_t program, uint8_t keygroups = 1) {
  BrowserItem record = MakeBrowserItem(kKindProgram, partition, volume, program);
  record.summary.keygroupCount = keygroups;
  return record;
}

TEST(BatchList, AddsEachProgramOnceInOrder) {
  BatchList batch;
  ASSERT_NE(batch.Add(Program(0, 1, 2)), nullptr);
  ASSERT_NE(batch.Add(Program(0, 1, 3)), nullptr);
  // The same program again, from a listing made again later.
  EXPECT_EQ(batch.Add(Program(0, 1, 2)), nullptr);
  // The same numbers from a listing whose summary differs are another record.
  EXPECT_NE(batch.Add(Program(0, 1, 2, 5)), nullptr);
  ASSERT_EQ(batch.size(), 3u);
  EXPECT_EQ(batch.row(0)->program, 2);
  EXPECT_EQ(batch.row(1)->program, 3);
  EXPECT_EQ(batch.row(3), nullptr);
}

TEST(BatchList, RemovingSelectedRowsKeepsTheOthersInOrder) {
  struct Row {
    std::vector<bool> selected;
    bool all;
    std::vector<size_t> order;
    std::vector<uint8_t> left;  // programs left, in order
  };
  const Row rows[] = {
      {{false, true, false, true, false}, false, {1, 2}, {0, 2, 4}},
      {{true, true, false, false, false}, false, {0, 0}, {2, 3, 4}},
      {{false, false, false, false, true}, false, {4}, {0, 1, 2, 3}},
      {{false, true, false, false, false}, true, {0, 0, 0, 0, 0}, {}},
      {{false, false, false, false, false}, false, {}, {0, 1, 2, 3, 4}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "rows to remove " << row.order.size());
    BatchList batch;
    for (uint8_t p = 0; p < 5; ++p) batch.Add(Program(0, 0, p));
    const std::vector<size_t> order = RemovalOrder(row.selected, row.all);
    EXPECT_EQ(order, row.order);
    for (size_t index : order) batch.RemoveAt(index);
    ASSERT_EQ(batch.size(), row.left.size());
    for (size_t i = 0; i < row.left.size(); ++i) EXPECT_EQ(batch.row(i)->program, row.left[i]);
  }
}

}  // namespace
}  // namespace corvix
