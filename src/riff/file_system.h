// The file-system seam: the few things the writers ask of the platform's
// files and folders.
//
// Everything above this seam (the RIFF file object, the WAV writer, the
// stereo merge, the jobs) is portable; one implementation per platform sits
// below it (file_system_posix.cpp, file_system_win32.cpp) and tests put a
// fault-injecting one in front of it. Paths are UTF-8 texts; the Windows
// implementation converts them to wide characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace corvix {

enum class OpenMode {
  kRead,       // an existing file, read only
  kCreate,     // create, or truncate an existing file; read and write
  kReadWrite,  // an existing file, read and write
};

// One open file. Positions are absolute byte offsets.
class PlatformFile {
 public:
  virtual ~PlatformFile() = default;
  // Bytes read (0 at the end of the file), or -1 on an error.
  virtual int64_t Read(void* buffer, size_t bytes) = 0;
  // Bytes written; fewer than asked (possibly -1) when the disk is full or
  // the write failed.
  virtual int64_t Write(const void* buffer, size_t bytes) = 0;
  // Moves to position; false when the platform refuses.
  virtual bool Seek(uint64_t position) = 0;
  // Current length of the file, or -1.
  virtual int64_t Size() = 0;
  // Flushes and closes; false when data could not be stored. Called once.
  virtual bool Close() = 0;
};

// How the platform's file system stores a name it is given.
struct NameRules {
  char separator = '/';
  // Windows drops trailing spaces and dots of every path component.
  bool dropsTrailingSpacesAndDots = false;
  // Windows reserves CON, PRN, AUX, NUL, COM1-9 and LPT1-9 (with any
  // extension) and forbids the characters < > : " | ? * and controls.
  bool reservesDeviceNames = false;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual std::unique_ptr<PlatformFile> Open(const std::string& path, OpenMode mode) = 0;
  // Deletes a file; true also when there was nothing to delete.
  virtual bool Delete(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  // Creates one folder (its parent must exist).
  virtual bool MakeFolder(const std::string& path) = 0;
  // Moves a file, replacing a file of the target's name.
  virtual bool Move(const std::string& from, const std::string& to) = 0;
  // Creates a new, empty file with a unique name made from prefix in folder
  // and returns its path; empty when that fails.
  virtual std::string CreateTempFile(const std::string& folder, const std::string& prefix) = 0;
  virtual NameRules Rules() const = 0;
};

// The platform's own file system (one per platform implementation file).
FileSystem& PlatformFileSystem();

// The file system the core uses; the platform's unless a test installs
// another. Not owned.
void SetFileSystem(FileSystem* fileSystem);
FileSystem& CurrentFileSystem();

// The name under which the current file system stores `name` as one path
// component: unchanged where it can be stored as given. Under Windows rules
// trailing spaces and dots are dropped (the file system would drop them
// anyway, so creating and finding a file agree) and forbidden characters
// become '_'. A component that would then be empty, "." or "..", a reserved
// device name, or would hold a separator or a zero byte is made safe: bad
// characters become '_', and an empty, dot-only or device name gets a '_' in
// front. The result never leaves its folder.
std::string StoredName(std::string_view name, const NameRules& rules);
std::string StoredName(std::string_view name);

// folder + separator + StoredName(name); no separator is doubled when folder
// already ends with one. An empty folder stands for the root.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace corvix
