#include "support/wav_files.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace corvix::testing {
namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> serial{0};
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "corvix";
  std::replace(name.begin(), name.end(), '/', '_');
  path_ = (fs::path(::testing::TempDir()) /
           ("corvix-" + name + "-" + std::to_string(::getpid()) + "-" + std::to_string(serial++)))
              .string();
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::vector<uint8_t> Le16(std::initializer_list<uint16_t> words) {
  std::vector<uint8_t> b;
  for (uint16_t w : words) b.insert(b.end(), {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8)});
  return b;
}
std::vector<uint8_t> Le32(std::initializer_list<uint32_t> words) {
  std::vector<uint8_t> b;
  for (uint32_t w : words)
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(w >> (8 * i)));
  return b;
}
std::vector<uint8_t> PcmBytes(const std::vector<int16_t>& pcm, size_t from, size_t words) {
  std::vector<uint8_t> b;
  for (size_t i = from; i < pcm.size() && i - from < words; ++i) {
    const auto w = static_cast<uint16_t>(pcm[i]);
    b.insert(b.end(), {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8)});
  }
  return b;
}
std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> b;
  for (const auto& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}
std::vector<uint8_t> ChunkBytes(const std::string& id, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> b(id.begin(), id.end());
  b = Cat({b, Le32({static_cast<uint32_t>(body.size())}), body});
  if (body.size() % 2) b.push_back(0);
  return b;
}
std::vector<uint8_t> RiffBytes(const std::string& type, std::initializer_list<std::vector<uint8_t>> chunks) {
  std::vector<uint8_t> body(type.begin(), type.end());
  for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return ChunkBytes("RIFF", body);
}

std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

const Chunk* Chunk::Find(const std::string& wanted) const {
  for (const Chunk& c : children)
    if (c.id == wanted || ((c.id == "LIST" || c.id == "RIFF") && c.type == wanted)) return &c;
  return nullptr;
}

namespace {

std::string WalkChildren(const std::vector<uint8_t>& b, uint64_t from, uint64_t end, Chunk* parent) {
  uint64_t at = from;
  while (at < end) {
    if (at + 8 > end) return "a chunk header runs past its parent at " + std::to_string(at);
    Chunk c;
    c.offset = at;
    c.id.assign(reinterpret_cast<const char*>(&b[at]), 4);
    const uint32_t size = U32At(b, at + 4);
    if (at + 8 + size > end) return c.id + " at " + std::to_string(at) + " runs past its parent";
    if (size % 2 == 1) {
      if (at + 8 + size + 1 > end) return c.id + " has no pad byte";
      if (b[at + 8 + size] != 0) return c.id + " has a non-zero pad byte";
    }
    if (c.id == "LIST") {
      if (size < 4) return "LIST without a type";
      c.type.assign(reinterpret_cast<const char*>(&b[at + 8]), 4);
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
  if (U32At(b, 4) != b.size() - 8) {
    return "RIFF size " + std::to_string(U32At(b, 4)) + " for a file of " + std::to_string(b.size());
  }
  return WalkChildren(b, 12, b.size(), root);
}

SoundFileInfo ReadWithSndfile(const std::string& path) {
  SoundFileInfo info;
  SF_INFO sf{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &sf);
  if (file == nullptr) return info;
  info.opened = true;
  info.channels = sf.channels;
  info.sampleRate = sf.samplerate;
  info.frames = sf.frames;
  SF_INSTRUMENT instrument{};
  if (sf_command(file, SFC_GET_INSTRUMENT, &instrument, sizeof instrument) == SF_TRUE) {
    info.hasInstrument = true;
    info.baseNote = instrument.basenote;
    info.loopCount = instrument.loop_count;
    info.loopStart = instrument.loops[0].start;
    info.loopEnd = instrument.loops[0].end;
  }
  info.samples.resize(static_cast<size_t>(sf.frames * sf.channels));
  sf_readf_short(file, info.samples.data(), sf.frames);
  sf_close(file);
  return info;
}

}  // namespace corvix::testing
