// The SCSI pass-through transport over a fake DeviceIoControl: the request it
// builds and its reading of the answer.
#include <windows.h>
#include <ntddscsi.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "checks.h"
#include "media/pass_through_transport.h"
#include "media/scsi_device.h"
#include "support/scsi_conformance.h"

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
    if (code != IOCTL_SCSI_PASS_THROUGH_DIRECT || in != out || answer.refused) return false;
    auto* sptd = static_cast<SCSI_PASS_THROUGH_DIRECT*>(in);
    sent.push_back({letter, *sptd, inBytes, outBytes,
                    (reinterpret_cast<uintptr_t>(sptd->DataBuffer) & 0xFFF) == 0});
    // The sense area must lie inside the buffer the driver is given.
    if (sptd->SenseInfoOffset + sptd->SenseInfoLength > inBytes) return false;
    auto* data = static_cast<uint8_t*>(sptd->DataBuffer);
    for (ULONG i = 0; i < sptd->DataTransferLength; ++i) data[i] = static_cast<uint8_t>(i * 3 + 1);
    sptd->DataTransferLength -= std::min<ULONG>(answer.shortBy, sptd->DataTransferLength);
    sptd->ScsiStatus = answer.status;
    if (!answer.sense.empty()) {
      std::memcpy(static_cast<uint8_t*>(in) + sptd->SenseInfoOffset, answer.sense.data(), answer.sense.size());
    }
    sptd->SenseInfoLength = static_cast<UCHAR>(answer.sense.size());
    *returned = inBytes;
    return true;
  }

  std::vector<Sent> sent;
  int opened = 0;
  testing::ScsiAnswerCase answer{};
};

bool Delivered(const std::vector<uint8_t>& data) {
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] != static_cast<uint8_t>(i * 3 + 1)) return false;
  }
  return true;
}

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
  ScsiAddress disk;
  CHECK(!transport->Locate("C:", &disk));
  CHECK_EQ(transport->DriveLetter(d), 'D');
  CHECK(transport->DevicePath(e) == "E:");

  Section("pass-through: the program's commands, to D:");
  CurrentDevice = d;
  std::vector<uint8_t> buffer(testing::kConformanceReadSectors * kSectorBytes, 0);
  for (const testing::ScsiCommandCase& c : testing::ScsiCommandCases(buffer.data())) {
    fake.sent.clear();
    c.issue();
    if (!Check(fake.sent.size() == 1, "one request", __FILE__, __LINE__, c.name)) continue;
    const FakeSystem::Sent& s = fake.sent[0];
    const bool sameCdb = s.sptd.CdbLength == c.cdb.size() && std::memcmp(s.sptd.Cdb, c.cdb.data(), c.cdb.size()) == 0;
    Check(s.letter == 'D' && sameCdb, "the command bytes", __FILE__, __LINE__, c.name);
    const UCHAR direction = c.dataLength > 0 ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_UNSPECIFIED;
    Check(s.sptd.DataTransferLength == c.dataLength && s.sptd.DataIn == direction, "data length and direction",
          __FILE__, __LINE__, c.name);
    Check(s.sptd.Length == sizeof(SCSI_PASS_THROUGH_DIRECT) && s.sptd.TimeOutValue == 5ul && s.sptd.TargetId == 1,
          "request length, timeout and target", __FILE__, __LINE__, c.name);
    // The sense area lies after the request, in the buffer the driver is
    // given; the data starts on a page.
    Check(s.sptd.SenseInfoLength == 32 && s.sptd.SenseInfoOffset >= sizeof(SCSI_PASS_THROUGH_DIRECT) &&
              s.inBytes == s.outBytes && (c.dataLength == 0 || s.dataAligned),
          "sense area and data buffer", __FILE__, __LINE__, c.name);
  }
  CHECK(Delivered(buffer));

  Section("pass-through: the drive's answers, to E:");
  for (const testing::ScsiAnswerCase& c : testing::ScsiAnswerCases()) {
    fake.answer = c;
    CurrentDevice = e;
    std::vector<uint8_t> data(testing::kAnswerReadSectors * kSectorBytes, 0);
    const bool read = ScsiReadSectors(0, testing::kAnswerReadSectors, data.data(), static_cast<uint32_t>(data.size()));
    Check(read == c.readOk, "the read succeeds as the answer says", __FILE__, __LINE__, c.name);
    Check(read ? Delivered(data) : data == std::vector<uint8_t>(data.size(), 0), "what the read delivered", __FILE__,
          __LINE__, c.name);
    Check(ScsiTestUnitReady(e.hostAdapter, e.target, e.lun) == c.unitReady, "TEST UNIT READY", __FILE__, __LINE__,
          c.name);
    Check(c.refused || fake.sent.back().letter == 'E', "sent to E:", __FILE__, __LINE__, c.name);
  }
  fake.answer = {};
  CHECK_EQ(ScsiInquiry(9, 0, 0), 0);  // no drive there

  SetScsiTransport(nullptr);
  transport.reset();  // the fake goes with it
  CHECK_EQ(g_closed, 2);
  ResetScsiState();
}

}  // namespace corvix::wine
