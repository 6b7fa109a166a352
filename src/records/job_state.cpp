#include "records/job_state.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "riff/file_system.h"

namespace corvix {

WaveTableRecord WaveTable = {};
char WaveFolder[kMaxFolderChars + 1] = {};
char ChosenFolder[kMaxFolderChars + 1] = {};
int ImportWavesMode = 0;
int MergeStereoPairs = 1;
volatile std::sig_atomic_t CancelRequested = 0;

namespace {

// A row's name: at most kWaveNameBytes − 1 characters.
std::string_view RowName(const char* name) {
  size_t length = 0;
  while (length < kWaveNameBytes - 1 && name[length] != '\0') ++length;
  return {name, length};
}

bool CopyFolder(char* destination, const std::string& folder) {
  if (folder.size() > kMaxFolderChars || folder.find('\0') != std::string::npos) return false;
  std::memset(destination, 0, kMaxFolderChars + 1);
  std::memcpy(destination, folder.data(), folder.size());
  return true;
}

}  // namespace

std::string WaveFileName(const char* name) {
  const std::string_view wanted = RowName(name);
  const std::string base = StoredName(wanted);
  const uint32_t count = std::min(WaveTable.count, kWaveTableRows);
  uint32_t end = count;
  for (uint32_t i = 0; i < count; ++i) {
    if (RowName(WaveTable.rows[i].name) == wanted) {
      end = i;
      break;
    }
  }
  uint32_t same = 0;
  for (uint32_t i = 0; i < end; ++i) {
    const std::string_view other = RowName(WaveTable.rows[i].name);
    // Only a name of about the base's length can be stored as the base.
    const size_t length = other.find_last_not_of(" .") + 1;
    if (length + 1 < base.size() || length > base.size()) continue;
    if (SameStoredName(StoredName(other), base)) ++same;
  }
  return same == 0 ? base + ".wav" : base + " (" + std::to_string(same + 1) + ").wav";
}

std::string WaveFilePath(const char* name) { return JoinPath(WaveFolder, WaveFileName(name)); }

bool SetWaveFolder(const std::string& folder) { return CopyFolder(WaveFolder, folder); }
bool SetChosenFolder(const std::string& folder) { return CopyFolder(ChosenFolder, folder); }

void ResetJobState() {
  std::memset(&WaveTable, 0, sizeof WaveTable);
  std::memset(WaveFolder, 0, sizeof WaveFolder);
  std::memset(ChosenFolder, 0, sizeof ChosenFolder);
  ImportWavesMode = 0;
  MergeStereoPairs = 1;
  CancelRequested = 0;
}

}  // namespace corvix
