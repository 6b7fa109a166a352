#include "ui_logic/batch_list.h"

#include <new>

namespace corvix {

BatchList BatchRows;

const BrowserItem* BatchList::Add(const BrowserItem& record) {
  for (const auto& existing : rows_) {
    if (SameBrowserItem(*existing, record)) return nullptr;
  }
  std::unique_ptr<BrowserItem> copy(new (std::nothrow) BrowserItem(record));
  if (!copy) return nullptr;
  rows_.push_back(std::move(copy));
  return rows_.back().get();
}

void BatchList::RemoveAt(size_t index) {
  if (index < rows_.size()) rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
}

void BatchList::Clear() { rows_.clear(); }

const BrowserItem* BatchList::row(size_t index) const {
  return index < rows_.size() ? rows_[index].get() : nullptr;
}

std::vector<size_t> RemovalOrder(const std::vector<bool>& selected, bool all) {
  std::vector<size_t> order;
  size_t removed = 0;
  for (size_t i = 0; i < selected.size(); ++i) {
    if (all || selected[i]) {
      // Rows above this one that were removed before have moved it up.
      order.push_back(i - removed);
      ++removed;
    }
  }
  return order;
}

}  // namespace corvix
