// The ASPI transport against the stand-in WNASPI32.dll beside this program:
// commands that never finish. The scan, the reads and the sense of a drive
// that is not ready go through ASPI in the Windows end-to-end flows (and the
// wine_corvix_devices test); what the answers mean is the portable code's,
// tested natively.
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "checks.h"
#include "media/aspi_srb.h"
#include "media/aspi_transport.h"
#include "media/scsi_device.h"

namespace corvix::wine {
namespace {

// The stand-in's log, in this process's temporary folder.
std::string LogPath() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  return std::string(temp) + "corvix-wine-standin-" + std::to_string(GetCurrentProcessId()) + ".log";
}

template <typename Fn>
Fn StandinExport(const char* name) {
  HMODULE module = GetModuleHandleA("WNASPI32.dll");
  return module == nullptr ? nullptr : reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Sets how the stand-in hangs (nothing else of it configured), empties its
// log and makes it read the environment again.
void Hang(const char* how) {
  SetEnvironmentVariableA("CORVIX_STANDIN_HANG", how);
  SetEnvironmentVariableA("CORVIX_STANDIN_LOG", LogPath().c_str());
  DeleteFileA(LogPath().c_str());
  if (auto reset = StandinExport<void(__cdecl*)()>("CorvixStandinReset")) reset();
}

// A READ of four sectors into buffer that fails after about the timeout and
// the abort's grace at most.
void ReadThatTimesOut(std::vector<uint8_t>& buffer) {
  const uint64_t start = GetTickCount64();
  CHECK(!ScsiReadSectors(0, 4, buffer.data(), static_cast<uint32_t>(buffer.size())));
  const uint64_t elapsed = GetTickCount64() - start;
  Check(elapsed >= kScsiTimeoutMs - 100 && elapsed <= kScsiTimeoutMs + kAspiAbortGraceMs + 1500,  // slack
        "gave up after about the timeout", __FILE__, __LINE__, std::to_string(elapsed) + " ms");
}

void CheckTimeouts() {
  CurrentDevice = {0, 0, 0};
  Section("a READ that never completes is aborted after 5 seconds");
  Hang("read");
  std::vector<uint8_t> buffer(4 * kSectorBytes, 0xEE);
  ReadThatTimesOut(buffer);
  std::ifstream log(LogPath());
  int aborts = 0;
  for (std::string line; std::getline(log, line);) aborts += line == "ABORT 0" ? 1 : 0;
  CHECK_EQ(aborts, 1);
  CHECK_EQ(AbandonedAspiCommands(), size_t{0});
  CHECK(std::vector<uint8_t>(buffer.size(), 0xEE) == buffer);

  Section("a READ that ignores the abort is abandoned, never freed under ASPI");
  Hang("read-ignore-abort");
  ReadThatTimesOut(buffer);
  CHECK_EQ(AbandonedAspiCommands(), size_t{1});
  // The drive answers late: it writes into the transport's own buffer, which
  // is still there, and never into the caller's.
  auto release = StandinExport<DWORD(__cdecl*)()>("CorvixStandinReleaseHung");
  if (Check(release != nullptr, "stand-in exports CorvixStandinReleaseHung", __FILE__, __LINE__)) {
    CHECK_EQ(release(), 1ul);
  }
  CHECK(std::vector<uint8_t>(buffer.size(), 0xEE) == buffer);
  Hang(nullptr);
  CHECK_EQ(ScsiTestUnitReady(0, 0, 0), 0u);
  CHECK_EQ(AbandonedAspiCommands(), size_t{0});
  DeleteFileA(LogPath().c_str());
}

}  // namespace

void RunAspiChecks() {
  Section("loading WNASPI32.dll");
  std::string error;
  auto transport = OpenAspiTransport("WNASPI32.dll", &error);
  if (!Check(transport != nullptr, "OpenAspiTransport", __FILE__, __LINE__, error)) return;
  SetScsiTransport(transport.get());
  CheckTimeouts();
  SetScsiTransport(nullptr);
  ResetScsiState();
}

}  // namespace corvix::wine
