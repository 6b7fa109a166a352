#include "riff/riff_file.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "riff/chunk_writer.h"
#include "support/wav_files.h"

namespace corvix {
namespace {

using testing::TempDir;
using testing::WriteBytes;

// RIFF WAVE { "fmt " (3 bytes + pad), LIST INFO { INAM (2) }, "data" (4) }
// followed by a chunk outside the form.
std::vector<uint8_t> SampleForm() {
  using namespace testing;
  return Cat({RiffBytes("WAVE", {ChunkBytes("fmt ", {1, 2, 3}),
                                 ChunkBytes("LIST", Cat({{'I', 'N', 'F', 'O'}, ChunkBytes("INAM", {'N', 'M'})})),
                                 ChunkBytes("data", {9, 8, 7, 6})}),
              ChunkBytes("smpl", {})});
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
  auto huge = SampleForm();
  std::fill(huge.begin() + 16, huge.begin() + 20, 0xFF);  // "fmt " claims 0xFFFFFFFF bytes
  cases.push_back({"huge chunk", huge});
  cases.push_back({"truncated inside the first chunk header", std::vector<uint8_t>(huge.begin(), huge.begin() + 20)});
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
