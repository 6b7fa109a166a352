#include "media/disc_image.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "raw_sectors.h"
#include "support/wav_files.h"

namespace corvix {
namespace {

using discbuilder::RawMode;
using discbuilder::WrapRawSectors;
using testing::Cat;
using Bytes = std::vector<uint8_t>;
using Files = std::vector<std::pair<std::string, Bytes>>;

constexpr uint8_t kUntouched = 0xEE;
constexpr uint32_t kImageSectors = 40;  // more than one 64 KiB read in every layout
constexpr size_t kRaw = 2352;

// User data that differs in every sector and at every offset.
uint8_t PatternByte(size_t lba, size_t offset) {
  return static_cast<uint8_t>(lba * 131 + offset * 7 + (offset >> 8) * 29 + 1);
}

// size bytes of a caller's buffer after `sectors` sectors from firstLba
// arrived; the rest untouched.
Bytes Expected(size_t size, uint32_t firstLba, uint32_t sectors) {
  Bytes bytes(size, kUntouched);
  for (size_t i = 0; i < std::min<size_t>(size, size_t{sectors} * kSectorBytes); ++i) {
    bytes[i] = PatternByte(firstLba + i / kSectorBytes, i % kSectorBytes);
  }
  return bytes;
}
Bytes UserData(uint32_t sectors) { return Expected(size_t{sectors} * kSectorBytes, 0, sectors); }
Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes Audio(uint32_t frames) { return Bytes(frames * kRaw, 0x5A); }  // no sync pattern

// Writes files into dir (folders made as needed) and returns the path of the
// first one.
std::string WriteAll(const testing::TempDir& dir, const Files& files) {
  for (const auto& [name, bytes] : files) {
    std::filesystem::create_directories(std::filesystem::path(dir / name).parent_path());
    testing::WriteBytes(dir / name, bytes);
  }
  return dir / files.front().first;
}

std::unique_ptr<DiscImage> MustOpen(const std::string& path) {
  std::string error;
  auto image = DiscImage::Open(path, &error);
  EXPECT_NE(image, nullptr) << error;
  return image;
}

// Every layout delivers the same user data under the same read rules. The
// file opened comes first; every image holds UserData(kImageSectors).
TEST(DiscImageTest, EveryLayoutDeliversTheSameSectors) {
  const Bytes data = UserData(kImageSectors);
  const Bytes mode1 = WrapRawSectors(data, RawMode::kMode1), mode2 = WrapRawSectors(data, RawMode::kMode2Form1);
  const Bytes pregap1 = WrapRawSectors(Bytes(2 * kSectorBytes, 0x77), RawMode::kMode1);
  const Bytes pregap2 = WrapRawSectors(Bytes(2 * kSectorBytes, 0x77), RawMode::kMode2Form1);
  Bytes utf16 = {0xFF, 0xFE};
  for (char c : discbuilder::MakeCueSheet("disc.bin", RawMode::kMode1)) utf16.insert(utf16.end(), {uint8_t(c), 0});
  const struct { const char* name; ImageLayout layout; Files files; } cases[] = {
      {"plain .iso", ImageLayout::kUser2048, {{"disc.iso", data}}},
      {"raw Mode 1 named .img", ImageLayout::kRawMode1, {{"disc.img", mode1}}},
      {"raw Mode 2 Form 1 named .img", ImageLayout::kRawMode2Form1, {{"disc.img", mode2}}},
      {"cue: raw data track after an audio track and its own pregap", ImageLayout::kRawMode1,
       {{"disc.cue", Text("FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                          "  TRACK 02 MODE1/2352\n    INDEX 00 00:00:07\n    INDEX 01 00:00:09\n")},
        {"disc.bin", Cat({Audio(7), pregap1, mode1})}}},
      {"cue: 2048-byte data track after a 2352-byte audio track", ImageLayout::kUser2048,
       {{"disc.cue", Text("FILE disc.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 MODE1/2048\nINDEX 01 00:00:05\n")},
        {"disc.bin", Cat({Audio(5), data})}}},
      {"cue: data track ends where the next track in its file begins", ImageLayout::kUser2048,
       {{"disc.cue", Text("FILE \"disc.bin\" BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
                          "INDEX 00 00:00:40\nINDEX 01 00:00:42\n")},
        {"disc.bin", Cat({data, UserData(3)})}}},
      // The data file starts with 2 pregap sectors that have no INDEX 00.
      {"cue: audio and data in separate files, quoted names with spaces", ImageLayout::kRawMode2Form1,
       {{"disc.cue", Text("FILE \"track 01.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                          "FILE \"track 02.bin\" BINARY\nTRACK 02 MODE2/2352\nINDEX 01 00:00:02\n")},
        {"track 01.bin", Audio(30)}, {"track 02.bin", Cat({pregap2, mode2})}}},
      {"cue with BOM, CRLF, lower case, REM, tabs, unquoted spaced name, named .txt", ImageLayout::kRawMode1,
       {{"sheet.txt", Text("\xEF\xBB\xBFREM made by hand\r\nTITLE \"Library 3\"\r\nfile my disc.bin binary\r\n"
                           "\ttrack 01 mode1/2352\r\n\t\tflags DCP\r\n\t\tindex 01 00:00:00\r\n")},
        {"my disc.bin", mode1}}},
      {"cue in UTF-16LE with its mark", ImageLayout::kRawMode1, {{"disc.cue", utf16}, {"disc.bin", mode1}}},
      {"cue naming its file in other letter case and with backslashes", ImageLayout::kRawMode1,
       {{"disc.cue", Text("FILE \"sub\\DISC.BIN\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n")},
        {"sub/disc.bin", mode1}}},
  };
  // Run in order on one open image, so they also check that a read does not
  // depend on where the one before it stopped.
  const struct { const char* name; uint32_t lba; uint16_t count; uint32_t size; bool ok; uint32_t delivered; } reads[] = {
      {"first sector", 0, 1, 2048, true, 1},
      {"last sector", kImageSectors - 1, 1, 2048, true, 1},
      {"the whole image, several chunks", 0, kImageSectors, kImageSectors * 2048, true, kImageSectors},
      {"one sector past the end", kImageSectors, 1, 2048, false, 0},
      {"partly past the end", kImageSectors - 3, 5, 5 * 2048, false, 3},
      {"lba at the top of the range", 0xFFFFFFFFu, 2, 2 * 2048, false, 0},
      {"buffer holds two and a half of four sectors", 2, 4, 2 * 2048 + 1000, false, 2},
      {"buffer smaller than one sector", 7, 1, 2047, false, 0},
      {"no sectors asked, no buffer space", 3, 0, 0, true, 0},
      {"a run starting mid-image after reads at the end", 31, 9, 9 * 2048, true, 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    auto image = MustOpen(WriteAll(dir, c.files));
    if (!image) continue;
    EXPECT_EQ(image->layout(), c.layout);
    EXPECT_EQ(image->sectorCount(), kImageSectors);
    for (const auto& r : reads) {
      SCOPED_TRACE(r.name);
      // At least one byte so data() is a real pointer; size tells the reader
      // how much it may use.
      Bytes buffer(std::max<uint32_t>(r.size, 1), kUntouched);
      EXPECT_EQ(image->ReadSectors(r.lba, r.count, buffer.data(), r.size), r.ok);
      EXPECT_TRUE(buffer == Expected(buffer.size(), r.lba, r.delivered));
    }
  }
}

TEST(DiscImageTest, LayoutIsToldFromTheBytesNotTheName) {
  const Bytes mode1 = WrapRawSectors(UserData(3), RawMode::kMode1);
  Bytes synced = UserData(3);  // 6144 bytes: no whole number of raw sectors
  std::copy_n(mode1.begin(), 16, synced.begin());
  Bytes modeZero = mode1;
  modeZero[15] = 0;
  const struct { const char* file; Bytes bytes; ImageLayout layout; uint32_t sectors; } cases[] = {
      {"plain.bin", UserData(3), ImageLayout::kUser2048, 3},
      {"cut-inside-its-last-sector.bin", Bytes(mode1.begin(), mode1.begin() + 2 * kRaw + 1000), ImageLayout::kRawMode1, 2},
      {"plain-starting-with-a-sync.iso", synced, ImageLayout::kUser2048, 3},
      {"sync-with-mode-0.bin", modeZero, ImageLayout::kUser2048, static_cast<uint32_t>(3 * kRaw / 2048)},
      {"plain-with-a-partial-last-sector.iso", Bytes(2 * 2048 + 100, 1), ImageLayout::kUser2048, 2},
      {"empty.iso", {}, ImageLayout::kUser2048, 0},
      {"text-naming-a-file-but-no-track.iso", Text("FILE x BINARY\n" + std::string(2034, '\n')), ImageLayout::kUser2048, 1},
  };
  testing::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    auto image = MustOpen(WriteAll(dir, {{c.file, c.bytes}}));
    if (!image) continue;
    EXPECT_EQ(image->layout(), c.layout);
    EXPECT_EQ(image->sectorCount(), c.sectors);
  }
}

// A raw sector that is no Form 1 data sector is not delivered; its
// neighbours are.
TEST(DiscImageTest, RawSectorsThatAreNotForm1DataAreUnreadable) {
  const struct { const char* name; RawMode mode; uint32_t bad; size_t byte; uint8_t value; } cases[] = {
      {"Mode 1, broken sync", RawMode::kMode1, 2, 5, 0x7F},
      {"Mode 2, Form 2 sector", RawMode::kMode2Form1, 1, 18, 0x20},
      {"Mode 2, broken sync at the start of the second chunk", RawMode::kMode2Form1, 27, 5, 0x7F},
      {"Mode 2, last sector claims Mode 1", RawMode::kMode2Form1, kImageSectors - 1, 15, 1},
  };
  testing::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes raw = WrapRawSectors(UserData(kImageSectors), c.mode);
    raw[c.bad * kRaw + c.byte] = c.value;
    auto image = MustOpen(WriteAll(dir, {{"disc.bin", raw}}));
    if (!image) continue;
    Bytes buffer(kImageSectors * kSectorBytes, kUntouched);
    EXPECT_FALSE(image->ReadSectors(0, kImageSectors, buffer.data(), static_cast<uint32_t>(buffer.size())));
    Bytes expected = Expected(buffer.size(), 0, kImageSectors);
    std::fill_n(expected.begin() + c.bad * kSectorBytes, kSectorBytes, kUntouched);
    EXPECT_TRUE(buffer == expected);
  }
}

TEST(DiscImageTest, CueSheetErrors) {
  testing::TempDir dir;
  WriteAll(dir, {{"disc.bin", WrapRawSectors(UserData(2), RawMode::kMode1)}});
  const std::string head = "FILE disc.bin BINARY\n";
  const std::pair<std::string, std::string> cases[] = {
      {head + "TRACK 01 AUDIO\nINDEX 01 00:00:00\n", "cue sheet names no data track"},
      {"FILE \"gone.bin\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n",
       "cannot open " + dir / "gone.bin" + ": " + std::strerror(ENOENT)},
      {"TRACK 01 MODE1/2352\n", "cue sheet line 1: TRACK before any FILE"},
      {head + "INDEX 01 00:00:00\n", "cue sheet line 2: INDEX outside a TRACK"},
      {head + "TRACK 01 MODE1/2352\nINDEX 01 00:60:00\n", "cue sheet line 3: INDEX needs a number and a time mm:ss:ff"},
      {head + "TRACK 01 MODE1/2352\nINDEX 01 00:00\n", "cue sheet line 3: INDEX needs a number and a time mm:ss:ff"},
      {head + "TRACK 01 MODE2/2336\nINDEX 01 00:00:00\n", "cue sheet: MODE2/2336 data tracks cannot be read"},
      {head + "TRACK 01 MODE3/2352\n", "cue sheet line 2: unknown track type \"MODE3/2352\""},
      {head + "TRACK 01 MODE1/2352\nINDEX 00 00:00:00\n", "cue sheet: track 01 has no INDEX 01"},
      {head + "TRACK 01 AUDIO\nINDEX 01 00:00:10\nTRACK 02 MODE1/2352\nINDEX 01 00:00:05\n",
       "cue sheet line 5: INDEX is earlier than the one before it"},
      {"FILE \"disc.bin BINARY\n", "cue sheet line 1: a quote is not closed"},
      {"FILE disc.bin\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n", "cue sheet line 1: FILE needs a file name and a type"},
      {"FILE disc.wav WAVE\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n",
       "cue sheet: the data track's file is WAVE, not BINARY"},
  };
  for (const auto& [sheet, message] : cases) {
    std::string error;
    EXPECT_EQ(DiscImage::Open(WriteAll(dir, {{"disc.cue", Text(sheet)}}), &error), nullptr) << sheet;
    EXPECT_EQ(error, message);
  }
}

}  // namespace
}  // namespace corvix
