// Reading RIFF files back in tests: a walker that checks every size and
// pad byte. Portable and free of the test framework, so that the Windows-side
// end-to-end driver checks the files it finds with the same walker.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvix::testing {

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

// The ids of a chunk's children in order, a LIST by its type.
std::vector<std::string> ChildIds(const Chunk& parent);

inline uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b.at(at)) | static_cast<uint32_t>(b.at(at + 1)) << 8 |
         static_cast<uint32_t>(b.at(at + 2)) << 16 | static_cast<uint32_t>(b.at(at + 3)) << 24;
}
inline uint16_t U16At(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

}  // namespace corvix::testing
