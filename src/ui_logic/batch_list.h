// The batch list: programs collected for a later conversion.
//
// Each row owns a copy of its program's record, so rows survive tree
// selections, volume listings and refreshes; a program is a row at most once
// (records compared byte for byte); rows keep the order they were added in.
// The window's list view shows these rows one for one, in the same order.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "ui_logic/browser_item.h"

namespace corvix {

class BatchList {
 public:
  // Appends a copy of record; null (nothing added) when an equal record is
  // a row already or no memory is left.
  const BrowserItem* Add(const BrowserItem& record);
  // Removes the row at index and releases its record.
  void RemoveAt(size_t index);
  void Clear();
  size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  const BrowserItem* row(size_t index) const;  // null past the end

 private:
  std::vector<std::unique_ptr<BrowserItem>> rows_;
};

extern BatchList BatchRows;

// The order in which rows are removed: each time the first row still there
// that qualifies (selected, or any row when all), counted among the rows
// still there. Removing at these indices one after the other leaves the
// unselected rows in their order.
std::vector<size_t> RemovalOrder(const std::vector<bool>& selected, bool all);

}  // namespace corvix
