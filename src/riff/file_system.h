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
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <string_view>

namespace corvix {

enum class OpenMode {
  kRead,       // an existing file, read only
  kCreate,     // create, or truncate an existing file; read and write
  kReadWrite,  // an existing file, read and write
  kCreateNew,  // a new file, read and write; fails when the name is taken
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
  // Waits until everything written is on the disk (fsync,
  // FlushFileBuffers); false when it can't be stored.
  virtual bool Sync() = 0;
  // Flushes and closes; false when data could not be stored. Called once.
  virtual bool Close() = 0;
};

// How the platform's file system writes paths.
struct NameRules {
  char separator = '/';
  size_t maxPathChars = 0;  // the longest path the platform takes; 0: no limit
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual std::unique_ptr<PlatformFile> Open(const std::string& path, OpenMode mode) = 0;
  // Deletes a file; true also when there was nothing to delete.
  virtual bool Delete(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  // Whether two paths name one file (device and inode; volume and file
  // index): false when either is missing.
  virtual bool SameFile(const std::string& a, const std::string& b) = 0;
  // Creates one folder (its parent must exist).
  virtual bool MakeFolder(const std::string& path) = 0;
  // Deletes a folder and the files directly in it (the job's own work
  // folder only); true also when there was nothing to delete.
  virtual bool DeleteFolder(const std::string& path) = 0;
  // Renames a file within its folder, replacing a file of the target's
  // name in one step: a reader sees the old file or the new one, never
  // neither and never a part.
  virtual bool Move(const std::string& from, const std::string& to) = 0;
  virtual NameRules Rules() const = 0;
  // The system's reason for the call that failed last, in its words ("No
  // such file or directory"); asked right after the failure.
  virtual std::string LastFailure() const { return {}; }
};

// Whether path is short enough for the current file system.
bool PathFits(std::string_view path);

// The platform's own file system (one per platform implementation file).
FileSystem& PlatformFileSystem();

// The file system the core uses; the platform's unless a test installs
// another. Not owned.
void SetFileSystem(FileSystem* fileSystem);
FileSystem& CurrentFileSystem();

// Files are put in place the same way everywhere: written under a
// temporary name in the folder of their final name, created exclusively,
// then flushed and renamed over the final name only when whole. What a run
// stopped hard leaves behind is at most such temporaries (files and the
// work folders of jobs), named ".corvix-" + 16 hex digits + ".tmp" so that
// a user can tell them and remove them; no run reads or deletes another
// run's.
inline constexpr std::string_view kTempPrefix = ".corvix-";
inline constexpr std::string_view kTempSuffix = ".tmp";
bool IsTempName(std::string_view name);

// A new file under a fresh temporary name in folder, created exclusively
// and open for reading and writing, its path in *path; null (and *path
// empty) when none can be made.
std::unique_ptr<PlatformFile> CreateTempFile(const std::string& folder, std::string* path);
// A new folder under a fresh temporary name below folder, created
// exclusively: a job's private place for its intermediate files. Its path,
// or empty when none can be made.
std::string MakeTempFolder(const std::string& folder);
// Flushes file to the disk, closes it and renames tempPath over finalPath.
// On failure tempPath is deleted and finalPath, if there was one, stands as
// it was. file is closed either way.
bool PutInPlace(PlatformFile& file, const std::string& tempPath, const std::string& finalPath);

// The folder part of a path: "." for a bare name, the root for a file in it.
std::string FolderOf(const std::string& path);

// The one rule by which a name from the disc becomes a file or folder name,
// the same on every platform (Windows's, so that one disc gives the same
// names everywhere): trailing spaces and dots are dropped (the padding of
// Akai names), and so are leading spaces; separators, controls and
// < > : " | ? * become '_', and a name that is then empty, dots only or a
// device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any extension)
// gets a '_' in front. The result is
// one path component that never leaves its folder. An extension is added
// after this, never before: FileName("KICK        ", ".wav") is "KICK.wav".
std::string StoredName(std::string_view name);
std::string FileName(std::string_view name, std::string_view extension);

// The names a job has given in one folder, case not told apart. Take gives
// base + extension, or base + " (k)" + extension with the first k from 2
// that is neither given already nor busy, and returns 0 or that k. Each
// base remembers the k it got to, so n names of one base cost n steps.
class NameList {
 public:
  int Take(const std::string& base, const std::string& extension,
           const std::function<bool(const std::string& name)>& busy = {});
  static std::string Name(const std::string& base, const std::string& extension, int copy);

 private:
  std::set<std::string> taken_;
  std::map<std::string, int> next_;
};

// folder + separator + StoredName(name); no separator is doubled when folder
// already ends with one. An empty folder stands for the root.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace corvix
