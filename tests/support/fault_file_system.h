// A file system for tests: the platform's, with faults on demand.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "riff/file_system.h"

namespace corvix::testing {

class FaultyFileSystem : public FileSystem {
 public:
  // Bytes that may still be written, over all files, before the disk is
  // "full" (writes then come back short); -1 for no limit.
  int64_t writeBudget = -1;
  // failTempFile: no file or folder can be created under a temporary name.
  bool failTempFile = false, failMove = false, failMakeFolder = false, failSync = false;
  // Opening a path that contains this text (empty: never), in this mode
  // (unset: any), fails.
  std::string failOpenContaining;
  std::optional<OpenMode> failOpenMode;
  int failOpenSkip = 0;  // matching opens that still succeed first
  std::vector<size_t> writes;  // bytes asked of each write, in order

  std::unique_ptr<PlatformFile> Open(const std::string& path, OpenMode mode) override {
    if (!failOpenContaining.empty() && path.find(failOpenContaining) != std::string::npos &&
        (!failOpenMode || *failOpenMode == mode) && failOpenSkip-- <= 0)
      return nullptr;
    if (failTempFile && mode == OpenMode::kCreateNew && IsTemp(path)) return nullptr;
    auto file = base().Open(path, mode);
    return file ? std::make_unique<BudgetFile>(std::move(file), *this) : nullptr;
  }
  bool Delete(const std::string& path) override { return base().Delete(path); }
  bool FileExists(const std::string& path) override { return base().FileExists(path); }
  bool FolderExists(const std::string& path) override { return base().FolderExists(path); }
  bool SameFile(const std::string& a, const std::string& b) override { return base().SameFile(a, b); }
  bool MakeFolder(const std::string& path) override {
    return !failMakeFolder && !(failTempFile && IsTemp(path)) && base().MakeFolder(path);
  }
  bool DeleteFolder(const std::string& path) override { return base().DeleteFolder(path); }
  bool Move(const std::string& from, const std::string& to) override { return !failMove && base().Move(from, to); }
  NameRules Rules() const override { return PlatformFileSystem().Rules(); }

 private:
  static FileSystem& base() { return PlatformFileSystem(); }
  static bool IsTemp(const std::string& path) { return path.find(kTempPrefix) != std::string::npos; }

  // A platform file that writes at most what is left of the budget.
  struct BudgetFile : PlatformFile {
    BudgetFile(std::unique_ptr<PlatformFile> platformFile, FaultyFileSystem& owner)
        : file(std::move(platformFile)), files(owner) {}
    int64_t Read(void* buffer, size_t bytes) override { return file->Read(buffer, bytes); }
    int64_t Write(const void* buffer, size_t bytes) override {
      files.writes.push_back(bytes);
      int64_t& budget = files.writeBudget;
      const size_t allowed = budget >= 0 ? std::min(bytes, static_cast<size_t>(budget)) : bytes;
      const int64_t put = allowed > 0 ? file->Write(buffer, allowed) : 0;
      if (budget >= 0 && put > 0) budget -= put;
      return put;
    }
    bool Seek(uint64_t position) override { return file->Seek(position); }
    int64_t Size() override { return file->Size(); }
    // Nothing here needs to survive a power cut: the tests don't wait for the disk.
    bool Sync() override { return !files.failSync; }
    bool Close() override { return file->Close(); }
    std::unique_ptr<PlatformFile> file;
    FaultyFileSystem& files;
  };
};

}  // namespace corvix::testing
