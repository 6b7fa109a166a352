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

// How the platform's file system writes paths.
struct NameRules {
  char separator = '/';
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

// The one rule by which a name from the disc becomes a file or folder name,
// the same on every platform (Windows's, so that one disc gives the same
// names everywhere): trailing spaces and dots are dropped (the padding of
// Akai names), and so are leading spaces, separators, controls and < > : " | ? * become '_', and a name
// that is then empty, dots only or a device name (CON, PRN, AUX, NUL,
// COM1-9, LPT1-9, with any extension) gets a '_' in front. The result is
// one path component that never leaves its folder. An extension is added
// after this, never before: FileName("KICK        ", ".wav") is "KICK.wav".
std::string StoredName(std::string_view name);
std::string FileName(std::string_view name, std::string_view extension);

// Whether two stored names name the same file where case is not told apart.
bool SameStoredName(std::string_view a, std::string_view b);

// folder + separator + StoredName(name); no separator is doubled when folder
// already ends with one. An empty folder stands for the root.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace corvix
