// SCSI commands through IOCTL_SCSI_PASS_THROUGH_DIRECT on "\\.\X:".
#include <windows.h>
#include <ntddscsi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "media/pass_through_transport.h"

namespace corvix {
namespace {

constexpr uint32_t kTimeoutSeconds = kScsiTimeoutMs / 1000;
constexpr int kSyntheticTargets = 8;  // drives without a SCSI address, on one made-up adapter

// The request with its sense buffer behind it, as the driver expects.
struct PassThroughRequest {
  SCSI_PASS_THROUGH_DIRECT sptd;
  ULONG alignment;
  UCHAR sense[kScsiSenseBytes];
};

struct Drive {
  char letter;
  void* handle;
  ScsiAddress address;
};

// Page-aligned memory: the data buffer of a direct pass-through must meet the
// adapter's alignment, which never exceeds a page.
class AlignedBuffer {
 public:
  ~AlignedBuffer() {
    if (data_ != nullptr) VirtualFree(data_, 0, MEM_RELEASE);
  }
  uint8_t* Reserve(uint32_t bytes) {
    if (bytes <= size_) return data_;
    if (data_ != nullptr) VirtualFree(data_, 0, MEM_RELEASE);
    data_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    size_ = data_ != nullptr ? bytes : 0;
    return data_;
  }

 private:
  uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
};

class Win32PassThroughSystem : public PassThroughSystem {
 public:
  uint32_t LogicalDrives() override { return GetLogicalDrives(); }
  bool IsCdrom(char letter) override {
    const char root[] = {letter, ':', '\\', '\0'};
    return GetDriveTypeA(root) == DRIVE_CDROM;
  }
  void* Open(char letter) override {
    const char path[] = {'\\', '\\', '.', '\\', letter, ':', '\0'};
    HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      // Without write access the drive still reads; only the tray lock may fail.
      handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
  }
  void Close(void* handle) override { CloseHandle(handle); }
  bool Control(void* handle, uint32_t code, void* in, uint32_t inBytes, void* out, uint32_t outBytes,
               uint32_t* returned) override {
    DWORD bytes = 0;
    const BOOL ok = DeviceIoControl(handle, code, in, inBytes, out, outBytes, &bytes, nullptr);
    if (returned != nullptr) *returned = bytes;
    return ok != FALSE;
  }
};

class PassThroughTransport : public ScsiTransport {
 public:
  explicit PassThroughTransport(std::unique_ptr<PassThroughSystem> system)
      : system_(std::move(system)) {}
  ~PassThroughTransport() override {
    for (const Drive& drive : drives_) system_->Close(drive.handle);
  }

  uint32_t SupportInfo() override {
    FindDrives();
    unsigned adapters = 1;  // the interface is there even without a drive
    for (const Drive& drive : drives_) adapters = std::max(adapters, drive.address.hostAdapter + 1u);
    return 0x0100u | std::min(adapters, 255u);
  }

  ScsiResult Execute(const ScsiCommand& command) override {
    FindDrives();
    ScsiResult result;
    const Drive* drive = Find(command.address);
    if (drive == nullptr || command.cdbLength == 0 || command.cdbLength > sizeof command.cdb) {
      return result;
    }
    uint8_t* data = nullptr;
    if (command.dataLength > 0) {
      data = buffer_.Reserve(command.dataLength);
      if (data == nullptr) return result;
    }
    PassThroughRequest request{};
    request.sptd.Length = sizeof request.sptd;
    request.sptd.TargetId = command.address.target;
    request.sptd.Lun = command.address.lun;
    request.sptd.CdbLength = command.cdbLength;
    request.sptd.SenseInfoLength = sizeof request.sense;
    request.sptd.DataIn = command.dataLength > 0 ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_UNSPECIFIED;
    request.sptd.DataTransferLength = command.dataLength;
    request.sptd.TimeOutValue = kTimeoutSeconds;
    request.sptd.DataBuffer = data;
    request.sptd.SenseInfoOffset = offsetof(PassThroughRequest, sense);
    std::memcpy(request.sptd.Cdb, command.cdb, command.cdbLength);
    uint32_t returned = 0;
    if (!system_->Control(drive->handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request,
                          &request, sizeof request, &returned)) {
      return result;
    }
    const uint32_t delivered = std::min<uint32_t>(request.sptd.DataTransferLength, command.dataLength);
    result.residual = command.dataLength - delivered;
    if (request.sptd.ScsiStatus == 0) {
      if (delivered > 0) std::memcpy(command.data, data, delivered);
      result.outcome = ScsiOutcome::kCompleted;
      return result;
    }
    result.outcome = ScsiOutcome::kFailed;
    result.targetStatus = request.sptd.ScsiStatus;
    const size_t senseBytes = std::min<size_t>(request.sptd.SenseInfoLength, sizeof request.sense);
    std::memcpy(result.sense, request.sense, senseBytes);
    return result;
  }

  std::string DevicePath(const ScsiAddress& address) override {
    const char letter = DriveLetter(address);
    return letter != 0 ? std::string(1, letter) + ":" : std::string();
  }

  char DriveLetter(const ScsiAddress& address) override {
    FindDrives();
    const Drive* drive = Find(address);
    return drive != nullptr ? drive->letter : 0;
  }

  bool Locate(const std::string& path, ScsiAddress* address) override {
    FindDrives();
    const char letter = DriveLetterOfPath(path);
    for (const Drive& drive : drives_) {
      if (letter != 0 && drive.letter == letter) {
        *address = drive.address;
        return true;
      }
    }
    return false;
  }

  const char* Name() const override { return "SCSI pass-through"; }

 private:
  const Drive* Find(const ScsiAddress& address) const {
    for (const Drive& drive : drives_) {
      if (drive.address == address) return &drive;
    }
    return nullptr;
  }

  void FindDrives() {
    if (searched_) return;
    searched_ = true;
    const uint32_t letters = system_->LogicalDrives();
    std::vector<Drive> unaddressed;
    unsigned lastAdapter = 0;
    for (int n = 0; n < 26; ++n) {
      const char letter = static_cast<char>('A' + n);
      if ((letters & (1u << n)) == 0 || !system_->IsCdrom(letter)) continue;
      void* handle = system_->Open(letter);
      if (handle == nullptr) continue;
      SCSI_ADDRESS scsi{};
      scsi.Length = sizeof scsi;
      uint32_t returned = 0;
      Drive drive{letter, handle, {}};
      if (system_->Control(handle, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &scsi, sizeof scsi, &returned) &&
          scsi.PortNumber < kNoAddress && scsi.TargetId < kNoAddress && scsi.Lun < kNoAddress) {
        drive.address = {scsi.PortNumber, scsi.TargetId, scsi.Lun};
        if (Find(drive.address) == nullptr) {
          lastAdapter = std::max<unsigned>(lastAdapter, scsi.PortNumber);
          drives_.push_back(drive);
          continue;
        }
      }
      unaddressed.push_back(drive);
    }
    // Drives without an address of their own (or sharing one) go on the
    // adapter after the last real one, one target each, so the scan finds
    // them too.
    const unsigned adapter = drives_.empty() ? 0 : lastAdapter + 1;
    int target = 0;
    for (Drive& drive : unaddressed) {
      if (adapter >= kNoAddress || target >= kSyntheticTargets) {
        system_->Close(drive.handle);
        continue;
      }
      drive.address = {static_cast<uint8_t>(adapter), static_cast<uint8_t>(target++), 0};
      drives_.push_back(drive);
    }
  }

  std::unique_ptr<PassThroughSystem> system_;
  std::vector<Drive> drives_;
  AlignedBuffer buffer_;
  bool searched_ = false;
};

}  // namespace

std::unique_ptr<PassThroughSystem> MakeWin32PassThroughSystem() {
  return std::make_unique<Win32PassThroughSystem>();
}

std::unique_ptr<ScsiTransport> MakePassThroughTransport(std::unique_ptr<PassThroughSystem> system) {
  return std::make_unique<PassThroughTransport>(std::move(system));
}

}  // namespace corvix
