// Reading written files back in tests: a temporary folder, a RIFF walker
// that checks every size and pad byte, and libsndfile as an independent
// WAV reader.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/riff_walk.h"

namespace corvix::testing {

// A fresh folder below the test temporary directory, removed with all it
// holds when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Names of the entries of folder, sorted.
std::vector<std::string> ListFolder(const std::string& folder);
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Hand-made RIFF bytes: words little-endian, a chunk (id, size, body and
// the pad byte of an odd body), a RIFF form of the chunks given as bytes.
std::vector<uint8_t> Le16(std::initializer_list<uint16_t> words);
std::vector<uint8_t> Le32(std::initializer_list<uint32_t> words);
std::vector<uint8_t> PcmBytes(const std::vector<int16_t>& pcm, size_t from = 0, size_t words = SIZE_MAX);
std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts);
std::vector<uint8_t> ChunkBytes(const std::string& id, const std::vector<uint8_t>& body);
std::vector<uint8_t> RiffBytes(const std::string& type, std::initializer_list<std::vector<uint8_t>> chunks);

// What libsndfile makes of a WAV file.
struct SoundFileInfo {
  bool opened = false;
  int channels = 0, sampleRate = 0;
  int64_t frames = 0;
  int baseNote = 0, loopCount = 0;
  uint32_t loopStart = 0, loopEnd = 0;  // as libsndfile reports them
  std::vector<int16_t> samples;         // interleaved
};
SoundFileInfo ReadWithSndfile(const std::string& path);

}  // namespace corvix::testing
