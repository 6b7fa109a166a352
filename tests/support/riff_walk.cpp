#include "support/riff_walk.h"

namespace corvix::testing {

const Chunk* Chunk::Find(const std::string& wanted) const {
  for (const Chunk& c : children)
    if (c.id == wanted || ((c.id == "LIST" || c.id == "RIFF") && c.type == wanted)) return &c;
  return nullptr;
}

std::vector<std::string> ChildIds(const Chunk& parent) {
  std::vector<std::string> ids;
  for (const Chunk& c : parent.children) ids.push_back(c.id == "LIST" ? c.type : c.id);
  return ids;
}

namespace {

std::string WalkChildren(const std::vector<uint8_t>& b, uint64_t from, uint64_t end, Chunk* parent) {
  // Positions are 64-bit so that no sum of a position and a size read from
  // the file wraps; each is inside the buffer when it is used as an index.
  uint64_t at = from;
  while (at < end) {
    if (at + 8 > end) return "a chunk header runs past its parent at " + std::to_string(at);
    Chunk c;
    c.offset = at;
    c.id.assign(reinterpret_cast<const char*>(&b[static_cast<size_t>(at)]), 4);
    const uint32_t size = U32At(b, static_cast<size_t>(at + 4));
    if (at + 8 + size > end) return c.id + " at " + std::to_string(at) + " runs past its parent";
    if (size % 2 == 1) {
      if (at + 8 + size + 1 > end) return c.id + " has no pad byte";
      if (b[static_cast<size_t>(at + 8 + size)] != 0) return c.id + " has a non-zero pad byte";
    }
    if (c.id == "LIST") {
      if (size < 4) return "LIST without a type";
      c.type.assign(reinterpret_cast<const char*>(&b[static_cast<size_t>(at + 8)]), 4);
      const std::string why = WalkChildren(b, at + 12, at + 8 + size, &c);
      if (!why.empty()) return why;
    } else {
      c.data.assign(b.begin() + static_cast<long>(at + 8), b.begin() + static_cast<long>(at + 8 + size));
    }
    parent->children.push_back(std::move(c));
    at += 8 + size + (size & 1);
  }
  return {};
}

}  // namespace

std::string WalkRiff(const std::vector<uint8_t>& b, Chunk* root) {
  *root = {};
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF") return "no RIFF header";
  root->id = "RIFF";
  root->type.assign(b.begin() + 8, b.begin() + 12);
  if (U32At(b, 4) != b.size() - 8)
    return "RIFF size " + std::to_string(U32At(b, 4)) + " for a file of " + std::to_string(b.size());
  return WalkChildren(b, 12, b.size(), root);
}

}  // namespace corvix::testing
