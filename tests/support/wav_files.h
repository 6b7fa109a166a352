// Reading written files back in tests: a temporary folder, hand-made RIFF
// bytes, the RIFF walker (riff_walk.h) and libsndfile as an independent WAV
// reader.
#pragma once

#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "riff/file_system.h"
#include "support/riff_walk.h"

namespace corvix::testing {

// A fresh folder below the test temporary directory, removed with all it
// holds when the object goes.
class TempDir {
 public:
  TempDir() : path_(::testing::TempDir() + "corvix-XXXXXX") { EXPECT_NE(::mkdtemp(path_.data()), nullptr) << path_; }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Names of the entries of folder, sorted.
inline std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Relative path (with '/') → bytes of every file below root, and a
// temporary folder (a run's work folder left behind) as "path/"; and back.
using Files = std::map<std::string, std::vector<uint8_t>>;
inline Files FilesBelow(const std::string& root) {
  Files out;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string path = std::filesystem::relative(entry.path(), root).generic_string();
    if (entry.is_regular_file()) out[path] = ReadBytes(entry.path().string());
    else if (IsTempName(entry.path().filename().string())) out[path + "/"] = {};
  }
  return out;
}
inline void WriteFilesBelow(const std::string& root, const Files& files) {
  for (const auto& [path, bytes] : files) {
    std::filesystem::create_directories(std::filesystem::path(root + "/" + path).parent_path());
    WriteBytes(root + "/" + path, bytes);
  }
}

// Hand-made RIFF bytes: parts joined, words little-endian, a chunk (id,
// size, body and the pad byte of an odd body), a RIFF form of the chunks
// given as bytes.
inline std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> b;
  for (const auto& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}
inline std::vector<uint8_t> Le16(std::initializer_list<uint16_t> words) {
  std::vector<uint8_t> b;
  for (uint16_t w : words) b.insert(b.end(), {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8)});
  return b;
}
inline std::vector<uint8_t> Le32(std::initializer_list<uint32_t> words) {
  std::vector<uint8_t> b;
  for (uint32_t w : words) b = Cat({b, Le16({static_cast<uint16_t>(w), static_cast<uint16_t>(w >> 16)})});
  return b;
}
inline std::vector<uint8_t> PcmBytes(const std::vector<int16_t>& pcm, size_t from = 0, size_t words = SIZE_MAX) {
  std::vector<uint8_t> b;
  for (size_t i = from; i < pcm.size() && i - from < words; ++i)
    b.insert(b.end(), {static_cast<uint8_t>(pcm[i]), static_cast<uint8_t>(static_cast<uint16_t>(pcm[i]) >> 8)});
  return b;
}
inline std::vector<uint8_t> ChunkBytes(const std::string& id, const std::vector<uint8_t>& body) {
  auto b = Cat({{id.begin(), id.end()}, Le32({static_cast<uint32_t>(body.size())}), body});
  if (body.size() % 2) b.push_back(0);
  return b;
}
inline std::vector<uint8_t> RiffBytes(const std::string& type, std::initializer_list<std::vector<uint8_t>> chunks) {
  std::vector<uint8_t> body(type.begin(), type.end());
  for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return ChunkBytes("RIFF", body);
}

// The RIFF form of a file, walked; a form that doesn't walk fails the test.
inline Chunk WalkFile(const std::string& path) {
  Chunk root;
  EXPECT_EQ(WalkRiff(ReadBytes(path), &root), "") << path;
  return root;
}

// What libsndfile makes of a WAV file.
struct SoundFileInfo {
  bool opened = false;
  int channels = 0, sampleRate = 0;
  int64_t frames = 0;
  int baseNote = 0, loopCount = 0;
  uint32_t loopStart = 0, loopEnd = 0;  // as libsndfile reports them
  std::vector<int16_t> samples;         // interleaved
};
inline SoundFileInfo ReadWithSndfile(const std::string& path) {
  SF_INFO sf{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &sf);
  if (file == nullptr) return {};
  SF_INSTRUMENT in{};  // left zero when the file has none
  sf_command(file, SFC_GET_INSTRUMENT, &in, sizeof in);
  SoundFileInfo info{true, sf.channels, sf.samplerate, sf.frames, in.basenote, in.loop_count, in.loops[0].start,
                     in.loops[0].end, std::vector<int16_t>(static_cast<size_t>(sf.frames * sf.channels))};
  sf_readf_short(file, info.samples.data(), sf.frames);
  sf_close(file);
  return info;
}

}  // namespace corvix::testing
