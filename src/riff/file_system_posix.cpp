// The file-system seam over POSIX calls (Linux and every other non-Windows
// system).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "riff/file_system.h"

namespace corvix {
namespace {

// Reads and writes name their position (pread, pwrite) and Seek only
// records it: a seek costs no call into the system, and the RIFF writer's
// seeks to patch chunk sizes come for free. Every Write still reaches the
// file before it returns, so a full disk shows in its count as before.
class PosixFile : public PlatformFile {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  int64_t Read(void* buffer, size_t bytes) override {
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < bytes) {
      const ssize_t got = ::pread(fd_, out + done, bytes - done, At(done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        if (done == 0) return -1;
        break;
      }
      if (got == 0) break;
      done += static_cast<size_t>(got);
    }
    position_ += done;
    return static_cast<int64_t>(done);
  }

  int64_t Write(const void* buffer, size_t bytes) override {
    size_t done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < bytes) {
      const ssize_t put = ::pwrite(fd_, in + done, bytes - done, At(done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) break;
      done += static_cast<size_t>(put);
    }
    position_ += done;
    return static_cast<int64_t>(done);
  }

  // Any position a file offset can hold is accepted, as lseek would.
  bool Seek(uint64_t position) override {
    if (fd_ < 0 || position > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return false;
    position_ = position;
    return true;
  }

  int64_t Size() override {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
  }

  bool Sync() override {
    while (fd_ >= 0 && ::fsync(fd_) != 0) {
      if (errno != EINTR) return false;
    }
    return fd_ >= 0;
  }

  bool Close() override {
    const int fd = fd_;
    fd_ = -1;
    return fd >= 0 && ::close(fd) == 0;
  }

 private:
  off_t At(size_t done) const { return static_cast<off_t>(position_ + done); }

  int fd_;
  uint64_t position_ = 0;  // where the next Read or Write starts
};

class PosixFileSystem : public FileSystem {
 public:
  std::unique_ptr<PlatformFile> Open(const std::string& path, OpenMode mode) override {
    int flags = O_RDONLY;
    if (mode == OpenMode::kCreate) flags = O_RDWR | O_CREAT | O_TRUNC;
    if (mode == OpenMode::kReadWrite) flags = O_RDWR;
    if (mode == OpenMode::kCreateNew) flags = O_RDWR | O_CREAT | O_EXCL;
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixFile>(fd);
  }

  bool Delete(const std::string& path) override {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
  }

  bool FileExists(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  bool FolderExists(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool SameFile(const std::string& a, const std::string& b) override {
    struct stat first {}, second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
  }

  bool MakeFolder(const std::string& path) override { return ::mkdir(path.c_str(), 0777) == 0; }

  // rename replaces the target in one step. (A power cut just after it may
  // still show the old file; either is whole.)
  bool Move(const std::string& from, const std::string& to) override {
    return std::rename(from.c_str(), to.c_str()) == 0;
  }

  bool DeleteFolder(const std::string& path) override {
    if (DIR* dir = ::opendir(path.c_str())) {
      while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") ::unlinkat(::dirfd(dir), name.c_str(), 0);
      }
      ::closedir(dir);
    }
    return ::rmdir(path.c_str()) == 0 || errno == ENOENT;
  }

  NameRules Rules() const override { return NameRules{'/'}; }
  std::string LastFailure() const override { return errno != 0 ? std::strerror(errno) : ""; }
};

}  // namespace

FileSystem& PlatformFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace corvix
