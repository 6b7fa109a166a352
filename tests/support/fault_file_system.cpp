#include "support/fault_file_system.h"

namespace corvix::testing {
namespace {

class BudgetFile : public PlatformFile {
 public:
  BudgetFile(std::unique_ptr<PlatformFile> file, int64_t* budget, std::vector<size_t>* writes)
      : file_(std::move(file)), budget_(budget), writes_(writes) {}
  int64_t Read(void* buffer, size_t bytes) override { return file_->Read(buffer, bytes); }
  int64_t Write(const void* buffer, size_t bytes) override {
    writes_->push_back(bytes);
    size_t allowed = bytes;
    if (*budget_ >= 0 && static_cast<int64_t>(bytes) > *budget_) allowed = static_cast<size_t>(*budget_);
    const int64_t put = allowed > 0 ? file_->Write(buffer, allowed) : 0;
    if (*budget_ >= 0 && put > 0) *budget_ -= put;
    return put;
  }
  bool Seek(uint64_t position) override { return file_->Seek(position); }
  int64_t Size() override { return file_->Size(); }
  bool Close() override { return file_->Close(); }

 private:
  std::unique_ptr<PlatformFile> file_;
  int64_t* budget_;
  std::vector<size_t>* writes_;
};

}  // namespace

std::unique_ptr<PlatformFile> FaultyFileSystem::Open(const std::string& path, OpenMode mode) {
  if (!failOpenContaining.empty() && path.find(failOpenContaining) != std::string::npos)
    return nullptr;
  auto file = base().Open(path, mode);
  if (!file) return nullptr;
  if (mode == OpenMode::kCreate) created.push_back(path);
  return std::make_unique<BudgetFile>(std::move(file), &writeBudget, &writes);
}

bool FaultyFileSystem::Delete(const std::string& path) {
  deleted.push_back(path);
  return base().Delete(path);
}

}  // namespace corvix::testing
