// SCSI commands through ASPI for Win32 (WNASPI32.dll).
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "media/aspi_srb.h"
#include "media/aspi_transport.h"
#include "media/pass_through_transport.h"

namespace corvix {
namespace {

using GetSupportInfoFn = DWORD(__cdecl*)();
using SendCommandFn = DWORD(__cdecl*)(void*);

// One command in flight: the request block ASPI writes into, the data buffer
// it fills and the event it signals. Owned by Execute until the command is
// done, and by the abandoned list when it never finished in time.
struct Flight {
  aspi::ExecBlock block;
  std::vector<uint8_t> data;
  HANDLE event = nullptr;

  ~Flight() {
    if (event != nullptr) CloseHandle(event);
  }
  // ASPI's completion thread writes the status; read it fresh every time.
  uint8_t Status() const { return *static_cast<const volatile uint8_t*>(&block.srb.SRB_Status); }
};

// Commands given up on while ASPI still held them. Process-wide: they outlive
// the transport that sent them.
std::vector<Flight*> g_abandoned;

// Frees every abandoned command that ASPI has finished with since.
void ReapAbandoned() {
  auto done = std::stable_partition(g_abandoned.begin(), g_abandoned.end(),
                                    [](const Flight* f) { return f->Status() == aspi::SS_PENDING; });
  for (auto it = done; it != g_abandoned.end(); ++it) delete *it;
  g_abandoned.erase(done, g_abandoned.end());
}

class AspiTransport : public ScsiTransport {
 public:
  AspiTransport(HMODULE module, GetSupportInfoFn supportInfo, SendCommandFn send)
      : module_(module), supportInfo_(supportInfo), send_(send) {}

  ~AspiTransport() override {
    ReapAbandoned();
    // ASPI may still complete an abandoned command into memory we keep;
    // its code must stay loaded for that.
    if (g_abandoned.empty()) FreeLibrary(module_);
  }

  uint32_t SupportInfo() override { return supportInfo_(); }

  ScsiResult Execute(const ScsiCommand& command) override {
    ReapAbandoned();
    ScsiResult result;
    if (command.cdbLength == 0 || command.cdbLength > sizeof command.cdb) return result;
    auto* flight = new (std::nothrow) Flight{};
    if (flight == nullptr) return result;
    flight->event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (flight->event == nullptr) {
      delete flight;
      result.outcome = ScsiOutcome::kNoEvent;
      return result;
    }
    try {
      flight->data.resize(command.dataLength);
    } catch (const std::bad_alloc&) {
      delete flight;
      return result;
    }

    aspi::SRB_ExecSCSICmd& srb = flight->block.srb;
    srb.SRB_Cmd = aspi::SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = command.address.hostAdapter;
    srb.SRB_Flags = aspi::SRB_DIR_IN | aspi::SRB_EVENT_NOTIFY;
    srb.SRB_Target = command.address.target;
    srb.SRB_Lun = command.address.lun;
    srb.SRB_BufLen = command.dataLength;
    srb.SRB_BufPointer = command.dataLength > 0 ? flight->data.data() : nullptr;
    srb.SRB_SenseLen = kScsiSenseBytes;
    srb.SRB_CDBLen = command.cdbLength;
    srb.SRB_PostProc = flight->event;
    std::memcpy(srb.CDBByte, command.cdb, command.cdbLength);

    send_(&flight->block);
    if (flight->Status() == aspi::SS_PENDING) WaitForSingleObject(flight->event, kScsiTimeoutMs);
    if (flight->Status() == aspi::SS_PENDING) {
      aspi::SRB_Abort abort{};
      abort.SRB_Cmd = aspi::SC_ABORT_SRB;
      abort.SRB_HaId = command.address.hostAdapter;
      abort.SRB_ToAbort = &flight->block;
      send_(&abort);
      if (flight->Status() == aspi::SS_PENDING) WaitForSingleObject(flight->event, kAspiAbortGraceMs);
      result.outcome = ScsiOutcome::kTimedOut;
      if (flight->Status() == aspi::SS_PENDING) {
        g_abandoned.push_back(flight);
      } else {
        delete flight;
      }
      return result;
    }

    switch (flight->Status()) {
      case aspi::SS_COMP:
        if (command.dataLength > 0) std::memcpy(command.data, flight->data.data(), command.dataLength);
        result.outcome = ScsiOutcome::kCompleted;
        break;
      case aspi::SS_ERR: {
        result.outcome = ScsiOutcome::kFailed;
        result.targetStatus = srb.SRB_TargStat;
        const uint8_t* sense = reinterpret_cast<const uint8_t*>(&flight->block) +
                               offsetof(aspi::SRB_ExecSCSICmd, SenseArea);
        std::memcpy(result.sense, sense, kScsiSenseBytes);
        break;
      }
      case aspi::SS_ABORTED:
        result.outcome = ScsiOutcome::kTimedOut;
        break;
      default:  // no such adapter or unit, a refused request
        break;
    }
    delete flight;
    return result;
  }

  std::string DevicePath(const ScsiAddress& address) override {
    const char letter = DriveLetter(address);
    return letter != 0 ? std::string(1, letter) + ":" : std::string();
  }

  // ASPI does not know drive letters. On the NT family the drive whose
  // pass-through address is the unit's, or failing that the one drive whose
  // identification matches the unit's, is taken.
  char DriveLetter(const ScsiAddress& address) override {
    ScsiTransport* passThrough = PassThrough();
    if (passThrough == nullptr) return 0;
    if (const char letter = passThrough->DriveLetter(address); letter != 0) {
      uint8_t ours[kInquiryLength] = {};
      uint8_t theirs[kInquiryLength] = {};
      if (Inquire(*this, address, ours) && Inquire(*passThrough, address, theirs) &&
          SameIdentity(ours, theirs)) {
        return letter;
      }
    }
    uint8_t ours[kInquiryLength] = {};
    if (!Inquire(*this, address, ours)) return 0;
    char found = 0;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
      ScsiAddress other;
      uint8_t theirs[kInquiryLength] = {};
      if (!passThrough->Locate(std::string(1, letter) + ":", &other)) continue;
      if (!Inquire(*passThrough, other, theirs) || !SameIdentity(ours, theirs)) continue;
      if (found != 0) return 0;  // two drives alike: can't tell which
      found = letter;
    }
    return found;
  }

  bool Locate(const std::string& path, ScsiAddress* address) override {
    const char letter = DriveLetterOfPath(path);
    if (letter == 0) return false;
    const uint8_t adapters = static_cast<uint8_t>(SupportInfo() & 0xFF);
    for (unsigned adapter = 0; adapter < adapters; ++adapter) {
      for (uint8_t target = 0; target < 8; ++target) {
        for (uint8_t lun = 0; lun < 8; ++lun) {
          const ScsiAddress candidate{static_cast<uint8_t>(adapter), target, lun};
          uint8_t data[kInquiryLength] = {};
          if (!Inquire(*this, candidate, data) || (data[0] & 0x1F) != 5) continue;
          if (DriveLetter(candidate) == letter) {
            *address = candidate;
            return true;
          }
        }
      }
    }
    return false;
  }

  const char* Name() const override { return "ASPI"; }

 private:
  static constexpr uint32_t kInquiryLength = 36;  // type, vendor, product, revision

  static bool Inquire(ScsiTransport& transport, const ScsiAddress& address, uint8_t* data) {
    ScsiCommand command;
    command.address = address;
    command.cdb[0] = 0x12;
    command.cdb[4] = kInquiryLength;
    command.cdbLength = 6;
    command.data = data;
    command.dataLength = kInquiryLength;
    return transport.Execute(command).outcome == ScsiOutcome::kCompleted;
  }

  static bool SameIdentity(const uint8_t* a, const uint8_t* b) {
    return std::memcmp(a + 8, b + 8, kInquiryLength - 8) == 0;
  }

  ScsiTransport* PassThrough() {
    if (!passThroughTried_) {
      passThroughTried_ = true;
      passThrough_ = MakePassThroughTransport(MakeWin32PassThroughSystem());
    }
    return passThrough_.get();
  }

  HMODULE module_;
  GetSupportInfoFn supportInfo_;
  SendCommandFn send_;
  std::unique_ptr<ScsiTransport> passThrough_;
  bool passThroughTried_ = false;
};

}  // namespace

std::unique_ptr<ScsiTransport> OpenAspiTransport(const char* dllName, std::string* error) {
  HMODULE module = LoadLibraryA(dllName);
  if (module == nullptr) {
    *error = std::string(dllName) + " not found";
    return nullptr;
  }
  auto supportInfo = reinterpret_cast<GetSupportInfoFn>(
      reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(1))));
  auto send = reinterpret_cast<SendCommandFn>(
      reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(2))));
  if (supportInfo == nullptr || send == nullptr) {
    FreeLibrary(module);
    *error = std::string(dllName) + " has no GetASPI32SupportInfo or SendASPI32Command";
    return nullptr;
  }
  return std::make_unique<AspiTransport>(module, supportInfo, send);
}

size_t AbandonedAspiCommands() {
  ReapAbandoned();
  return g_abandoned.size();
}

}  // namespace corvix
