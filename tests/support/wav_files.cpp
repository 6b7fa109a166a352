#include "support/wav_files.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace corvix::testing {
namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> serial{0};
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "corvix";
  std::replace(name.begin(), name.end(), '/', '_');
  path_ = (fs::path(::testing::TempDir()) /
           ("corvix-" + name + "-" + std::to_string(::getpid()) + "-" + std::to_string(serial++))).string();
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
  for (uint32_t w : words) b = Cat({b, Le16({static_cast<uint16_t>(w), static_cast<uint16_t>(w >> 16)})});
  return b;
}
std::vector<uint8_t> PcmBytes(const std::vector<int16_t>& pcm, size_t from, size_t words) {
  std::vector<uint8_t> b;
  for (size_t i = from; i < pcm.size() && i - from < words; ++i)
    b.insert(b.end(), {static_cast<uint8_t>(pcm[i]), static_cast<uint8_t>(static_cast<uint16_t>(pcm[i]) >> 8)});
  return b;
}
std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> b;
  for (const auto& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}
std::vector<uint8_t> ChunkBytes(const std::string& id, const std::vector<uint8_t>& body) {
  auto b = Cat({{id.begin(), id.end()}, Le32({static_cast<uint32_t>(body.size())}), body});
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
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

SoundFileInfo ReadWithSndfile(const std::string& path) {
  SF_INFO sf{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &sf);
  if (file == nullptr) return {};
  SoundFileInfo info{true, sf.channels, sf.samplerate, sf.frames, 0, 0, 0, 0, {}};
  SF_INSTRUMENT instrument{};
  if (sf_command(file, SFC_GET_INSTRUMENT, &instrument, sizeof instrument) == SF_TRUE) {
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
