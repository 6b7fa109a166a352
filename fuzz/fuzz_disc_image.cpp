// Opens an arbitrary file as a disc image (plain, raw 2352-byte sectors or a
// cue sheet naming an image beside it) and reads every sector it claims.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_source.h"
#include "media/disc_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path folder = [] {
    auto dir = corvix::fuzz::ScratchFolder("image");
    // A small raw image for cue sheets to name.
    std::ofstream(dir / "disc.bin", std::ios::binary) << std::string(2352 * 3, '\0');
    return dir;
  }();
  const auto path = folder / "input";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::string error;
  auto image = corvix::DiscImage::Open(path.string(), &error);
  if (!image) return 0;
  std::vector<uint8_t> buffer(4 * 2048);
  const uint32_t sectors = image->sectorCount();
  for (uint32_t lba = 0; lba < sectors + 2 && lba < 4096; lba += 3) {
    image->ReadSectors(lba, 4, buffer.data(), static_cast<uint32_t>(buffer.size()));
  }
  image->Describe();
  return 0;
}
