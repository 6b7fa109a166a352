#include "media/disc_image.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "raw_sectors.h"

namespace corvix {
namespace {

namespace fs = std::filesystem;
using discbuilder::MakeCueSheet;
using discbuilder::RawMode;
using discbuilder::WrapRawSectors;

constexpr uint8_t kUntouched = 0xEE;
constexpr uint32_t kImageSectors = 40;  // more than one 64 KiB read in every layout
constexpr size_t kRaw = 2352;

// User data that differs in every sector and at every offset.
uint8_t PatternByte(uint32_t lba, size_t offset) {
  return static_cast<uint8_t>(lba * 131 + offset * 7 + (offset >> 8) * 29 + 1);
}

std::vector<uint8_t> UserData(uint32_t sectors) {
  std::vector<uint8_t> data(size_t{sectors} * kSectorBytes);
  for (size_t i = 0; i < data.size(); ++i) {
    data[i] = PatternByte(static_cast<uint32_t>(i / kSectorBytes), i % kSectorBytes);
  }
  return data;
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Audio frames: 2352 bytes each, no sync pattern.
std::vector<uint8_t> Audio(uint32_t frames) { return std::vector<uint8_t>(frames * kRaw, 0x5A); }

// Checks buffer sector by sector: delivered[i] → sector firstLba + i of the
// pattern, otherwise the caller's bytes. Bytes past the listed sectors must be
// untouched too.
void ExpectSectors(const std::vector<uint8_t>& buffer, uint32_t firstLba,
                   const std::vector<bool>& delivered) {
  for (size_t i = 0; i < buffer.size(); ++i) {
    const size_t sector = i / kSectorBytes;
    const bool wanted = sector < delivered.size() && delivered[sector];
    const uint8_t expected =
        wanted ? PatternByte(firstLba + static_cast<uint32_t>(sector), i % kSectorBytes) : kUntouched;
    if (buffer[i] != expected) {
      ADD_FAILURE() << "byte " << i << " (sector " << sector << " of the read): got "
                    << int{buffer[i]} << ", expected " << int{expected};
      return;
    }
  }
}

class DiscImageTest : public testing::Test {
 public:
  void SetUp() override {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(testing::TempDir()) /
           ("corvix_" + std::string(info->name()) + "_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path p = dir_ / name;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good()) << p;
    return p.string();
  }
  std::string WriteText(const std::string& name, const std::string& text) {
    return Write(name, std::vector<uint8_t>(text.begin(), text.end()));
  }

  std::unique_ptr<DiscImage> MustOpen(const std::string& path) {
    std::string error;
    auto image = DiscImage::Open(path, &error);
    EXPECT_NE(image, nullptr) << error;
    return image;
  }

  fs::path dir_;
};

// Every layout delivers the same user data under the same read rules.

struct ImageCase {
  const char* name;
  ImageLayout layout;
  // Writes the image (holding UserData(kImageSectors) as its data) and
  // returns the path to open.
  std::function<std::string(DiscImageTest*)> make;
};

const std::vector<uint8_t>& Data() {
  static const std::vector<uint8_t> data = UserData(kImageSectors);
  return data;
}
std::vector<uint8_t> Raw(RawMode mode) { return WrapRawSectors(Data(), mode); }

std::vector<ImageCase> ImageCases() {
  using L = ImageLayout;
  return {
      {"plain .iso", L::kUser2048, [](DiscImageTest* t) { return t->Write("disc.iso", Data()); }},
      {"raw Mode 1 named .img", L::kRawMode1,
       [](DiscImageTest* t) { return t->Write("disc.img", Raw(RawMode::kMode1)); }},
      {"raw Mode 2 Form 1 named .img", L::kRawMode2Form1,
       [](DiscImageTest* t) { return t->Write("disc.img", Raw(RawMode::kMode2Form1)); }},
      {"cue: raw data track after an audio track and its own pregap", L::kRawMode1,
       [](DiscImageTest* t) {
         // 7 audio frames, then 2 pregap sectors of track 2, then LBA 0.
         auto pregap = WrapRawSectors(std::vector<uint8_t>(2 * kSectorBytes, 0x77), RawMode::kMode1);
         t->Write("disc.bin", Concat({Audio(7), pregap, Raw(RawMode::kMode1)}));
         return t->WriteText("disc.cue",
                           "FILE \"disc.bin\" BINARY\n"
                           "  TRACK 01 AUDIO\n"
                           "    INDEX 01 00:00:00\n"
                           "  TRACK 02 MODE1/2352\n"
                           "    INDEX 00 00:00:07\n"
                           "    INDEX 01 00:00:09\n");
       }},
      {"cue: 2048-byte data track after a 2352-byte audio track", L::kUser2048,
       [](DiscImageTest* t) {
         t->Write("disc.bin", Concat({Audio(5), Data()}));
         return t->WriteText("disc.cue",
                           "FILE disc.bin BINARY\n"
                           "  TRACK 01 AUDIO\n"
                           "    INDEX 01 00:00:00\n"
                           "  TRACK 02 MODE1/2048\n"
                           "    INDEX 01 00:00:05\n");
       }},
      {"cue: data track ends where the next track in its file begins", L::kUser2048,
       [](DiscImageTest* t) {
         t->Write("disc.bin", Concat({Data(), UserData(3)}));
         return t->WriteText("disc.cue",
                           "FILE \"disc.bin\" BINARY\n"
                           "  TRACK 01 MODE1/2048\n"
                           "    INDEX 01 00:00:00\n"
                           "  TRACK 02 AUDIO\n"
                           "    INDEX 00 00:00:40\n"
                           "    INDEX 01 00:00:42\n");
       }},
      {"cue: audio and data in separate files, quoted names with spaces", L::kRawMode2Form1,
       [](DiscImageTest* t) {
         // The data file starts with 2 pregap sectors that have no INDEX 00.
         auto pregap = WrapRawSectors(std::vector<uint8_t>(2 * kSectorBytes, 0x77),
                                      RawMode::kMode2Form1);
         t->Write("track 01.bin", Audio(30));
         t->Write("track 02.bin", Concat({pregap, Raw(RawMode::kMode2Form1)}));
         return t->WriteText("disc.cue",
                           "FILE \"track 01.bin\" BINARY\n"
                           "  TRACK 01 AUDIO\n"
                           "    INDEX 01 00:00:00\n"
                           "FILE \"track 02.bin\" BINARY\n"
                           "  TRACK 02 MODE2/2352\n"
                           "    INDEX 01 00:00:02\n");
       }},
      {"cue with BOM, CRLF, lower case, REM, tabs, unquoted spaced name, named .txt",
       L::kRawMode1,
       [](DiscImageTest* t) {
         t->Write("my disc.bin", Raw(RawMode::kMode1));
         return t->WriteText("sheet.txt",
                           "\xEF\xBB\xBFREM made by hand\r\n"
                           "TITLE \"Library 3\"\r\n"
                           "file my disc.bin binary\r\n"
                           "\ttrack 01 mode1/2352\r\n"
                           "\t\tflags DCP\r\n"
                           "\t\tindex 01 00:00:00\r\n");
       }},
      {"cue in UTF-16LE with its mark", L::kRawMode1,
       [](DiscImageTest* t) {
         t->Write("disc.bin", Raw(RawMode::kMode1));
         const std::string sheet = MakeCueSheet("disc.bin", RawMode::kMode1);
         std::vector<uint8_t> utf16 = {0xFF, 0xFE};
         for (char c : sheet) utf16.insert(utf16.end(), {static_cast<uint8_t>(c), 0});
         return t->Write("disc.cue", utf16);
       }},
      {"cue naming its file in other letter case and with backslashes", L::kRawMode1,
       [](DiscImageTest* t) {
         t->Write("sub/disc.bin", Raw(RawMode::kMode1));
         return t->WriteText("disc.cue", "FILE \"sub\\DISC.BIN\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n");
       }},
  };
}

struct ReadCase {
  const char* name;
  uint32_t lba;
  uint16_t count;
  uint32_t size;  // the caller's buffer
  bool ok;
  uint32_t delivered;  // leading sectors written
};

// Run in order on one open image, so they also check that a read does not
// depend on where the one before it stopped.
const ReadCase kReads[] = {
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

TEST_F(DiscImageTest, EveryLayoutDeliversTheSameSectors) {
  for (const ImageCase& c : ImageCases()) {
    SCOPED_TRACE(c.name);
    const std::string path = c.make(this);
    auto image = MustOpen(path);
    if (!image) continue;
    EXPECT_EQ(image->layout(), c.layout);
    EXPECT_EQ(image->sectorCount(), kImageSectors);
    for (const ReadCase& r : kReads) {
      SCOPED_TRACE(r.name);
      // At least one byte so data() is a real pointer; size tells the reader
      // how much it may use.
      std::vector<uint8_t> buffer(std::max<uint32_t>(r.size, 1), kUntouched);
      EXPECT_EQ(image->ReadSectors(r.lba, r.count, buffer.data(), r.size), r.ok);
      ExpectSectors(buffer, r.lba, std::vector<bool>(r.delivered, true));
    }
    image.reset();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
}


TEST_F(DiscImageTest, LayoutIsToldFromTheBytesNotTheName) {
  auto rawMode1 = WrapRawSectors(UserData(3), RawMode::kMode1);
  auto truncated = rawMode1;
  truncated.resize(2 * kRaw + 1000);  // sync still repeats at 2352
  auto syncedPlain = UserData(3);     // 6144 bytes: no whole number of raw sectors
  std::memcpy(syncedPlain.data(), rawMode1.data(), 16);
  auto modeZero = rawMode1;
  modeZero[15] = 0;

  const struct {
    const char* name;
    const char* file;
    std::vector<uint8_t> bytes;
    ImageLayout layout;
    uint32_t sectors;
  } cases[] = {
      {"plain image named .bin", "disc.bin", UserData(3), ImageLayout::kUser2048, 3},
      {"raw image cut inside its last sector", "cut.bin", truncated, ImageLayout::kRawMode1, 2},
      {"plain image that happens to start with a sync", "odd.iso", syncedPlain,
       ImageLayout::kUser2048, 3},
      {"sync with mode 0 is no raw data track", "zero.bin", modeZero, ImageLayout::kUser2048,
       static_cast<uint32_t>(3 * kRaw / 2048)},
      {"plain image with a partial last sector", "part.iso",
       std::vector<uint8_t>(2 * 2048 + 100, 1), ImageLayout::kUser2048, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto image = MustOpen(Write(c.file, c.bytes));
    if (!image) continue;
    EXPECT_EQ(image->layout(), c.layout);
    EXPECT_EQ(image->sectorCount(), c.sectors);
  }
}

TEST_F(DiscImageTest, RawSectorsThatAreNotForm1DataAreUnreadable) {
  enum Fault { kBrokenSync, kForm2, kWrongMode };
  const struct {
    const char* name;
    RawMode mode;
    uint32_t bad;
    Fault fault;
  } cases[] = {
      {"Mode 1, broken sync", RawMode::kMode1, 2, kBrokenSync},
      {"Mode 2, Form 2 sector", RawMode::kMode2Form1, 1, kForm2},
      {"Mode 2, broken sync at the start of the second chunk", RawMode::kMode2Form1, 27,
       kBrokenSync},
      {"Mode 2, last sector claims Mode 1", RawMode::kMode2Form1, kImageSectors - 1, kWrongMode},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto raw = WrapRawSectors(Data(), c.mode);
    uint8_t* sector = raw.data() + c.bad * kRaw;
    if (c.fault == kBrokenSync) sector[5] = 0x7F;
    if (c.fault == kForm2) sector[18] |= 0x20;
    if (c.fault == kWrongMode) sector[15] = c.mode == RawMode::kMode1 ? 2 : 1;
    auto image = MustOpen(Write("disc.bin", raw));
    if (!image) continue;
    std::vector<uint8_t> buffer(kImageSectors * kSectorBytes, kUntouched);
    EXPECT_FALSE(image->ReadSectors(0, kImageSectors, buffer.data(),
                                    static_cast<uint32_t>(buffer.size())));
    std::vector<bool> delivered(kImageSectors, true);
    delivered[c.bad] = false;
    ExpectSectors(buffer, 0, delivered);
  }
}

TEST_F(DiscImageTest, OpenFailuresAndTheEmptyImage) {
  std::string error;
  const std::string missing = (dir_ / "missing.iso").string();
  EXPECT_EQ(DiscImage::Open(missing, &error), nullptr);
  EXPECT_EQ(error, "cannot open " + missing + ": " + std::strerror(ENOENT));

  error.clear();
  EXPECT_EQ(DiscImage::Open(dir_.string(), &error), nullptr);
  EXPECT_EQ(error.rfind("cannot open " + dir_.string() + ": ", 0), 0u) << error;

  auto empty = MustOpen(Write("empty.iso", {}));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->sectorCount(), 0u);
  std::vector<uint8_t> buffer(2048, kUntouched);
  EXPECT_FALSE(empty->ReadSectors(0, 1, buffer.data(), 2048));
  EXPECT_TRUE(empty->ReadSectors(0, 0, buffer.data(), 2048));
  ExpectSectors(buffer, 0, {});
}

TEST_F(DiscImageTest, CueSheetErrors) {
  Write("disc.bin", WrapRawSectors(UserData(2), RawMode::kMode1));
  const std::string gone = (dir_ / "gone.bin").string();
  const struct {
    const char* name;
    std::string sheet;
    std::string error;
  } cases[] = {
      {"audio only", "FILE disc.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
       "cue sheet names no data track"},
      {"missing image file", "FILE \"gone.bin\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n",
       "cannot open " + gone + ": " + std::strerror(ENOENT)},
      {"TRACK before FILE", "TRACK 01 MODE1/2352\n", "cue sheet line 1: TRACK before any FILE"},
      {"INDEX before TRACK", "FILE disc.bin BINARY\nINDEX 01 00:00:00\n",
       "cue sheet line 2: INDEX outside a TRACK"},
      {"seconds out of range", "FILE disc.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:60:00\n",
       "cue sheet line 3: INDEX needs a number and a time mm:ss:ff"},
      {"2336-byte data track", "FILE disc.bin BINARY\nTRACK 01 MODE2/2336\nINDEX 01 00:00:00\n",
       "cue sheet: MODE2/2336 data tracks cannot be read"},
      {"unknown track type", "FILE disc.bin BINARY\nTRACK 01 MODE3/2352\n",
       "cue sheet line 2: unknown track type \"MODE3/2352\""},
      {"track without INDEX 01",
       "FILE disc.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 00 00:00:00\n",
       "cue sheet: track 01 has no INDEX 01"},
      {"INDEX going backwards",
       "FILE disc.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:10\nTRACK 02 MODE1/2352\n"
       "INDEX 01 00:00:05\n",
       "cue sheet line 5: INDEX is earlier than the one before it"},
      {"quote never closed", "FILE \"disc.bin BINARY\n", "cue sheet line 1: a quote is not closed"},
      {"data track in a WAVE file", "FILE disc.wav WAVE\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n",
       "cue sheet: the data track's file is WAVE, not BINARY"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    EXPECT_EQ(DiscImage::Open(WriteText("disc.cue", c.sheet), &error), nullptr);
    EXPECT_EQ(error, c.error);
  }
}

// Every prefix of a sheet either opens or fails with a message, never more.
TEST_F(DiscImageTest, TruncatedCueSheetsFailCleanly) {
  Write("a.bin", Audio(4));
  Write("b c.bin", WrapRawSectors(UserData(4), RawMode::kMode2Form1));
  const std::string sheet =
      "\xEF\xBB\xBFREM x\r\nFILE \"a.bin\" BINARY\r\n TRACK 01 AUDIO\r\n  INDEX 00 00:00:00\r\n"
      "  INDEX 01 00:00:02\r\nFILE \"b c.bin\" BINARY\r\n TRACK 02 MODE2/2352\r\n"
      "  INDEX 01 00:00:00\r\n";
  for (size_t n = 0; n <= sheet.size(); ++n) {
    SCOPED_TRACE(n);
    std::string error;
    auto image = DiscImage::Open(WriteText("disc.cue", sheet.substr(0, n)), &error);
    EXPECT_NE(image == nullptr, error.empty());
    if (image) {
      std::vector<uint8_t> buffer(4 * kSectorBytes, kUntouched);
      EXPECT_TRUE(image->ReadSectors(0, 4, buffer.data(), static_cast<uint32_t>(buffer.size())));
      ExpectSectors(buffer, 0, {true, true, true, true});
    }
  }
}

}  // namespace
}  // namespace corvix
