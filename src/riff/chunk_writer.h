// The RIFF chunk writer shared by the WAV and instrument writers.
//
// Failure convention: an operation that fails records its message in
// PendingError (error style), closes the file and returns 0; the caller then
// writes nothing more to it. Closing again is harmless (RiffFile::Close is
// idempotent). Results are 1 for success and 0 for failure.
//
// Every Begin… is matched by one EndChunk on the same ChunkInfo, innermost
// first; the caller keeps the ChunkInfo alive in between.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "riff/riff_file.h"

namespace corvix {

constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 0;

// The group names of an instrument file: one zero-padded 64-byte name per
// program of the file. Cleared and filled by the conversion job; read here.
constexpr int kGroupNames = 64;
constexpr int kGroupNameBytes = 64;
struct GroupNameTableRecord {
  uint8_t names[kGroupNames][kGroupNameBytes];
  uint32_t count;  // entries in use; WriteGroupNameList reads at most kGroupNames
};
extern GroupNameTableRecord GroupNameTable;
void ResetGroupNameTable();

// A plain chunk header (size 0) at the current position. "Error Creating Chunk".
int BeginChunk(RiffFile& file, ChunkInfo& ck, uint32_t id);
// LIST, size 0 and the list type. "Error creating list chunk".
int BeginListChunk(RiffFile& file, ChunkInfo& ck, uint32_t type);
// Ascends out of ck: true size, pad byte when odd. "Error closing chunk".
int EndChunk(RiffFile& file, ChunkInfo& ck);

// One whole plain chunk holding exactly the given bytes (bytes may be 0).
// A short write shows as a failed ascent.
int WriteChunk(RiffFile& file, uint32_t id, const void* data, uint32_t bytes);

// One plain chunk holding text without its terminator. A text of more than
// 256 characters is cut to its first 255 in the caller's buffer (a zero is
// stored at index 255); 256 characters are written whole.
int WriteStringChunk(RiffFile& file, uint32_t id, char* text);

// LIST "INFO" with INAM = name.
int WriteInfoList(RiffFile& file, const char* name);
// LIST "INFO" with INAM = name, ICRD = the local date and time, ISFT =
// "Veltrex Corvix 1.0".
int WriteInfoListStamped(RiffFile& file, const char* name);
// LIST "INFO" with INAM = name and ISFT = "Farreach".
int WriteInfoListSoftware(RiffFile& file, const char* name);

// LIST "3gnl" with one 64-byte "3gnm" chunk per GroupNameTable entry in use.
int WriteGroupNameList(RiffFile& file);

// Reads min(recordBytes, available) bytes from the current position into
// record and zero-fills the rest of it. Bytes the file doesn't have (a chunk
// whose size runs past the end) read as zeros too.
void ReadChunkPadded(RiffFile& file, void* record, uint32_t recordBytes, uint32_t available);

// The ICRD text of a time: "MM/DD/YY    HH:MM:SS", 20 characters.
std::string FormatCreationStamp(const std::tm& local);

}  // namespace corvix
