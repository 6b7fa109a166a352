// Reading written files back in tests: a temporary folder, a RIFF walker
// that checks every size and pad byte, and libsndfile as an independent
// WAV reader.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

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

struct Chunk {
  std::string id;
  std::string type;      // RIFF and LIST only
  uint64_t offset = 0;   // of the header in the file
  std::vector<uint8_t> data;  // for RIFF/LIST: after the type
  std::vector<Chunk> children;
  const Chunk* Find(const std::string& wanted) const;  // child by id, or LIST/RIFF by type
};

// Parses a RIFF file. Returns an empty string when every chunk's size fits
// its parent, every odd chunk has its zero pad byte and the RIFF size is the
// file length − 8; otherwise the first fault found.
std::string WalkRiff(const std::vector<uint8_t>& bytes, Chunk* root);

inline uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b.at(at)) | static_cast<uint32_t>(b.at(at + 1)) << 8 |
         static_cast<uint32_t>(b.at(at + 2)) << 16 | static_cast<uint32_t>(b.at(at + 3)) << 24;
}
inline uint16_t U16At(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

// What libsndfile makes of a WAV file.
struct SoundFileInfo {
  bool opened = false;
  int channels = 0;
  int sampleRate = 0;
  int64_t frames = 0;
  bool hasInstrument = false;
  int baseNote = 0;
  int loopCount = 0;
  uint32_t loopStart = 0, loopEnd = 0;  // as libsndfile reports them
  std::vector<int16_t> samples;         // interleaved
};
SoundFileInfo ReadWithSndfile(const std::string& path);

}  // namespace corvix::testing
