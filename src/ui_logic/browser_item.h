// The record behind every item of the disc browser (tree items, contents
// rows, batch rows) and where those records live.
//
// Records are compared byte for byte (a program is in the batch list at most
// once), so every record is made from a zero-filled one and copied whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/akai_format.h"

namespace corvix {

constexpr uint8_t kKindRoot = 'u';
constexpr uint8_t kKindPartition = 'r';
constexpr uint8_t kKindVolume = 'v';
constexpr uint8_t kKindProgram = 'p';

struct BrowserItem {
  uint8_t kind;       // kKindRoot, kKindPartition, kKindVolume or kKindProgram
  uint8_t partition;  // from 0; set for partitions, volumes and programs
  uint8_t volume;     // slot in the partition's volume table (0-99); volumes and programs
  uint8_t program;    // index in the volume's program list; programs
  ProgramSummary summary;  // programs; zero otherwise
};

// A zero-filled record of the kind with the numbers given.
BrowserItem MakeBrowserItem(uint8_t kind, uint8_t partition = 0, uint8_t volume = 0,
                            uint8_t program = 0);

// True when a and b hold the same bytes.
bool SameBrowserItem(const BrowserItem& a, const BrowserItem& b);

// The records of the tree: the root first, then partition A and its volumes,
// partition B and its volumes, and so on. A tree item's data is the address
// of its record, so records never move while the tree shows them: the store
// grows by chunks and is emptied only by Reset (before the tree is refilled).
//
// A disc can describe up to 255 partitions of 100 volumes; the store takes
// every record it can get memory for. Add returns null when it can't, and
// the tree then says that it is incomplete.
class TreeRecordStore {
 public:
  static constexpr size_t kChunkRecords = 1024;

  // Empties the store and makes the root record (entry 0) again.
  BrowserItem* Reset();
  // Appends a record; null when no memory is left for it.
  BrowserItem* Add(const BrowserItem& record);
  size_t size() const { return size_; }
  BrowserItem* at(size_t index);  // null past the end
  // True when record is the address of one of the store's records.
  bool Holds(const BrowserItem* record) const;

 private:
  std::vector<std::unique_ptr<BrowserItem[]>> chunks_;
  size_t size_ = 0;
};

extern TreeRecordStore TreeItems;

// The records of the program rows of the volume listed last; entry i belongs
// to the i-th program of the volume.
constexpr int kProgramItemCount = 256;
extern BrowserItem ProgramItems[kProgramItemCount];

// Removes trailing spaces from text in place; the first character always
// stays, so a name of spaces becomes one space.
void TrimTrailingSpaces(char* text);

// The tree's text of a partition: "PARTITION  A" for partition 0 (two
// spaces before its label).
std::string PartitionItemText(uint32_t partition);

// A program's key range as the contents list shows it: "36-96"; a program
// without keygroups shows "127-0".
std::string KeyRangeText(const ProgramSummary& summary);

}  // namespace corvix
