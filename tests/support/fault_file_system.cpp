#include "support/fault_file_system.h"

#include <algorithm>

namespace corvix::testing {
namespace {

// Writes at most what is left of the budget.
class BudgetFile : public PlatformFile {
 public:
  BudgetFile(std::unique_ptr<PlatformFile> file, FaultyFileSystem& files) : file_(std::move(file)), files_(files) {}
  int64_t Read(void* buffer, size_t bytes) override { return file_->Read(buffer, bytes); }
  int64_t Write(const void* buffer, size_t bytes) override {
    files_.writes.push_back(bytes);
    int64_t& budget = files_.writeBudget;
    const size_t allowed = budget >= 0 ? std::min(bytes, static_cast<size_t>(budget)) : bytes;
    const int64_t put = allowed > 0 ? file_->Write(buffer, allowed) : 0;
    if (budget >= 0 && put > 0) budget -= put;
    return put;
  }
  bool Seek(uint64_t position) override { return file_->Seek(position); }
  int64_t Size() override { return file_->Size(); }
  bool Close() override { return file_->Close(); }

 private:
  std::unique_ptr<PlatformFile> file_;
  FaultyFileSystem& files_;
};

}  // namespace

std::unique_ptr<PlatformFile> FaultyFileSystem::Open(const std::string& path, OpenMode mode) {
  if (!failOpenContaining.empty() && path.find(failOpenContaining) != std::string::npos &&
      (!failOpenMode || *failOpenMode == mode))
    return nullptr;
  auto file = base().Open(path, mode);
  return file ? std::make_unique<BudgetFile>(std::move(file), *this) : nullptr;
}

}  // namespace corvix::testing
