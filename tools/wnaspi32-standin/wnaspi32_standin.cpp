// A stand-in for WNASPI32.dll, for tests: one host adapter with one CD-ROM
// unit. Commands to the unit complete on a thread of their own and signal the
// request's event, as ASPI does.
//
// The unit is set up from the environment, read on first use and again by
// CorvixStandinReset():
//   CORVIX_STANDIN_IMAGE     Windows path of a disc image of 2048-byte sectors
//                            (READ(10) past its end fails: sense 5/21/00)
//   CORVIX_STANDIN_UNIT      "adapter:target:lun" of the unit, default 0:0:0;
//                            the adapter count is adapter + 1
//   CORVIX_STANDIN_INQUIRY   "vendor|product|revision", space padded to 8/16/4
//   CORVIX_STANDIN_TYPE      INQUIRY byte 0, default 5 (0x25 = type 5 with a
//                            peripheral qualifier)
//   CORVIX_STANDIN_TUR       answers to successive TEST UNIT READY commands,
//                            "key/asc/ascq" in hex, comma separated
//                            ("2/04/01,6/28/00"); ready once they are used up
//   CORVIX_STANDIN_HANG      "read": READ(10) never completes by itself, an
//                            abort ends it (SS_ABORTED); "read-ignore-abort":
//                            the abort fails too and the command completes
//                            only when CorvixStandinReleaseHung() is called
//   CORVIX_STANDIN_LOG       a file that gets one line per command
//                            ("INQUIRY 0:1:0", "READ 16 4", "TUR 2/04/01",
//                            "PREVENT 1", "ABORT 0")
//   CORVIX_STANDIN_SECTOR_DELAY_MS  each sector a READ(10) asks for takes
//                            this long (a slow drive, so that a person can
//                            press Cancel, however many sectors a read asks
//                            for)
//   CORVIX_STANDIN_CONTROL   a file that another process may write while the
//                            unit runs: before each TEST UNIT READY, if it
//                            exists, its lines "image=PATH" and "tur=ANSWERS"
//                            replace those settings and the file is deleted
//                            (a disc change: "tur=6/28/00" and a new image)
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/aspi_srb.h"

namespace {

using namespace corvix::aspi;

struct Sense {
  uint8_t key, asc, ascq;
};

struct Config {
  std::string image;
  uint8_t adapter = 0, target = 0, lun = 0;
  char vendor[8], product[16], revision[4];
  uint8_t type = 5;
  std::vector<Sense> readiness;  // TEST UNIT READY answers still to give
  bool hangReads = false;
  bool ignoreAbort = false;
  std::string log;
  DWORD sectorDelayMs = 0;
  std::string control;
};

CRITICAL_SECTION g_lock;
bool g_configured = false;
Config g_config;
std::vector<SRB_ExecSCSICmd*> g_hung;  // requests held back by CORVIX_STANDIN_HANG

class Locked {
 public:
  Locked() { EnterCriticalSection(&g_lock); }
  ~Locked() { LeaveCriticalSection(&g_lock); }
};

std::string Env(const char* name) {
  char value[1024];
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

void Pad(const std::string& text, char* to, size_t width) {
  for (size_t i = 0; i < width; ++i) to[i] = i < text.size() ? text[i] : ' ';
}

std::vector<Sense> ParseReadiness(const std::string& readiness) {
  std::vector<Sense> answers;
  for (size_t at = 0; at < readiness.size();) {
    size_t end = readiness.find(',', at);
    if (end == std::string::npos) end = readiness.size();
    unsigned key = 0, asc = 0, ascq = 0;
    if (std::sscanf(readiness.substr(at, end - at).c_str(), "%x/%x/%x", &key, &asc, &ascq) >= 1) {
      answers.push_back({static_cast<uint8_t>(key), static_cast<uint8_t>(asc), static_cast<uint8_t>(ascq)});
    }
    at = end + 1;
  }
  return answers;
}

void Configure() {
  Config c;
  c.image = Env("CORVIX_STANDIN_IMAGE");
  unsigned a = 0, t = 0, l = 0;
  if (std::sscanf(Env("CORVIX_STANDIN_UNIT").c_str(), "%u:%u:%u", &a, &t, &l) == 3) {
    c.adapter = static_cast<uint8_t>(a);
    c.target = static_cast<uint8_t>(t);
    c.lun = static_cast<uint8_t>(l);
  }
  std::string inquiry = Env("CORVIX_STANDIN_INQUIRY");
  if (inquiry.empty()) inquiry = "CORVIX|STAND-IN CD-ROM|1.00";
  const size_t bar1 = inquiry.find('|');
  const size_t bar2 = bar1 == std::string::npos ? bar1 : inquiry.find('|', bar1 + 1);
  Pad(inquiry.substr(0, bar1), c.vendor, sizeof c.vendor);
  Pad(bar1 == std::string::npos ? "" : inquiry.substr(bar1 + 1, bar2 - bar1 - 1), c.product,
      sizeof c.product);
  Pad(bar2 == std::string::npos ? "" : inquiry.substr(bar2 + 1), c.revision, sizeof c.revision);
  const std::string type = Env("CORVIX_STANDIN_TYPE");
  if (!type.empty()) c.type = static_cast<uint8_t>(std::strtoul(type.c_str(), nullptr, 0));
  c.readiness = ParseReadiness(Env("CORVIX_STANDIN_TUR"));
  const std::string hang = Env("CORVIX_STANDIN_HANG");
  c.hangReads = hang == "read" || hang == "read-ignore-abort";
  c.ignoreAbort = hang == "read-ignore-abort";
  c.log = Env("CORVIX_STANDIN_LOG");
  c.sectorDelayMs = static_cast<DWORD>(std::strtoul(Env("CORVIX_STANDIN_SECTOR_DELAY_MS").c_str(), nullptr, 10));
  c.control = Env("CORVIX_STANDIN_CONTROL");
  g_config = std::move(c);
  g_configured = true;
}

void EnsureConfigured() {
  if (!g_configured) Configure();
}

void Log(const char* format, ...) {
  if (g_config.log.empty()) return;
  char line[128];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(line, sizeof line - 1, format, args);
  va_end(args);
  if (n <= 0) return;
  size_t length = std::strlen(line);
  line[length++] = '\n';
  HANDLE file = CreateFileA(g_config.log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
  CloseHandle(file);
}

// Finishes srb: status last, then the event, as the caller may free the
// request as soon as it sees the status.
void Complete(SRB_ExecSCSICmd* srb, uint8_t status) {
  HANDLE event = (srb->SRB_Flags & SRB_EVENT_NOTIFY) ? static_cast<HANDLE>(srb->SRB_PostProc) : nullptr;
  MemoryBarrier();
  *static_cast<volatile uint8_t*>(&srb->SRB_Status) = status;
  if (event != nullptr) SetEvent(event);
}

// Check condition with fixed-format sense, up to SRB_SenseLen bytes.
uint8_t CheckCondition(SRB_ExecSCSICmd* srb, Sense sense) {
  uint8_t bytes[18] = {};
  bytes[0] = 0x70;
  bytes[2] = sense.key;
  bytes[7] = 10;
  bytes[12] = sense.asc;
  bytes[13] = sense.ascq;
  const size_t n = srb->SRB_SenseLen < sizeof bytes ? srb->SRB_SenseLen : sizeof bytes;
  std::memcpy(srb->SenseArea, bytes, n);
  srb->SRB_TargStat = 2;
  return SS_ERR;
}

uint8_t Inquiry(SRB_ExecSCSICmd* srb) {
  uint8_t data[96] = {};
  data[0] = g_config.type;
  data[2] = 2;     // SCSI-2
  data[4] = 91;    // additional length: 96 bytes in all
  std::memcpy(data + 8, g_config.vendor, 8);
  std::memcpy(data + 16, g_config.product, 16);
  std::memcpy(data + 32, g_config.revision, 4);
  const size_t n = srb->SRB_BufLen < sizeof data ? srb->SRB_BufLen : sizeof data;
  if (n > 0 && srb->SRB_BufPointer != nullptr) std::memcpy(srb->SRB_BufPointer, data, n);
  Log("INQUIRY %u:%u:%u", srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun);
  return SS_COMP;
}

uint8_t Read10(SRB_ExecSCSICmd* srb) {
  const uint8_t* cdb = srb->CDBByte;
  const uint32_t lba = static_cast<uint32_t>(cdb[2]) << 24 | static_cast<uint32_t>(cdb[3]) << 16 |
                       static_cast<uint32_t>(cdb[4]) << 8 | cdb[5];
  const uint32_t count = static_cast<uint32_t>(cdb[7]) << 8 | cdb[8];
  Log("READ %lu %lu", static_cast<unsigned long>(lba), static_cast<unsigned long>(count));
  const uint64_t bytes = static_cast<uint64_t>(count) * 2048;
  if (bytes > srb->SRB_BufLen || srb->SRB_BufPointer == nullptr) {
    return CheckCondition(srb, {5, 0x24, 0});  // invalid field in CDB
  }
  HANDLE file = CreateFileA(g_config.image.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return CheckCondition(srb, {2, 0x3A, 0});  // medium not present
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(lba) * 2048;
  DWORD got = 0;
  const bool read = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
                    ReadFile(file, srb->SRB_BufPointer, static_cast<DWORD>(bytes), &got, nullptr);
  CloseHandle(file);
  if (!read || got != bytes) return CheckCondition(srb, {5, 0x21, 0});  // LBA out of range
  return SS_COMP;
}

// Applies and deletes the control file, if another process has written one.
void ReadControlFile() {
  if (g_config.control.empty()) return;
  HANDLE file = CreateFileA(g_config.control.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char text[2048];
  DWORD got = 0;
  const bool read = ReadFile(file, text, sizeof text - 1, &got, nullptr) != FALSE;
  CloseHandle(file);
  DeleteFileA(g_config.control.c_str());
  if (!read) return;
  text[got] = '\0';
  for (const char* line = text; *line != '\0';) {
    const char* end = std::strpbrk(line, "\r\n");
    const std::string entry(line, end != nullptr ? static_cast<size_t>(end - line) : std::strlen(line));
    if (entry.rfind("image=", 0) == 0) g_config.image = entry.substr(6);
    if (entry.rfind("tur=", 0) == 0) g_config.readiness = ParseReadiness(entry.substr(4));
    if (end == nullptr) break;
    line = end + 1;
  }
  Log("CONTROL");
}

uint8_t TestUnitReady(SRB_ExecSCSICmd* srb) {
  ReadControlFile();
  if (g_config.readiness.empty()) {
    Log("TUR 0/00/00");
    return SS_COMP;
  }
  const Sense sense = g_config.readiness.front();
  g_config.readiness.erase(g_config.readiness.begin());
  Log("TUR %x/%02x/%02x", sense.key, sense.asc, sense.ascq);
  if (sense.key == 0) return SS_COMP;
  return CheckCondition(srb, sense);
}

uint8_t Execute(SRB_ExecSCSICmd* srb) {
  switch (srb->CDBByte[0]) {
    case 0x12:
      return Inquiry(srb);
    case 0x28:
      return Read10(srb);
    case 0x00:
      return TestUnitReady(srb);
    case 0x1E:
      Log("PREVENT %u", srb->CDBByte[4] & 1);
      return SS_COMP;
    default:
      return CheckCondition(srb, {5, 0x20, 0});  // invalid command operation code
  }
}

DWORD WINAPI Worker(void* parameter) {
  auto* srb = static_cast<SRB_ExecSCSICmd*>(parameter);
  uint8_t status;
  DWORD delay = 0;
  {
    Locked lock;
    if (srb->CDBByte[0] == 0x28) {
      const DWORD sectors = (DWORD{srb->CDBByte[7]} << 8) | srb->CDBByte[8];
      delay = g_config.sectorDelayMs * sectors;
    }
  }
  if (delay > 0) Sleep(delay);
  {
    Locked lock;
    status = Execute(srb);
  }
  Complete(srb, status);
  return 0;
}

DWORD Submit(SRB_ExecSCSICmd* srb) {
  Locked lock;
  EnsureConfigured();
  if (srb->SRB_HaId > g_config.adapter) return srb->SRB_Status = SS_INVALID_HA;
  if (srb->SRB_HaId != g_config.adapter || srb->SRB_Target != g_config.target ||
      srb->SRB_Lun != g_config.lun) {
    return srb->SRB_Status = SS_NO_DEVICE;
  }
  srb->SRB_Status = SS_PENDING;
  if (g_config.hangReads && srb->CDBByte[0] == 0x28) {
    Log("HANG");
    g_hung.push_back(srb);
    return SS_PENDING;
  }
  HANDLE thread = CreateThread(nullptr, 0, Worker, srb, 0, nullptr);
  if (thread == nullptr) return srb->SRB_Status = SS_ERR;
  CloseHandle(thread);
  return SS_PENDING;
}

DWORD Abort(SRB_Abort* abort) {
  Locked lock;
  EnsureConfigured();
  Log("ABORT %u", abort->SRB_HaId);
  for (auto it = g_hung.begin(); it != g_hung.end(); ++it) {
    if (*it != abort->SRB_ToAbort) continue;
    if (g_config.ignoreAbort) return abort->SRB_Status = SS_ABORT_FAIL;
    SRB_ExecSCSICmd* srb = *it;
    g_hung.erase(it);
    Complete(srb, SS_ABORTED);
    return abort->SRB_Status = SS_COMP;
  }
  return abort->SRB_Status = SS_ABORT_FAIL;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) InitializeCriticalSection(&g_lock);
  return TRUE;
}

__declspec(dllexport) DWORD __cdecl GetASPI32SupportInfo() {
  Locked lock;
  EnsureConfigured();
  return static_cast<DWORD>(SS_COMP) << 8 | static_cast<DWORD>(g_config.adapter + 1);
}

__declspec(dllexport) DWORD __cdecl SendASPI32Command(void* request) {
  auto* header = static_cast<SRB_Abort*>(request);
  switch (header->SRB_Cmd) {
    case SC_EXEC_SCSI_CMD:
      return Submit(static_cast<SRB_ExecSCSICmd*>(request));
    case SC_ABORT_SRB:
      return Abort(header);
    default:
      return header->SRB_Status = SS_INVALID_CMD;
  }
}

// Reads the environment again (a new script); held-back requests stay held.
__declspec(dllexport) void __cdecl CorvixStandinReset() {
  Locked lock;
  Configure();
}

// Completes every held-back READ(10): fills its buffer with 0xA5 and reports
// success, as a drive that answers very late would. Returns how many.
__declspec(dllexport) DWORD __cdecl CorvixStandinReleaseHung() {
  Locked lock;
  const DWORD released = static_cast<DWORD>(g_hung.size());
  for (SRB_ExecSCSICmd* srb : g_hung) {
    if (srb->SRB_BufPointer != nullptr) std::memset(srb->SRB_BufPointer, 0xA5, srb->SRB_BufLen);
    Complete(srb, SS_COMP);
  }
  g_hung.clear();
  return released;
}

}  // extern "C"
