// A file system for tests: the platform's, with faults on demand.
#pragma once

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
  bool failTempFile = false, failMove = false, failMakeFolder = false;
  // Opening a path that contains this text (empty: never), in this mode
  // (unset: any), fails.
  std::string failOpenContaining;
  std::optional<OpenMode> failOpenMode;
  std::vector<size_t> writes;  // bytes asked of each write, in order

  std::unique_ptr<PlatformFile> Open(const std::string& path, OpenMode mode) override;
  bool Delete(const std::string& path) override { return base().Delete(path); }
  bool FileExists(const std::string& path) override { return base().FileExists(path); }
  bool FolderExists(const std::string& path) override { return base().FolderExists(path); }
  bool MakeFolder(const std::string& path) override { return !failMakeFolder && base().MakeFolder(path); }
  bool Move(const std::string& from, const std::string& to) override { return !failMove && base().Move(from, to); }
  std::string CreateTempFile(const std::string& folder, const std::string& prefix) override {
    return failTempFile ? std::string() : base().CreateTempFile(folder, prefix);
  }
  NameRules Rules() const override { return PlatformFileSystem().Rules(); }

 private:
  static FileSystem& base() { return PlatformFileSystem(); }
};

}  // namespace corvix::testing
