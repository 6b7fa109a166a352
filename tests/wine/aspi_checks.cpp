// The ASPI transport against the stand-in WNASPI32.dll beside this program:
// commands that never finish. The scan, the reads and the sense of a drive
// that is not ready go through ASPI in the Windows end-to-end flows (and the
// wine_corvix_devices test); what the answers mean is the portable code's,
// tested natively.
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "checks.h"
#include "media/aspi_srb.h"
#include "media/aspi_transport.h"
#include "media/scsi_device.h"

namespace corvix::wine {
namespace {

class StandinFixture {
 public:
  StandinFixture() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    log_ = std::string(temp) + "corvix-wine-standin-" + std::to_string(GetCurrentProcessId()) + ".log";
  }
  ~StandinFixture() { DeleteFileA(log_.c_str()); }

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
  std::string log_;
};

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
  CHECK(std::ranges::count(standin.Log(), std::string("ABORT 0")) == 1);
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
    CheckTimeouts(standin);
  }
  SetScsiTransport(nullptr);
  ResetScsiState();
}

}  // namespace corvix::wine
