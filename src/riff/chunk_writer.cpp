#include "riff/chunk_writer.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/pending_error.h"

namespace corvix {

GroupNameTableRecord GroupNameTable = {};

namespace {

constexpr size_t kLongestWholeText = 256;
constexpr size_t kCutTextLength = 255;

int Fail(RiffFile& file, const char* message) {
  SetPendingError(message, kStyleError);
  file.Close();
  return 0;
}

// WriteStringChunk on a copy, so that a constant text can be passed.
int WriteTextChunk(RiffFile& file, uint32_t id, const char* text) {
  std::vector<char> copy(text, text + std::strlen(text) + 1);
  return WriteStringChunk(file, id, copy.data());
}

}  // namespace

void ResetGroupNameTable() { GroupNameTable = {}; }

int BeginChunk(RiffFile& file, ChunkInfo& ck, uint32_t id) {
  ck.size = 0;
  ck.id = id;
  if (!file.CreateChunk(ck, CreateFlag::kPlain)) return Fail(file, "Error Creating Chunk");
  return 1;
}

int BeginListChunk(RiffFile& file, ChunkInfo& ck, uint32_t type) {
  ck.size = 0;
  ck.type = type;
  if (!file.CreateChunk(ck, CreateFlag::kList)) return Fail(file, "Error creating list chunk");
  return 1;
}

int EndChunk(RiffFile& file, ChunkInfo& ck) {
  if (!file.Ascend(ck)) return Fail(file, "Error closing chunk");
  return 1;
}

int WriteChunk(RiffFile& file, uint32_t id, const void* data, uint32_t bytes) {
  ChunkInfo ck;
  if (!BeginChunk(file, ck, id)) return 0;
  // A short write leaves the position short; the chunk's size then tells the
  // truth about what is there, and the caller's next write or ascent fails
  // on the same full disk.
  if (bytes > 0 && file.Write(data, bytes) != static_cast<int64_t>(bytes)) {
    return Fail(file, "Error closing chunk");
  }
  return EndChunk(file, ck);
}

int WriteStringChunk(RiffFile& file, uint32_t id, char* text) {
  ChunkInfo ck;
  if (!BeginChunk(file, ck, id)) return 0;
  size_t length = std::strlen(text);
  if (length > kLongestWholeText) {
    text[kCutTextLength] = '\0';
    length = kCutTextLength;
  }
  if (length > 0 && file.Write(text, length) != static_cast<int64_t>(length)) {
    return Fail(file, "Error closing chunk");
  }
  return EndChunk(file, ck);
}

int WriteInfoList(RiffFile& file, const char* name) {
  ChunkInfo list;
  if (!BeginListChunk(file, list, FourCC("INFO"))) return 0;
  if (!WriteTextChunk(file, FourCC("INAM"), name)) return 0;
  return EndChunk(file, list);
}

std::string FormatCreationStamp(const std::tm& local) {
  char text[64];
  std::snprintf(text, sizeof text, "%02d/%02d/%02d    %02d:%02d:%02d", (local.tm_mon + 1) % 100,
                local.tm_mday % 100, (local.tm_year + 1900) % 100, local.tm_hour % 100,
                local.tm_min % 100, local.tm_sec % 100);
  return text;
}

int WriteInfoListStamped(RiffFile& file, const char* name) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (const std::tm* t = std::localtime(&now)) local = *t;
  const std::string stamp = FormatCreationStamp(local);
  char software[64];
  std::snprintf(software, sizeof software, "Veltrex Corvix %d.%d", kVersionMajor, kVersionMinor);

  ChunkInfo list;
  if (!BeginListChunk(file, list, FourCC("INFO"))) return 0;
  if (!WriteTextChunk(file, FourCC("INAM"), name)) return 0;
  if (!WriteTextChunk(file, FourCC("ICRD"), stamp.c_str())) return 0;
  if (!WriteTextChunk(file, FourCC("ISFT"), software)) return 0;
  return EndChunk(file, list);
}

int WriteInfoListSoftware(RiffFile& file, const char* name) {
  ChunkInfo list;
  if (!BeginListChunk(file, list, FourCC("INFO"))) return 0;
  if (!WriteTextChunk(file, FourCC("INAM"), name)) return 0;
  if (!WriteTextChunk(file, FourCC("ISFT"), "Farreach")) return 0;
  return EndChunk(file, list);
}

int WriteGroupNameList(RiffFile& file) {
  ChunkInfo list;
  if (!BeginListChunk(file, list, FourCC("3gnl"))) return 0;
  const uint32_t count = GroupNameTable.count < kGroupNames ? GroupNameTable.count : kGroupNames;
  for (uint32_t i = 0; i < count; ++i) {
    if (!WriteChunk(file, FourCC("3gnm"), GroupNameTable.names[i], kGroupNameBytes)) return 0;
  }
  return EndChunk(file, list);
}

void ReadChunkPadded(RiffFile& file, void* record, uint32_t recordBytes, uint32_t available) {
  auto* bytes = static_cast<uint8_t*>(record);
  std::memset(bytes, 0, recordBytes);
  const uint32_t wanted = available < recordBytes ? available : recordBytes;
  if (wanted > 0) file.Read(bytes, wanted);
}

}  // namespace corvix
