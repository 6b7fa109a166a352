#include "instrument/wave_pool.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "common/messages.h"
#include "common/pending_error.h"
#include "riff/chunk_writer.h"
#include "riff/file_system.h"

namespace corvix {

uint32_t WaveOffsetTable[kWaveTableRows] = {};

namespace {

constexpr uint32_t kTableHeaderBytes = 8;
constexpr uint32_t kWaveHeaderBytes = 12;  // "RIFF", size, "WAVE"

int Fail(RiffFile& file, const std::string& message, uint32_t style = kStyleError) {
  SetPendingError(message.c_str(), style);
  file.Close();
  return 0;
}

uint32_t WaveCount() { return std::min(WaveTable.count, kWaveTableRows); }

// Appends the body of one WAV file as LIST "wave".
int CopyWave(RiffFile& file, uint32_t i, uint32_t base, uint8_t* buffer) {
  const std::string path = WaveFilePath(WaveTable.rows[i]);
  std::unique_ptr<PlatformFile> wav = CurrentFileSystem().Open(path, OpenMode::kRead);
  if (!wav) return Fail(file, kCantOpenFile + path);
  const std::string unreadable = kCantReadFile + path;

  uint8_t head[kWaveHeaderBytes] = {};
  int64_t got = 0;
  while (got < static_cast<int64_t>(kWaveHeaderBytes)) {
    const int64_t n = wav->Read(head + got, kWaveHeaderBytes - static_cast<size_t>(got));
    if (n <= 0) break;
    got += n;
  }
  const uint32_t riffSize = ReadU32LE(head + 4);
  if (got != static_cast<int64_t>(kWaveHeaderBytes) || ReadU32LE(head) != kIdRiff ||
      ReadU32LE(head + 8) != FourCC("WAVE") || riffSize < 4) {
    return Fail(file, unreadable);
  }

  WaveOffsetTable[i] = file.Tell() - base;
  ChunkInfo list;
  if (!BeginListChunk(file, list, FourCC("wave"))) return 0;
  uint64_t remaining = riffSize - 4;
  while (remaining > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(remaining, kWaveCopyBytes));
    const int64_t n = wav->Read(buffer, want);
    if (n <= 0) return Fail(file, unreadable);  // shorter than its RIFF size
    if (file.Write(buffer, static_cast<size_t>(n)) != n) return Fail(file, kDiskFull);
    remaining -= static_cast<uint64_t>(n);
  }
  if (!EndChunk(file, list)) return 0;
  wav->Close();
  return 1;
}

int CopyWaves(RiffFile& file, ProgressDialog* dialog) {
  const uint32_t base = file.Tell();
  const uint32_t n = WaveCount();
  ProgressBar* bar = dialog != nullptr ? dialog->CreateProgressBar() : nullptr;
  if (bar != nullptr) {
    bar->SetRange(0, n);
    bar->SetStep(1);
  }
  if (n < 1) {
    DeleteExportedWaves();
    return 1;
  }
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kWaveCopyBytes]);
  if (!buffer) return Fail(file, kNoMemory);
  for (uint32_t i = 0; i < n; ++i) {
    CurrentProgressUi().PumpMessages();
    if (CancelRequested) return Fail(file, kCancelled, kStyleWarning);
    if (bar != nullptr) bar->StepIt();
    if (!CopyWave(file, i, base, buffer.get())) return 0;
  }
  DeleteExportedWaves();
  return 1;
}

}  // namespace

int WriteWavePool(RiffFile& file, ProgressDialog* dialog) {
  const uint32_t n = WaveCount();
  std::vector<uint8_t> table(kTableHeaderBytes + 4 * static_cast<size_t>(n), 0);
  PutU32LE(table.data(), kTableHeaderBytes);
  std::fill(std::begin(WaveOffsetTable), std::end(WaveOffsetTable), 0u);

  // 1, 2. The table with a count of 0 until the waves are in.
  ChunkInfo ptbl;
  if (!BeginChunk(file, ptbl, FourCC("ptbl"))) return 0;
  const uint32_t tableAt = file.Tell();
  if (file.Write(table.data(), table.size()) != static_cast<int64_t>(table.size()))
    return Fail(file, kDiskFull);
  if (!EndChunk(file, ptbl)) return 0;

  // 3.
  ChunkInfo pool;
  if (!BeginListChunk(file, pool, FourCC("wvpl"))) return 0;
  if (!CopyWaves(file, dialog)) return 0;
  if (!EndChunk(file, pool)) return 0;

  // 4. The count and the offsets.
  const uint32_t end = file.Tell();
  PutU32LE(table.data() + 4, n);
  for (uint32_t i = 0; i < n; ++i) PutU32LE(table.data() + kTableHeaderBytes + 4 * i, WaveOffsetTable[i]);
  if (!file.Seek(tableAt) ||
      file.Write(table.data(), table.size()) != static_cast<int64_t>(table.size()) || !file.Seek(end)) {
    return Fail(file, kDiskFull);
  }
  return 1;
}

void DeleteExportedWaves() {
  for (uint32_t i = 0; i < WaveCount(); ++i) DeleteFileByName(WaveFilePath(WaveTable.rows[i]));
}

}  // namespace corvix
