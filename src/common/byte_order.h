// Little-endian field access for disc and file bytes.
//
// Every multi-byte number on an Akai disc and in a RIFF file is little-endian.
// Fields are decoded from byte arrays with these helpers, never by casting a
// struct onto a buffer. ByteView adds bounds: a field that lies (partly)
// outside the view reads as zero, so a decoder handed a short buffer can never
// read past it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvix {

inline uint16_t ReadU16LE(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t ReadU24LE(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16);
}
inline uint32_t ReadU32LE(const uint8_t* p) {
  return ReadU24LE(p) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutU16LE(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU24LE(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
}
inline void PutU32LE(uint8_t* p, uint32_t v) {
  PutU24LE(p, v);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// A read-only window on untrusted bytes.
struct ByteView {
  const uint8_t* data = nullptr;
  size_t size = 0;

  bool Holds(size_t offset, size_t width) const {
    return offset <= size && width <= size - offset;
  }
  uint8_t U8(size_t offset) const { return Holds(offset, 1) ? data[offset] : 0; }
  int8_t I8(size_t offset) const { return static_cast<int8_t>(U8(offset)); }
  uint16_t U16(size_t offset) const { return Holds(offset, 2) ? ReadU16LE(data + offset) : 0; }
  uint32_t U24(size_t offset) const { return Holds(offset, 3) ? ReadU24LE(data + offset) : 0; }
  uint32_t U32(size_t offset) const { return Holds(offset, 4) ? ReadU32LE(data + offset) : 0; }
  // The part of the view from offset on, width bytes long at most.
  ByteView Sub(size_t offset, size_t width) const {
    if (offset > size) return {};
    size_t avail = size - offset;
    return {data + offset, width < avail ? width : avail};
  }
};

}  // namespace corvix
