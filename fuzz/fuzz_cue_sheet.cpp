// Parses an arbitrary text as a cue sheet beside a small raw image, and
// reads the sectors of the track it finds.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_source.h"
#include "media/disc_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path folder = [] {
    auto dir = corvix::fuzz::ScratchFolder("cue");
    std::vector<char> raw(2352 * 4, 0);
    for (size_t s = 0; s < 4; ++s) {
      raw[s * 2352] = 0;
      for (int i = 1; i <= 10; ++i) raw[s * 2352 + i] = static_cast<char>(0xFF);
      raw[s * 2352 + 15] = 1;
    }
    std::ofstream(dir / "disc.bin", std::ios::binary).write(raw.data(), static_cast<std::streamsize>(raw.size()));
    std::ofstream(dir / "disc.iso", std::ios::binary) << std::string(2048 * 4, 'x');
    return dir;
  }();
  const auto path = folder / "sheet.cue";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::string error;
  auto image = corvix::DiscImage::Open(path.string(), &error);
  if (!image) return 0;
  std::vector<uint8_t> buffer(4 * 2048);
  for (uint32_t lba = 0; lba < 8; lba += 2)
    image->ReadSectors(lba, 4, buffer.data(), static_cast<uint32_t>(buffer.size()));
  return 0;
}
