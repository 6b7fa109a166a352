// pixelart: draws the program's 16-colour bitmaps and icon from text.
//
//   pixelart DESCRIPTION.txt OUTPUT.bmp   one 16 x 16 image, a BMP file
//   pixelart DESCRIPTION.txt OUTPUT.ico   every image of the description
//
// A description holds blocks "image N" followed by N rows of N characters,
// one per pixel; '#' starts a comment line. The characters name the 16
// colours of the standard palette:
//   k black   r maroon  g green  y olive   b navy  p purple  t teal  s silver
//   d gray    R red     G lime   Y yellow  B blue  . clear   c aqua  w white
// '.' is the clear colour: magenta in a BMP (the views mask it out), a set
// mask bit in an icon.
//
// Runs on the build machine (it is built with the host compiler also when
// the program is cross-compiled), so it uses the standard library only.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr char kColourLetters[] = "krgybptsdRGYB.cw";
constexpr uint8_t kPalette[16][3] = {  // R, G, B
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},     {128, 128, 0},
    {0, 0, 128},     {128, 0, 128}, {0, 128, 128},   {192, 192, 192},
    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},     {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255},   {255, 255, 255}};
constexpr int kClear = 13;

struct Image {
  int size = 0;
  std::vector<int> pixels;  // palette indices, top row first
};

bool Fail(const std::string& message) {
  std::cerr << "pixelart: " << message << "\n";
  return false;
}

bool Parse(const std::string& path, std::vector<Image>* images) {
  std::ifstream in(path);
  if (!in) return Fail("can't read " + path);
  std::string line;
  int lineNumber = 0;
  Image* current = nullptr;
  int rowsLeft = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string where = path + ":" + std::to_string(lineNumber) + ": ";
    if (rowsLeft == 0) {
      if (line.empty() || line[0] == '#') continue;
      int size = 0;
      if (std::sscanf(line.c_str(), "image %d", &size) != 1 || (size != 16 && size != 32)) {
        return Fail(where + "expected \"image 16\" or \"image 32\"");
      }
      images->push_back({size, {}});
      current = &images->back();
      rowsLeft = size;
      continue;
    }
    if (static_cast<int>(line.size()) != current->size) {
      return Fail(where + "a row of " + std::to_string(current->size) + " pixels expected");
    }
    for (char c : line) {
      const char* at = std::strchr(kColourLetters, c);
      if (c == '\0' || at == nullptr) return Fail(where + "unknown colour '" + std::string(1, c) + "'");
      current->pixels.push_back(static_cast<int>(at - kColourLetters));
    }
    --rowsLeft;
  }
  if (rowsLeft != 0) return Fail(path + ": the last image is short of rows");
  if (images->empty()) return Fail(path + ": no image");
  return true;
}

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// BITMAPINFOHEADER, palette, 4-bit colour rows bottom up, and for icons the
// 1-bit mask rows (set = clear pixel).
std::string DeviceIndependentBitmap(const Image& image, bool withMask) {
  const uint32_t n = static_cast<uint32_t>(image.size);
  const uint32_t colourStride = ((n * 4 + 31) / 32) * 4;
  const uint32_t maskStride = ((n + 31) / 32) * 4;
  std::string out;
  Put32(out, 40);
  Put32(out, n);
  Put32(out, withMask ? 2 * n : n);  // an icon's height counts both halves
  Put16(out, 1);
  Put16(out, 4);
  Put32(out, 0);
  Put32(out, colourStride * n + (withMask ? maskStride * n : 0));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 16);
  Put32(out, 0);
  for (const auto& rgb : kPalette) {
    out += static_cast<char>(rgb[2]);
    out += static_cast<char>(rgb[1]);
    out += static_cast<char>(rgb[0]);
    out += '\0';
  }
  for (uint32_t row = n; row-- > 0;) {
    std::string bytes(colourStride, '\0');
    for (uint32_t x = 0; x < n; ++x) {
      int index = image.pixels[row * n + x];
      if (withMask && index == kClear) index = 0;
      bytes[x / 2] = static_cast<char>(bytes[x / 2] | (x % 2 == 0 ? index << 4 : index));
    }
    out += bytes;
  }
  if (withMask) {
    for (uint32_t row = n; row-- > 0;) {
      std::string bytes(maskStride, '\0');
      for (uint32_t x = 0; x < n; ++x) {
        if (image.pixels[row * n + x] == kClear) {
          bytes[x / 8] = static_cast<char>(bytes[x / 8] | (0x80 >> (x % 8)));
        }
      }
      out += bytes;
    }
  }
  return out;
}

std::string BitmapFile(const Image& image) {
  const std::string dib = DeviceIndependentBitmap(image, false);
  std::string out = "BM";
  Put32(out, static_cast<uint32_t>(14 + dib.size()));
  Put32(out, 0);
  Put32(out, 14 + 40 + 16 * 4);
  return out + dib;
}

std::string IconFile(const std::vector<Image>& images) {
  std::string head, body;
  Put16(head, 0);
  Put16(head, 1);
  Put16(head, static_cast<uint32_t>(images.size()));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
  for (const Image& image : images) {
    const std::string dib = DeviceIndependentBitmap(image, true);
    head += static_cast<char>(image.size);
    head += static_cast<char>(image.size);
    head += static_cast<char>(16);  // colours
    head += '\0';
    Put16(head, 1);
    Put16(head, 4);
    Put32(head, static_cast<uint32_t>(dib.size()));
    Put32(head, offset);
    offset += static_cast<uint32_t>(dib.size());
    body += dib;
  }
  return head + body;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: pixelart DESCRIPTION.txt OUTPUT.bmp|OUTPUT.ico\n";
    return 2;
  }
  std::vector<Image> images;
  if (!Parse(argv[1], &images)) return 1;
  const std::string output = argv[2];
  std::string bytes;
  if (EndsWith(output, ".bmp")) {
    if (images.size() != 1 || images[0].size != 16) {
      Fail(std::string(argv[1]) + ": a bitmap is one 16 x 16 image");
      return 1;
    }
    bytes = BitmapFile(images[0]);
  } else if (EndsWith(output, ".ico")) {
    bytes = IconFile(images);
  } else {
    Fail("the output must end in .bmp or .ico");
    return 2;
  }
  std::ofstream out(output, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    Fail("can't write " + output);
    return 1;
  }
  return 0;
}
