#include "export/stereo_merge.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "common/byte_order.h"
#include "common/messages.h"
#include "common/pending_error.h"
#include "records/job_state.h"
#include "riff/chunk_writer.h"
#include "riff/riff_file.h"

namespace corvix {
namespace {

// Per input file and pass: 64 Ki frames, so that a merge costs few calls to
// the file system (the output buffer is twice this; 512 KiB in all).
constexpr uint32_t kPassBytes = 131072;
constexpr uint32_t kFormatRecordBytes = 16;
constexpr uint32_t kSamplerRecordBytes = 68;
constexpr uint32_t kSamplerWrittenBytes = 60;
constexpr uint32_t kGroupIndexBytes = 4;
constexpr size_t kMaxNameChars = kWaveNameBytes - 1;

// Position of the later of the last 'L' and the last 'R', or -1.
long LetterPosition(const char* name, size_t limit) {
  long at = -1;
  for (size_t i = 0; i < limit && name[i] != '\0'; ++i) {
    if (name[i] == 'L' || name[i] == 'R') at = static_cast<long>(i);
  }
  return at;
}

size_t NameLength(const char* name, size_t limit) {
  size_t n = 0;
  while (n < limit && name[n] != '\0') ++n;
  return n;
}

// One merge's files; whatever is still open is closed, and the temporary
// file deleted, when the merge gives up.
class Merge {
 public:
  ~Merge() { Abandon(); }

  // A step that failed because the disk is full says so, whichever it was.
  int Fail(const std::string& message) {
    const bool full = output && output->wroteShort();
    SetPendingError(full ? kDiskFull : message.c_str(), kStyleError);
    Abandon();
    return 0;
  }
  void Abandon() {
    if (output) output->Close();
    if (left) left->Close();
    if (right) right->Close();
    if (!tempPath.empty()) DeleteFileByName(tempPath);
    tempPath.clear();
  }

  std::unique_ptr<RiffFile> output, left, right;
  std::string tempPath;
};

}  // namespace

char* MakeStereoName(char* name) {
  const long at = LetterPosition(name, kMaxNameChars);
  if (at < 0) return name;
  const auto i = static_cast<size_t>(at);
  if (i + 2 <= kMaxNameChars) {
    name[i] = 'L';
    name[i + 1] = 'R';
    name[i + 2] = '\0';
  } else {
    // A 13-character name with its letter last: the result is cut to fit.
    name[i] = 'L';
    name[i + 1] = '\0';
  }
  return name;
}

int IsStereoPair(const char* a, const char* b) {
  const long at = LetterPosition(a, kMaxNameChars);
  if (at < 0) return 0;
  const auto i = static_cast<size_t>(at);
  if (NameLength(b, kMaxNameChars) <= i) return 0;
  const char other = a[i] == 'L' ? 'R' : 'L';
  return b[i] == other ? 1 : 0;
}

int IsRightOfPair(const char* name) {
  const long at = LetterPosition(name, kMaxNameChars);
  return at >= 0 && name[at] == 'R' ? 1 : 0;
}

int IsAlreadyExported(const char* name) {
  char stereo[kWaveNameBytes] = {};
  std::memcpy(stereo, name, NameLength(name, kMaxNameChars));
  MakeStereoName(stereo);
  const uint32_t count = WaveTable.count < kWaveTableRows ? WaveTable.count : kWaveTableRows;
  for (uint32_t i = 0; i < count; ++i) {
    const char* row = WaveTable.rows[i].name;
    if (std::strncmp(row, name, kWaveNameBytes) == 0 || std::strncmp(row, stereo, kWaveNameBytes) == 0)
      return 1;
  }
  return 0;
}

int MergeStereoFiles(const char* leftName, const char* rightName) {
  char merged[kWaveNameBytes] = {};
  std::memcpy(merged, leftName, NameLength(leftName, kMaxNameChars));
  MakeStereoName(merged);
  return MergeStereoPair(WaveFilePath(leftName), WaveFilePath(rightName), leftName, WaveFilePath(merged),
                         ImportWavesMode == 0);
}

int MergeStereoPair(const std::string& leftPath, const std::string& rightPath, const char* leftName,
                    const std::string& finalPath, bool groupChunk) {
  // 1. Buffers.
  std::unique_ptr<uint8_t[]> leftSound(new (std::nothrow) uint8_t[kPassBytes]);
  std::unique_ptr<uint8_t[]> rightSound(new (std::nothrow) uint8_t[kPassBytes]);
  std::unique_ptr<uint8_t[]> frames(new (std::nothrow) uint8_t[2 * kPassBytes]);
  if (!leftSound || !rightSound || !frames) {
    SetPendingError(kNoMemory, kStyleError);
    return 0;
  }

  // 2. The merged name.
  char merged[kWaveNameBytes] = {};
  std::memcpy(merged, leftName, NameLength(leftName, kMaxNameChars));
  MakeStereoName(merged);

  // 3. The temporary file, beside the result.
  Merge m;
  m.output = CreateTempRiff(FolderOf(finalPath), &m.tempPath);
  if (!m.output) return m.Fail("Can't create temp file (disk full?)");

  // 4, 5. The mono files.
  m.left = RiffFile::Open(leftPath, OpenMode::kRead);
  if (!m.left) return m.Fail(kCantOpenFile + leftPath);
  m.right = RiffFile::Open(rightPath, OpenMode::kRead);
  if (!m.right) return m.Fail(kCantOpenFile + rightPath);
  ChunkInfo leftForm, rightForm;
  leftForm.type = rightForm.type = FourCC("WAVE");
  if (!m.left->Descend(leftForm, nullptr, FindFlag::kRiff))
    return m.Fail(leftPath + "  is not a vaild .WAV file");
  if (!m.right->Descend(rightForm, nullptr, FindFlag::kRiff))
    return m.Fail(rightPath + "  is not a vaild .WAV file");

  // 6. The left format.
  ChunkInfo leftFormat;
  leftFormat.id = FourCC("fmt ");
  if (!m.left->Descend(leftFormat, &leftForm, FindFlag::kChunk))
    return m.Fail("Can't find the fmt chunk in  " + leftPath);
  uint8_t format[kFormatRecordBytes];
  ReadChunkPadded(*m.left, format, kFormatRecordBytes, leftFormat.size);

  // 7. The head of the output.
  const uint32_t bitsPerSample = ReadU16LE(format + 14);
  PutU16LE(format + 2, 2);
  PutU32LE(format + 8, ReadU32LE(format + 4) * bitsPerSample * 2 / 8);
  PutU16LE(format + 12, static_cast<uint16_t>(bitsPerSample * 2 / 8));
  ChunkInfo outForm;
  outForm.type = FourCC("WAVE");
  if (!m.output->CreateChunk(outForm, CreateFlag::kRiff)) return m.Fail("Error creating chunk");
  if (!WriteChunk(*m.output, FourCC("fmt "), format, kFormatRecordBytes))
    return m.Fail("Error writing chunk");
  if (!WriteInfoList(*m.output, merged)) return m.Fail("Error creating chunk");

  // 8. The sound of both, the left one searched for after its format chunk.
  ChunkInfo leftData, rightData;
  leftData.id = rightData.id = FourCC("data");
  if (!m.left->Ascend(leftFormat) || !m.left->Descend(leftData, &leftForm, FindFlag::kChunk) ||
      !m.right->Descend(rightData, &rightForm, FindFlag::kChunk)) {
    return m.Fail("Can't find data chunk");
  }

  // 9, 10, 11. Interleave, frame by frame, the R sample's sound second
  // (byte offset of the first file's sound in a frame: 0, or 2). A right file shorter than the left
  // gives silence for the rest; nothing is read past either data chunk.
  ChunkInfo outData;
  if (!BeginChunk(*m.output, outData, FourCC("data"))) return m.Fail(kWriteError);
  const uint32_t firstChannel = IsRightOfPair(leftName) ? 2 : 0;
  uint32_t leftRemaining = leftData.size;
  uint32_t rightRemaining = rightData.size;
  while (leftRemaining > 0) {
    const uint32_t n = leftRemaining < kPassBytes ? leftRemaining : kPassBytes;
    std::memset(leftSound.get(), 0, kPassBytes);
    std::memset(rightSound.get(), 0, kPassBytes);
    const int64_t gotLeft = m.left->Read(leftSound.get(), n);
    if (gotLeft <= 0) break;  // the left file ends before its data chunk says
    const uint32_t rightWanted = n < rightRemaining ? n : rightRemaining;
    if (rightWanted > 0) {
      const int64_t gotRight = m.right->Read(rightSound.get(), rightWanted);
      rightRemaining = gotRight == static_cast<int64_t>(rightWanted) ? rightRemaining - rightWanted : 0;
    }
    const uint32_t frameCount = static_cast<uint32_t>(gotLeft) / 2;
    for (uint32_t i = 0; i < frameCount; ++i) {
      std::memcpy(frames.get() + 4 * i + firstChannel, leftSound.get() + 2 * i, 2);
      std::memcpy(frames.get() + 4 * i + 2 - firstChannel, rightSound.get() + 2 * i, 2);
    }
    const size_t outBytes = 4 * static_cast<size_t>(frameCount);
    if (outBytes > 0 && m.output->Write(frames.get(), outBytes) != static_cast<int64_t>(outBytes))
      return m.Fail(kWriteError);
    if (static_cast<uint32_t>(gotLeft) < n) break;
    leftRemaining -= n;
  }
  if (!EndChunk(*m.output, outData)) return m.Fail(kWriteError);

  // 12. The left sampler chunk, after its sound.
  ChunkInfo leftSampler;
  leftSampler.id = FourCC("smpl");
  if (!m.left->Ascend(leftData) || !m.left->Descend(leftSampler, &leftForm, FindFlag::kChunk))
    return m.Fail(kWriteError);
  uint8_t sampler[kSamplerRecordBytes];
  ReadChunkPadded(*m.left, sampler, kSamplerRecordBytes, leftSampler.size);
  if (!WriteChunk(*m.output, FourCC("smpl"), sampler, kSamplerWrittenBytes))
    return m.Fail(kWriteError);

  // 13. The group index, for conversions.
  if (groupChunk) {
    ChunkInfo leftGroup;
    leftGroup.id = FourCC("3gix");
    if (!m.left->Ascend(leftSampler) || !m.left->Descend(leftGroup, &leftForm, FindFlag::kChunk))
      return m.Fail(kWriteError);
    uint8_t group[kGroupIndexBytes];
    ReadChunkPadded(*m.left, group, kGroupIndexBytes, leftGroup.size);
    if (!WriteChunk(*m.output, FourCC("3gix"), group, kGroupIndexBytes)) return m.Fail(kWriteError);
  }

  // 14. Complete the output.
  if (!m.output->Ascend(outForm)) return m.Fail(kWriteError);
  m.left->Close();
  m.right->Close();

  // 15, 16. The merged file, flushed to the disk, takes its name, then the
  // mono files go. A mono file that had the merged name already has been
  // replaced by the move.
  const bool placed = PutRiffInPlace(*m.output, m.tempPath, finalPath);
  m.tempPath.clear();  // gone or in place
  if (!placed) return m.Fail("Can't move temp file");
  if (leftPath != finalPath) DeleteFileByName(leftPath);
  if (rightPath != finalPath) DeleteFileByName(rightPath);
  return 1;
}

}  // namespace corvix
