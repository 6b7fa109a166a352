#include "riff/riff_file.h"

#include "common/byte_order.h"

namespace corvix {
namespace {

constexpr uint64_t kMaxRiffPosition = 0xFFFFFFFFull;
constexpr uint32_t kHeaderBytes = 8;

}  // namespace

std::unique_ptr<RiffFile> RiffFile::Open(const std::string& path, OpenMode mode) {
  std::unique_ptr<PlatformFile> file = CurrentFileSystem().Open(path, mode);
  if (!file) return nullptr;
  return std::make_unique<RiffFile>(std::move(file));
}

RiffFile::RiffFile(std::unique_ptr<PlatformFile> file) : file_(std::move(file)) {}

RiffFile::~RiffFile() { Close(); }

int64_t RiffFile::Read(void* buffer, size_t bytes) {
  if (!file_) return -1;
  const int64_t got = file_->Read(buffer, bytes);
  if (got > 0) position_ += static_cast<uint64_t>(got);
  return got;
}

int64_t RiffFile::Write(const void* buffer, size_t bytes) {
  if (!file_) return -1;
  // A RIFF file can't grow past 4 GiB; a write that would is cut there.
  if (position_ + bytes > kMaxRiffPosition) bytes = static_cast<size_t>(kMaxRiffPosition - position_);
  const int64_t put = file_->Write(buffer, bytes);
  if (put > 0) position_ += static_cast<uint64_t>(put);
  if (put < static_cast<int64_t>(bytes)) wroteShort_ = true;
  return put;
}

bool RiffFile::Seek(uint64_t position) {
  if (!file_ || position > kMaxRiffPosition) return false;
  if (!file_->Seek(position)) return false;
  position_ = position;
  return true;
}

bool RiffFile::WriteU32At(uint64_t position, uint32_t value) {
  uint8_t bytes[4];
  PutU32LE(bytes, value);
  return Seek(position) && Write(bytes, 4) == 4;
}

bool RiffFile::CreateChunk(ChunkInfo& ck, CreateFlag flag) {
  if (!file_) return false;
  if (flag == CreateFlag::kList) ck.id = kIdList;
  if (flag == CreateFlag::kRiff) ck.id = kIdRiff;
  ck.size = 0;
  uint8_t header[12];
  PutU32LE(header, ck.id);
  PutU32LE(header + 4, 0);
  PutU32LE(header + 8, ck.type);
  const size_t bytes = flag == CreateFlag::kPlain ? 8 : 12;
  const uint64_t start = position_;
  if (Write(header, bytes) != static_cast<int64_t>(bytes)) return false;
  ck.dataOffset = static_cast<uint32_t>(start + kHeaderBytes);
  ck.flags = kChunkDirty;
  return true;
}

bool RiffFile::Ascend(ChunkInfo& ck) {
  if (!file_) return false;
  if ((ck.flags & kChunkDirty) != 0) {
    if (position_ < ck.dataOffset) return false;
    const uint64_t size = position_ - ck.dataOffset;
    if (size > 0xFFFFFFFFull) return false;
    const uint64_t end = position_;
    if ((size & 1) != 0) {
      const uint8_t pad = 0;
      if (Write(&pad, 1) != 1) return false;
    }
    const uint64_t after = end + (size & 1);
    if (!WriteU32At(ck.dataOffset - 4u, static_cast<uint32_t>(size))) return false;
    if (!Seek(after)) return false;
    ck.size = static_cast<uint32_t>(size);
    ck.flags &= ~kChunkDirty;
    return true;
  }
  const uint64_t after = static_cast<uint64_t>(ck.dataOffset) + ck.size + (ck.size & 1);
  return Seek(after > kMaxRiffPosition ? kMaxRiffPosition : after);
}

bool RiffFile::Descend(ChunkInfo& ck, const ChunkInfo* parent, FindFlag flag) {
  if (!file_) return false;
  const int64_t fileSize = file_->Size();
  if (fileSize < 0) return false;
  uint64_t limit = static_cast<uint64_t>(fileSize);
  if (parent != nullptr) {
    const uint64_t parentEnd = static_cast<uint64_t>(parent->dataOffset) + parent->size;
    if (parentEnd < limit) limit = parentEnd;
  }
  const uint32_t wantedId = ck.id;
  const uint32_t wantedType = ck.type;
  uint64_t at = position_;
  // Each step moves on by at least one header, so the search ends.
  while (at + kHeaderBytes <= limit) {
    uint8_t header[12] = {};
    if (!Seek(at)) return false;
    if (Read(header, kHeaderBytes) != kHeaderBytes) return false;
    const uint32_t id = ReadU32LE(header);
    const uint32_t size = ReadU32LE(header + 4);
    uint32_t type = 0;
    const bool isForm = id == kIdRiff || id == kIdList;
    if (isForm && at + 12 <= limit) {
      if (Read(header + 8, 4) != 4) return false;
      type = ReadU32LE(header + 8);
    }
    bool match = false;
    switch (flag) {
      case FindFlag::kAny: match = true; break;
      case FindFlag::kChunk: match = id == wantedId; break;
      case FindFlag::kList: match = id == kIdList && type == wantedType; break;
      case FindFlag::kRiff: match = id == kIdRiff && type == wantedType; break;
    }
    if (match) {
      if (isForm && at + 12 > limit) return false;  // no room for the type
      ck.id = id;
      ck.size = size;
      ck.type = isForm ? type : 0;
      ck.dataOffset = static_cast<uint32_t>(at + kHeaderBytes);
      ck.flags = 0;
      return Seek(at + (isForm ? 12 : kHeaderBytes));
    }
    at += kHeaderBytes + static_cast<uint64_t>(size) + (size & 1);
  }
  return false;
}

bool RiffFile::Close() {
  if (!file_) return false;
  std::unique_ptr<PlatformFile> file = std::move(file_);
  return file->Close();
}

bool RiffFile::Sync() { return file_ && file_->Sync(); }

std::unique_ptr<RiffFile> CreateTempRiff(const std::string& folder, std::string* tempPath) {
  std::unique_ptr<PlatformFile> file = CreateTempFile(folder, tempPath);
  if (!file) return nullptr;
  return std::make_unique<RiffFile>(std::move(file));
}

bool PutRiffInPlace(RiffFile& file, const std::string& tempPath, const std::string& finalPath) {
  const bool synced = file.Sync();
  if (file.Close() && synced && CurrentFileSystem().Move(tempPath, finalPath)) return true;
  DeleteFileByName(tempPath);
  return false;
}

bool DeleteFileByName(const std::string& path) { return CurrentFileSystem().Delete(path); }

}  // namespace corvix
