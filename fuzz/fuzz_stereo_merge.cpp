// Merges two arbitrary files as the left and right mono WAV files of an L/R
// pair. The input is split at a point given by its first two bytes.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_source.h"
#include "common/user_messages.h"
#include "export/stereo_merge.h"
#include "records/job_state.h"

namespace {

void Write(const std::filesystem::path& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static corvix::fuzz::QuietMessages quiet;
  static const std::filesystem::path folder = [] {
    corvix::SetUserMessages(&quiet);
    auto dir = corvix::fuzz::ScratchFolder("merge");
    return dir;
  }();
  if (size < 2) return 0;
  const size_t split = std::min<size_t>(size - 2, static_cast<size_t>(data[0] | (data[1] << 8)) * 4);
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  Write(folder / "PIANO L.wav", data + 2, split);
  Write(folder / "PIANO R.wav", data + 2 + split, size - 2 - split);

  corvix::ResetJobState();
  corvix::SetWaveFolder(folder.string());
  corvix::ImportWavesMode = data[0] & 1;
  corvix::MergeStereoFiles("PIANO L", "PIANO R");
  return 0;
}
