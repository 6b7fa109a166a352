#include "instrument/wave_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "support/export_fixture.h"

namespace corvix {
namespace {

using testing::ReadBytes;
using testing::U32At;

// A WAV file with a "fmt ", a "data" of dataBytes (odd sizes padded) and a
// "3gix", as the WAV writer makes them.
std::vector<uint8_t> WaveFile(uint32_t dataBytes, uint8_t fill) {
  std::vector<uint8_t> format(16), data(dataBytes);
  for (size_t i = 0; i < 16; ++i) format[i] = static_cast<uint8_t>(i);
  for (uint32_t i = 0; i < dataBytes; ++i) data[i] = static_cast<uint8_t>(fill + i);
  return testing::RiffBytes("WAVE", {testing::ChunkBytes("fmt ", format), testing::ChunkBytes("data", data),
                                     testing::ChunkBytes("3gix", testing::Le32({fill}))});
}

class WavePoolTest : public testing::ExportTest {
 protected:
  // A WaveTable row and its file (none for no bytes).
  std::string AddWave(const std::string& name, const std::vector<uint8_t>& bytes) {
    WaveEntry& row = WaveTable.rows[WaveTable.count++];
    row = {};
    std::memcpy(row.name, name.data(), std::min(name.size(), kWaveNameBytes - 1));
    const std::string path = WaveFilePath(row);
    if (!bytes.empty()) testing::WriteBytes(path, bytes);
    return path;
  }

  // Writes the pool into a form of its own; the result of WriteWavePool.
  int WritePool() {
    auto file = RiffFile::Open(path_, OpenMode::kCreate);
    ChunkInfo form;
    form.type = FourCC("TEST");
    EXPECT_TRUE(file->CreateChunk(form, CreateFlag::kRiff));
    auto dialog = progress_.CreateDialog(kCreateTesDialog);
    const int result = WriteWavePool(*file, dialog.get());
    EXPECT_TRUE(result ? file->Ascend(form) && file->Close() : file->closed());
    return result;
  }

  std::string path_ = dir_ / "pool.riff";
};

// Each wave is its WAV file without the RIFF wrapper, found through the
// table at its offset; the WAV files go. The second wave is copied in
// several pieces of the pool's buffer.
TEST_F(WavePoolTest, EachWaveIsItsFileWithoutTheWrapperAndTheTableFindsIt) {
  const std::vector<std::vector<uint8_t>> waves = {WaveFile(101, 1), WaveFile(600001, 4), WaveFile(64, 2),
                                                   WaveFile(3, 3)};
  std::vector<std::string> paths;
  for (size_t i = 0; i < waves.size(); ++i) paths.push_back(AddWave("W" + std::to_string(i), waves[i]));
  ASSERT_EQ(WritePool(), 1) << PendingError.text;

  const std::vector<uint8_t> bytes = ReadBytes(path_);
  testing::Chunk root;
  ASSERT_EQ(testing::WalkRiff(bytes, &root), "");
  const testing::Chunk* table = root.Find("ptbl");
  const testing::Chunk* pool = root.Find("wvpl");
  ASSERT_EQ(table->data.size(), 24u);
  EXPECT_EQ(std::tuple(U32At(table->data, 0), U32At(table->data, 4)), std::tuple(8u, 4u));  // record size, cues
  ASSERT_EQ(pool->children.size(), 4u);
  for (size_t i = 0; i < waves.size(); ++i) {
    const testing::Chunk& wave = pool->children[i];
    EXPECT_EQ(wave.type, "wave");
    EXPECT_EQ(U32At(table->data, 8 + 4 * i), wave.offset - (pool->offset + 12)) << i;
    EXPECT_EQ(U32At(bytes, wave.offset + 4), U32At(waves[i], 4)) << i;  // the WAV file's RIFF size
    EXPECT_TRUE(std::equal(waves[i].begin() + 12, waves[i].end(), bytes.begin() + static_cast<long>(wave.offset + 12)));
    EXPECT_FALSE(std::filesystem::exists(paths[i]));
  }
  EXPECT_EQ(progress_.record.ranges, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 4}}));
  EXPECT_EQ(std::tuple(progress_.record.steps, progress_.record.pumps), std::tuple(4, 4));
}

}  // namespace
}  // namespace corvix
