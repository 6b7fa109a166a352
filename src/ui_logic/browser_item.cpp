#include "ui_logic/browser_item.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "media/akai_names.h"

namespace corvix {

TreeRecordStore TreeItems;
BrowserItem ProgramItems[kProgramItemCount];

BrowserItem MakeBrowserItem(uint8_t kind, uint8_t partition, uint8_t volume, uint8_t program) {
  BrowserItem record;
  std::memset(&record, 0, sizeof record);
  record.kind = kind;
  record.partition = partition;
  record.volume = volume;
  record.program = program;
  return record;
}

bool SameBrowserItem(const BrowserItem& a, const BrowserItem& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

BrowserItem* TreeRecordStore::Reset() {
  // The first chunk is kept: every disc needs it.
  if (chunks_.size() > 1) chunks_.resize(1);
  size_ = 0;
  return Add(MakeBrowserItem(kKindRoot));
}

BrowserItem* TreeRecordStore::Add(const BrowserItem& record) {
  const size_t chunk = size_ / kChunkRecords;
  if (chunk == chunks_.size()) {
    std::unique_ptr<BrowserItem[]> fresh(new (std::nothrow) BrowserItem[kChunkRecords]);
    if (!fresh) return nullptr;
    chunks_.push_back(std::move(fresh));
  }
  BrowserItem* slot = &chunks_[chunk][size_ % kChunkRecords];
  std::memcpy(slot, &record, sizeof record);
  ++size_;
  return slot;
}

BrowserItem* TreeRecordStore::at(size_t index) {
  return index < size_ ? &chunks_[index / kChunkRecords][index % kChunkRecords] : nullptr;
}

bool TreeRecordStore::Holds(const BrowserItem* record) const {
  for (size_t c = 0; c < chunks_.size() && c * kChunkRecords < size_; ++c) {
    const size_t used = std::min(kChunkRecords, size_ - c * kChunkRecords);
    const BrowserItem* first = chunks_[c].get();
    if (record >= first && record < first + used) return true;
  }
  return false;
}

void TrimTrailingSpaces(char* text) {
  text[TrimmedName(text).size()] = '\0';
}

std::string PartitionItemText(uint32_t partition) { return "PARTITION  " + PartitionLabel(partition); }

std::string KeyRangeText(const ProgramSummary& summary) {
  return std::to_string(summary.lowestKey) + "-" + std::to_string(summary.highestKey);
}

}  // namespace corvix
