#include "riff/riff_file.h"

#include <gtest/gtest.h>

#include <string_view>

#include "riff/chunk_writer.h"
#include "support/wav_files.h"

namespace corvix {
namespace {

using testing::TempDir;
using testing::WriteBytes;

void Put(std::vector<uint8_t>& b, std::string_view text) {
  for (char c : text) b.push_back(static_cast<uint8_t>(c));
}

void PutU32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// RIFF WAVE { "fmt " (3 bytes + pad), LIST INFO { INAM (2) }, "data" (4) }
// followed by a chunk outside the form.
std::vector<uint8_t> SampleForm() {
  std::vector<uint8_t> b;
  Put(b, "RIFF");
  PutU32(b, 4 + 12 + 22 + 12);
  Put(b, "WAVEfmt ");
  PutU32(b, 3);
  Put(b, std::string_view("\1\2\3\0", 4));
  Put(b, "LIST");
  PutU32(b, 14);
  Put(b, "INFOINAM");
  PutU32(b, 2);
  Put(b, "NM");
  Put(b, "data");
  PutU32(b, 4);
  Put(b, "\x09\x08\x07\x06");
  Put(b, "smpl");
  PutU32(b, 0);
  return b;
}

TEST(RiffFileTest, DescendFindsChunksInsideTheirParentOnly) {
  TempDir dir;
  const std::string path = dir / "form.wav";
  WriteBytes(path, SampleForm());
  auto file = RiffFile::Open(path, OpenMode::kRead);
  ASSERT_TRUE(file);

  ChunkInfo form;
  form.type = FourCC("WAVE");
  ASSERT_TRUE(file->Descend(form, nullptr, FindFlag::kRiff));
  EXPECT_EQ(form.dataOffset, 8u);
  EXPECT_EQ(file->Tell(), 12u);

  ChunkInfo data;
  data.id = FourCC("data");
  ASSERT_TRUE(file->Descend(data, &form, FindFlag::kChunk));
  EXPECT_EQ(data.size, 4u);
  EXPECT_EQ(data.dataOffset, 12u + 12u + 22u + 8u);
  uint8_t got[4];
  ASSERT_EQ(file->Read(got, 4), 4);
  EXPECT_EQ(got[0], 9);

  // Inside the form, the chunk behind it is not found; from the start of the
  // file, searching without a parent, it is.
  ChunkInfo sampler;
  sampler.id = FourCC("smpl");
  ASSERT_TRUE(file->Seek(12));
  EXPECT_FALSE(file->Descend(sampler, &form, FindFlag::kChunk));
  ASSERT_TRUE(file->Seek(12));
  ChunkInfo list;
  list.type = FourCC("INFO");
  ASSERT_TRUE(file->Descend(list, &form, FindFlag::kList));
  EXPECT_EQ(file->Tell(), 12u + 12u + 12u);
  ChunkInfo name;
  name.id = FourCC("INAM");
  ASSERT_TRUE(file->Descend(name, &list, FindFlag::kChunk));
  ASSERT_TRUE(file->Ascend(name));
  ASSERT_TRUE(file->Ascend(list));
  EXPECT_EQ(file->Tell(), 12u + 12u + 22u);
  // A search only runs forward.
  ChunkInfo format;
  format.id = FourCC("fmt ");
  EXPECT_FALSE(file->Descend(format, &form, FindFlag::kChunk));
}

TEST(RiffFileTest, CorruptSizesEndTheSearchWithoutReadingPastTheFile) {
  TempDir dir;
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  {
    auto b = SampleForm();
    b[16] = 0xFF;  // "fmt " claims 0xFFFFFFFF bytes: runs past the form
    b[17] = 0xFF;
    b[18] = 0xFF;
    b[19] = 0xFF;
    cases.push_back({"huge chunk", b});
  }
  {
    auto b = SampleForm();
    b.resize(20);  // the file ends inside the first chunk header
    cases.push_back({"truncated", b});
  }
  cases.push_back({"empty", {}});
  cases.push_back({"RIFF without a type", {'R', 'I', 'F', 'F'}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / "bad.wav";
    WriteBytes(path, c.bytes);
    auto file = RiffFile::Open(path, OpenMode::kRead);
    ASSERT_TRUE(file);
    ChunkInfo form;
    form.type = FourCC("WAVE");
    if (!file->Descend(form, nullptr, FindFlag::kRiff)) continue;
    ChunkInfo data;
    data.id = FourCC("data");
    EXPECT_FALSE(file->Descend(data, &form, FindFlag::kChunk));
  }
}

TEST(RiffFileTest, CloseIsIdempotentAndAClosedFileRefusesEverything) {
  TempDir dir;
  auto file = RiffFile::Open(dir / "x.riff", OpenMode::kCreate);
  ASSERT_TRUE(file);
  ChunkInfo ck;
  ASSERT_TRUE(file->CreateChunk(ck, CreateFlag::kPlain));
  EXPECT_TRUE(file->Close());
  EXPECT_TRUE(file->closed());
  EXPECT_FALSE(file->Close());
  EXPECT_EQ(file->Write("a", 1), -1);
  EXPECT_EQ(file->Read(&ck, 1), -1);
  EXPECT_FALSE(file->Seek(0));
  EXPECT_FALSE(file->Ascend(ck));
  EXPECT_EQ(EndChunk(*file, ck), 0);  // the chunk writer's clean-up on a closed file
  EXPECT_FALSE(RiffFile::Open(dir / "missing/x.riff", OpenMode::kCreate));
  EXPECT_FALSE(RiffFile::Open(dir / "missing.riff", OpenMode::kRead));
}

}  // namespace
}  // namespace corvix
