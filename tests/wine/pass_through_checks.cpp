// The SCSI pass-through transport over a fake DeviceIoControl: the request it
// builds and its reading of the answer.
#include <windows.h>
#include <ntddscsi.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "checks.h"
#include "media/pass_through_transport.h"
#include "media/scsi_device.h"

namespace corvix::wine {
namespace {

int g_closed = 0;  // handles closed, counted past the fake's lifetime

// Drives C (a disk), D (a CD-ROM at port 2, target 1, LUN 0) and E (a CD-ROM
// that gives no SCSI address). Handles are the letters.
class FakeSystem : public PassThroughSystem {
 public:
  struct Sent {
    char letter;
    SCSI_PASS_THROUGH_DIRECT sptd;
    uint32_t inBytes, outBytes;
    bool dataAligned;
  };

  uint32_t LogicalDrives() override { return 1u << 2 | 1u << 3 | 1u << 4; }
  bool IsCdrom(char letter) override { return letter == 'D' || letter == 'E'; }
  void* Open(char letter) override {
    ++opened;
    return reinterpret_cast<void*>(static_cast<uintptr_t>(letter));
  }
  void Close(void*) override { ++g_closed; }
  bool Control(void* handle, uint32_t code, void* in, uint32_t inBytes, void* out, uint32_t outBytes,
               uint32_t* returned) override {
    const char letter = static_cast<char>(reinterpret_cast<uintptr_t>(handle));
    if (code == IOCTL_SCSI_GET_ADDRESS) {
      if (letter != 'D' || outBytes < sizeof(SCSI_ADDRESS)) return false;
      auto* address = static_cast<SCSI_ADDRESS*>(out);
      address->PortNumber = 2;
      address->PathId = 0;
      address->TargetId = 1;
      address->Lun = 0;
      *returned = sizeof(SCSI_ADDRESS);
      return true;
    }
    if (code != IOCTL_SCSI_PASS_THROUGH_DIRECT || in != out || failAll) return false;
    auto* sptd = static_cast<SCSI_PASS_THROUGH_DIRECT*>(in);
    sent.push_back({letter, *sptd, inBytes, outBytes,
                    (reinterpret_cast<uintptr_t>(sptd->DataBuffer) & 0xFFF) == 0});
    // The sense area must lie inside the buffer the driver is given.
    if (sptd->SenseInfoOffset + sptd->SenseInfoLength > inBytes) return false;
    auto* bytes = static_cast<uint8_t*>(in);
    if (notReady) {
      sptd->ScsiStatus = 2;
      uint8_t sense[18] = {0x70, 0, 2, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x01};
      std::memcpy(bytes + sptd->SenseInfoOffset, sense, sizeof sense);
      sptd->SenseInfoLength = sizeof sense;
      sptd->DataTransferLength = 0;
    } else {
      sptd->ScsiStatus = 0;
      sptd->SenseInfoLength = 0;
      auto* data = static_cast<uint8_t*>(sptd->DataBuffer);
      for (ULONG i = 0; i < sptd->DataTransferLength; ++i) data[i] = static_cast<uint8_t>(i * 3 + 1);
      if (shortBy > 0 && sptd->DataTransferLength >= shortBy) sptd->DataTransferLength -= shortBy;
    }
    *returned = inBytes;
    return true;
  }

  std::vector<Sent> sent;
  int opened = 0;
  bool notReady = false;
  bool failAll = false;
  uint32_t shortBy = 0;
};

}  // namespace

void RunPassThroughChecks() {
  Section("pass-through: drives and addresses");
  auto owned = std::make_unique<FakeSystem>();
  FakeSystem& fake = *owned;
  auto transport = MakePassThroughTransport(std::move(owned));
  SetScsiTransport(transport.get());

  CHECK_EQ(transport->SupportInfo(), 0x0104u);  // ports 0-2, and 3 for the unaddressed drive
  CHECK_EQ(fake.opened, 2);
  ScsiAddress d, e;
  CHECK(transport->Locate("d:", &d));
  CHECK(transport->Locate("\\\\.\\E:", &e));
  CHECK(d == (ScsiAddress{2, 1, 0}));
  CHECK(e == (ScsiAddress{3, 0, 0}));
  ScsiAddress c;
  CHECK(!transport->Locate("C:", &c));
  CHECK_EQ(transport->DriveLetter(d), 'D');
  CHECK(transport->DevicePath(e) == "E:");

  Section("pass-through: READ(10) and TEST UNIT READY requests");
  CurrentDevice = d;
  std::vector<uint8_t> buffer(4 * kSectorBytes, 0);
  CHECK(ScsiReadSectors(74565, 4, buffer.data(), static_cast<uint32_t>(buffer.size())));
  CurrentDevice = e;
  fake.notReady = true;
  CHECK_EQ(ScsiTestUnitReady(e.hostAdapter, e.target, e.lun), 0x02020401u);
  fake.notReady = false;
  if (Check(fake.sent.size() == 2, "one request each", __FILE__, __LINE__)) {
    const FakeSystem::Sent& read = fake.sent[0];
    const uint8_t cdb[10] = {0x28, 0x00, 0x00, 0x01, 0x23, 0x45, 0x00, 0x00, 0x04, 0x00};
    CHECK(read.letter == 'D' && read.sptd.CdbLength == 10 && std::memcmp(read.sptd.Cdb, cdb, sizeof cdb) == 0);
    CHECK(read.sptd.Length == sizeof(SCSI_PASS_THROUGH_DIRECT) && read.sptd.DataIn == SCSI_IOCTL_DATA_IN);
    CHECK(read.sptd.DataTransferLength == 4 * kSectorBytes && read.sptd.TimeOutValue == 5ul);
    // The sense area lies after the request, in the buffer the driver is given.
    CHECK(read.sptd.SenseInfoLength == 32 && read.sptd.SenseInfoOffset >= sizeof(SCSI_PASS_THROUGH_DIRECT));
    CHECK(read.dataAligned && read.inBytes == read.outBytes);
    const FakeSystem::Sent& ready = fake.sent[1];
    CHECK(ready.letter == 'E' && ready.sptd.CdbLength == 6 && ready.sptd.DataIn == SCSI_IOCTL_DATA_UNSPECIFIED &&
          ready.sptd.DataTransferLength == 0ul);
  }
  bool delivered = true;
  for (size_t i = 0; i < buffer.size(); ++i) delivered = delivered && buffer[i] == static_cast<uint8_t>(i * 3 + 1);
  CHECK(delivered);

  Section("pass-through: a short transfer is a failed read");
  CurrentDevice = d;
  fake.shortBy = kSectorBytes;
  CHECK(!ScsiReadSectors(0, 4, buffer.data(), static_cast<uint32_t>(buffer.size())));
  fake.shortBy = 0;

  Section("pass-through: refused requests");
  fake.failAll = true;
  std::vector<uint8_t> zeros(kSectorBytes, 0);
  CHECK(!ScsiReadSectors(0, 1, zeros.data(), kSectorBytes));
  CHECK(std::vector<uint8_t>(kSectorBytes, 0) == zeros);
  CHECK_EQ(ScsiTestUnitReady(e.hostAdapter, e.target, e.lun), 0u);
  fake.failAll = false;
  CHECK_EQ(ScsiInquiry(9, 0, 0), 0);  // no drive there

  SetScsiTransport(nullptr);
  transport.reset();  // the fake goes with it
  CHECK_EQ(g_closed, 2);
  ResetScsiState();
}

}  // namespace corvix::wine
