// The ASPI transport against the stand-in WNASPI32.dll beside this program.
#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "checks.h"
#include "media/aspi_srb.h"
#include "media/aspi_transport.h"
#include "media/scsi_device.h"

namespace corvix::wine {
namespace {

constexpr uint32_t kPatternSectors = 40;

uint8_t PatternByte(uint32_t lba, uint32_t i) { return static_cast<uint8_t>(lba * 7 + i * 13 + (i >> 8)); }

std::vector<uint8_t> PatternImage() {
  std::vector<uint8_t> image(kPatternSectors * kSectorBytes);
  for (uint32_t lba = 0; lba < kPatternSectors; ++lba) {
    for (uint32_t i = 0; i < kSectorBytes; ++i) image[lba * kSectorBytes + i] = PatternByte(lba, i);
  }
  return image;
}

class StandinFixture {
 public:
  StandinFixture() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "corvix-wine-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    log_ = folder_ + "standin.log";
  }
  ~StandinFixture() {
    for (const std::string& file : files_) DeleteFileA(file.c_str());
    DeleteFileA(log_.c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = folder_ + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    files_.push_back(path);
    return path;
  }

  // Sets the stand-in's environment (every other CORVIX_STANDIN_ variable
  // cleared), empties its log and makes it read the environment again.
  void Configure(const std::vector<std::pair<const char*, std::string>>& settings) {
    for (const char* name : {"CORVIX_STANDIN_IMAGE", "CORVIX_STANDIN_UNIT", "CORVIX_STANDIN_INQUIRY",
                             "CORVIX_STANDIN_TYPE", "CORVIX_STANDIN_TUR", "CORVIX_STANDIN_HANG"}) {
      SetEnvironmentVariableA(name, nullptr);
    }
    for (const auto& [name, value] : settings) SetEnvironmentVariableA(name, value.c_str());
    SetEnvironmentVariableA("CORVIX_STANDIN_LOG", log_.c_str());
    DeleteFileA(log_.c_str());
    if (auto reset = Export<void(__cdecl*)()>("CorvixStandinReset")) reset();
  }

  std::vector<std::string> Log() const {
    std::ifstream in(log_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  template <typename Fn>
  Fn Export(const char* name) const {
    HMODULE module = GetModuleHandleA("WNASPI32.dll");
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }

 private:
  std::string folder_, log_;
  std::vector<std::string> files_;
};

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& l : lines) {
    if (l == line) return true;
  }
  return false;
}

void CheckScan(StandinFixture& standin) {
  Section("support info and scan");
  // Peripheral types with the qualifier bits set are CD-ROM drives too; a
  // type-4 unit is not one.
  for (const char* type : {"5", "0xA5", "4"}) {
    standin.Configure({{"CORVIX_STANDIN_UNIT", "1:3:2"},
                       {"CORVIX_STANDIN_TYPE", type},
                       {"CORVIX_STANDIN_INQUIRY", "ABC|CD-ROM DRIVE 40X|1.00"}});
    CHECK_EQ(ReadScsiSupportInfo(), 0x0102u);
    ScsiDevice* list = nullptr;
    CHECK(ScanScsiDevices(&list) == 1);
    const bool cdrom = std::strcmp(type, "4") != 0;
    Check((list != nullptr) == cdrom, "listed as a CD-ROM drive", __FILE__, __LINE__, type);
    if (list != nullptr) {
      CHECK(list->next == nullptr && list->hostAdapter == 1 && list->target == 3 && list->lun == 2);
      CHECK(std::string(list->vendor) + "|" + list->product + "|" + list->revision == "ABC     |CD-ROM DRIVE 40X|1.00");
    }
    FreeScsiDeviceList(list);
  }
  // Only the unit was asked over the bus; ASPI answers the misses itself.
  CHECK(standin.Log() == std::vector<std::string>{"INQUIRY 1:3:2"});
}

void CheckPatternReads(StandinFixture& standin) {
  Section("READ(10) through the stand-in, byte for byte");
  const std::vector<uint8_t> image = PatternImage();
  standin.Configure({{"CORVIX_STANDIN_IMAGE", standin.Write("pattern.iso", image)},
                     {"CORVIX_STANDIN_UNIT", "0:1:0"}});
  ReadScsiSupportInfo();
  CurrentDevice = {0, 1, 0};

  std::vector<uint8_t> whole(image.size(), 0);
  bool allRead = true;
  for (uint32_t lba = 0; lba < kPatternSectors; lba += 4) {
    allRead = ScsiReadSectors(lba, 4, whole.data() + lba * kSectorBytes, 4 * kSectorBytes) && allRead;
  }
  CHECK(allRead);
  CHECK(whole == image);

  // A read past the end fails through the request block's status, and
  // delivers nothing.
  std::vector<uint8_t> buffer(4 * kSectorBytes, 0xEE);
  CHECK(!ScsiReadSectors(kPatternSectors - 2, 4, buffer.data(), static_cast<uint32_t>(buffer.size())));
  CHECK(std::vector<uint8_t>(buffer.size(), 0xEE) == buffer);
}

void CheckTimeouts(StandinFixture& standin) {
  CurrentDevice = {0, 0, 0};
  const uint64_t limit = kScsiTimeoutMs + kAspiAbortGraceMs + 1500;  // slack for a slow machine

  Section("a READ that never completes is aborted after 5 seconds");
  standin.Configure({{"CORVIX_STANDIN_HANG", "read"}});
  std::vector<uint8_t> buffer(4 * kSectorBytes, 0xEE);
  uint64_t start = GetTickCount64();
  CHECK(!ScsiReadSectors(0, 4, buffer.data(), static_cast<uint32_t>(buffer.size())));
  uint64_t elapsed = GetTickCount64() - start;
  Check(elapsed >= kScsiTimeoutMs - 100 && elapsed <= limit, "waited about 5 s", __FILE__, __LINE__,
        std::to_string(elapsed) + " ms");
  CHECK(Contains(standin.Log(), "ABORT 0"));
  CHECK_EQ(AbandonedAspiCommands(), size_t{0});
  CHECK(std::vector<uint8_t>(buffer.size(), 0xEE) == buffer);

  Section("a READ that ignores the abort is abandoned, never freed under ASPI");
  standin.Configure({{"CORVIX_STANDIN_HANG", "read-ignore-abort"}});
  start = GetTickCount64();
  CHECK(!ScsiReadSectors(0, 4, buffer.data(), static_cast<uint32_t>(buffer.size())));
  elapsed = GetTickCount64() - start;
  Check(elapsed >= kScsiTimeoutMs - 100 && elapsed <= limit, "gave up after the wait and the grace",
        __FILE__, __LINE__, std::to_string(elapsed) + " ms");
  CHECK_EQ(AbandonedAspiCommands(), size_t{1});
  // The drive answers late: it writes into the transport's own buffer, which
  // is still there, and never into the caller's.
  auto release = standin.Export<DWORD(__cdecl*)()>("CorvixStandinReleaseHung");
  if (Check(release != nullptr, "stand-in exports CorvixStandinReleaseHung", __FILE__, __LINE__)) {
    CHECK_EQ(release(), 1ul);
  }
  CHECK(std::vector<uint8_t>(buffer.size(), 0xEE) == buffer);
  standin.Configure({});
  CHECK_EQ(ScsiTestUnitReady(0, 0, 0), 0u);
  CHECK_EQ(AbandonedAspiCommands(), size_t{0});

  Section("TEST UNIT READY: the sense of a drive that is not ready");
  standin.Configure({{"CORVIX_STANDIN_TUR", "2/04/01"}});
  CHECK_EQ(ScsiTestUnitReady(0, 0, 0), 0x02020401u);
  CHECK_EQ(ScsiTestUnitReady(0, 0, 0), 0u);
}

}  // namespace

void RunAspiChecks() {
  Section("loading WNASPI32.dll");
  std::string error;
  auto transport = OpenAspiTransport("WNASPI32.dll", &error);
  if (!Check(transport != nullptr, "OpenAspiTransport", __FILE__, __LINE__, error)) return;
  SetScsiTransport(transport.get());
  {
    StandinFixture standin;
    CheckScan(standin);
    CheckPatternReads(standin);
    CheckTimeouts(standin);
  }
  SetScsiTransport(nullptr);
  ResetScsiState();
}

}  // namespace corvix::wine
