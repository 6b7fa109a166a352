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
  if (folder.size() > kMaxFolderChars || !PathFits(folder) || folder.find('\0') != std::string::npos) return false;
  std::memset(destination, 0, kMaxFolderChars + 1);
  std::memcpy(destination, folder.data(), folder.size());
  return true;
}

}  // namespace

std::string WaveFileName(const char* name, uint16_t copy) {
  return NameList::Name(StoredName(RowName(name)), ".wav", copy);
}

std::string WaveFilePath(const char* name, uint16_t copy) { return JoinPath(WaveFolder, WaveFileName(name, copy)); }

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
