// The RIFF file object: buffered-free file access with chunk creation,
// ascent and descent, in the manner of the Windows multimedia file calls.
//
// Every RIFF file of the program (WAV files, the merge's temporary file,
// instrument files) is written and read back through it, on every platform.
// It keeps the file position, writes chunk headers and fixes chunk sizes on
// ascent. Writes go straight to the file (nothing is held back), so Tell
// counts every byte written and a full disk shows in the count a Write
// returns.
//
// Closing: Close is idempotent. A failing operation of the chunk writer
// closes the file itself; the owner's later Close, or the destructor, then
// does no harm. Once closed, every operation fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "riff/file_system.h"

namespace corvix {

// A four-character code as it is held in memory: the first character in the
// lowest byte, so that writing it little-endian gives the characters in order.
constexpr uint32_t FourCC(const char (&code)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) |
         (static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24);
}

constexpr uint32_t kIdRiff = FourCC("RIFF");
constexpr uint32_t kIdList = FourCC("LIST");

// The caller-owned record of one chunk, from its creation (or descent) to
// its ascent.
struct ChunkInfo {
  uint32_t id = 0;          // chunk id
  uint32_t size = 0;        // data bytes; for RIFF and LIST the type counts
  uint32_t type = 0;        // form or list type (RIFF and LIST only)
  uint32_t dataOffset = 0;  // file offset of the data (of the type for RIFF/LIST)
  uint32_t flags = 0;       // kChunkDirty: the size is fixed on ascent
};

constexpr uint32_t kChunkDirty = 0x10;

// How CreateChunk writes the header.
enum class CreateFlag { kPlain, kList, kRiff };

// What Descend looks for.
enum class FindFlag {
  kAny,    // the chunk at the current position
  kChunk,  // the next chunk whose id is ck.id
  kList,   // the next LIST whose type is ck.type
  kRiff,   // the next RIFF whose form type is ck.type
};

class RiffFile {
 public:
  // Opens path through the current file system; null when it can't be
  // opened or created.
  static std::unique_ptr<RiffFile> Open(const std::string& path, OpenMode mode);

  explicit RiffFile(std::unique_ptr<PlatformFile> file);
  ~RiffFile();
  RiffFile(const RiffFile&) = delete;
  RiffFile& operator=(const RiffFile&) = delete;

  // Bytes read, 0 at the end, -1 on an error or when closed.
  int64_t Read(void* buffer, size_t bytes);
  // Bytes written; fewer than asked when the disk is full, -1 when closed.
  int64_t Write(const void* buffer, size_t bytes);
  // Moves to an absolute position. False when closed, out of the 32-bit
  // range of RIFF files, or refused by the platform.
  bool Seek(uint64_t position);
  // The current position: every byte written or read so far counts.
  uint32_t Tell() const { return static_cast<uint32_t>(position_); }

  // Writes a chunk header at the current position: id (or LIST/RIFF, size 0
  // and ck.type), leaving the position at the start of the data (after the
  // type for LIST/RIFF). Sets ck.size 0, ck.dataOffset and kChunkDirty.
  bool CreateChunk(ChunkInfo& ck, CreateFlag flag);

  // Leaves the chunk ck. For a chunk created here (kChunkDirty) the size is
  // the data written since its creation: written into its header, followed by
  // one zero pad byte when it is odd. The position ends after the chunk and
  // its pad byte.
  bool Ascend(ChunkInfo& ck);

  // Finds a chunk, searching forward from the current position: inside
  // parent (to its end) when given, otherwise to the end of the file. On
  // success ck holds the chunk and the position is at its data (after the
  // type for LIST/RIFF). Sizes that run past the parent or the file are
  // kept as read; readers bound their reads by them and by what is there.
  bool Descend(ChunkInfo& ck, const ChunkInfo* parent, FindFlag flag);

  // Waits until everything written is on the disk; false when closed or
  // the disk refuses.
  bool Sync();

  // Closes the file; true when it was open and all data reached the disk.
  // Idempotent: a second Close returns false and does nothing.
  bool Close();
  bool closed() const { return file_ == nullptr; }
  // True once a write has put fewer bytes than asked (the disk is full),
  // also after the file has been closed.
  bool wroteShort() const { return wroteShort_; }

 private:
  bool WriteU32At(uint64_t position, uint32_t value);
  std::unique_ptr<PlatformFile> file_;
  uint64_t position_ = 0;
  bool wroteShort_ = false;
};

// A new RIFF file under a fresh temporary name in folder (file_system.h),
// its path in *tempPath; null when none can be made.
std::unique_ptr<RiffFile> CreateTempRiff(const std::string& folder, std::string* tempPath);
// Puts a finished temporary file, still open, in place over finalPath
// (PutInPlace); on failure the temporary file is gone and finalPath stands
// as it was.
bool PutRiffInPlace(RiffFile& file, const std::string& tempPath, const std::string& finalPath);

// Deletes a file through the current file system; true when it is gone.
bool DeleteFileByName(const std::string& path);

}  // namespace corvix
