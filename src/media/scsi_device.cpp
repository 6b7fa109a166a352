#include "media/scsi_device.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "common/user_messages.h"

namespace corvix {

ScsiAddress CurrentDevice;
char CurrentDriveLetter = 0;
uint16_t CurrentDriveIndex = kNoDriveIndex;
uint8_t HostAdapterCount = 0;
InquiryData LastInquiry;

namespace {

constexpr uint8_t kOpInquiry = 0x12;
constexpr uint8_t kOpRead10 = 0x28;
constexpr uint8_t kOpTestUnitReady = 0x00;
constexpr uint8_t kOpPreventAllow = 0x1E;
constexpr uint8_t kMaxTarget = 8;
constexpr uint8_t kMaxLun = 8;

ScsiTransport* g_transport = nullptr;

// Carries out command on the current transport. When the transport could not
// create its completion event the user is told at once, with the caption of
// the command ("Inquiry", "Read", "TestUnitReady").
ScsiResult Issue(const ScsiCommand& command, const char* caption) {
  if (g_transport == nullptr) return {};
  ScsiResult result = g_transport->Execute(command);
  if (result.outcome == ScsiOutcome::kNoEvent) {
    ShowMessageBox("Couldn't Create Event", caption, kMbOk);
  }
  return result;
}

ScsiCommand Addressed(uint8_t hostAdapter, uint8_t target, uint8_t lun) {
  ScsiCommand command;
  command.address = {hostAdapter, target, lun};
  return command;
}

// Copies n identification bytes as text. Bytes outside printable ASCII (a
// short answer's zeros, a unit's stray control bytes) become spaces, so every
// text keeps its fixed width.
void CopyIdentification(const uint8_t* from, size_t n, char* to) {
  for (size_t i = 0; i < n; ++i) {
    const uint8_t c = from[i];
    to[i] = (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : ' ';
  }
  to[n] = '\0';
}

}  // namespace

void SetScsiTransport(ScsiTransport* transport) { g_transport = transport; }

ScsiTransport* CurrentScsiTransport() { return g_transport; }

char DriveLetterOfPath(const std::string& path) {
  std::string rest = path;
  if (rest.rfind("\\\\.\\", 0) == 0) rest = rest.substr(4);
  if (rest.size() < 2 || rest.size() > 3 || rest[1] != ':') return 0;
  if (rest.size() == 3 && rest[2] != '\\' && rest[2] != '/') return 0;
  char letter = rest[0];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  return (letter >= 'A' && letter <= 'Z') ? letter : 0;
}

void ResetScsiState() {
  CurrentDevice = ScsiAddress{};
  CurrentDriveLetter = 0;
  CurrentDriveIndex = kNoDriveIndex;
  HostAdapterCount = 0;
  std::memset(&LastInquiry, 0, sizeof LastInquiry);
}

uint32_t ReadScsiSupportInfo() {
  if (g_transport == nullptr) {
    HostAdapterCount = 0;
    return 0;
  }
  const uint32_t info = g_transport->SupportInfo();
  HostAdapterCount = static_cast<uint8_t>(info & 0xFF);
  return info;
}

void BuildInquiryCdb(uint8_t cdb[6]) {
  const uint8_t bytes[6] = {kOpInquiry, 0, 0, 0, static_cast<uint8_t>(kInquiryBytes), 0};
  std::memcpy(cdb, bytes, sizeof bytes);
}

void BuildRead10Cdb(uint8_t lun, uint32_t lba, uint16_t count, uint8_t cdb[10]) {
  const uint8_t bytes[10] = {kOpRead10,
                             static_cast<uint8_t>(lun << 5),
                             static_cast<uint8_t>(lba >> 24),
                             static_cast<uint8_t>(lba >> 16),
                             static_cast<uint8_t>(lba >> 8),
                             static_cast<uint8_t>(lba),
                             0,
                             static_cast<uint8_t>(count >> 8),
                             static_cast<uint8_t>(count),
                             0};
  std::memcpy(cdb, bytes, sizeof bytes);
}

void BuildTestUnitReadyCdb(uint8_t lun, uint8_t cdb[6]) {
  const uint8_t bytes[6] = {kOpTestUnitReady, static_cast<uint8_t>(lun << 5), 0, 0, 0, 0};
  std::memcpy(cdb, bytes, sizeof bytes);
}

void BuildPreventAllowCdb(uint8_t lun, bool prevent, uint8_t cdb[6]) {
  const uint8_t bytes[6] = {kOpPreventAllow, static_cast<uint8_t>(lun << 5), 0, 0,
                            static_cast<uint8_t>(prevent ? 1 : 0), 0};
  std::memcpy(cdb, bytes, sizeof bytes);
}

int ScsiInquiry(uint8_t hostAdapter, uint8_t target, uint8_t lun) {
  uint8_t data[kInquiryBytes] = {};
  ScsiCommand command = Addressed(hostAdapter, target, lun);
  BuildInquiryCdb(command.cdb);
  command.cdbLength = 6;
  command.data = data;
  command.dataLength = sizeof data;
  const ScsiResult result = Issue(command, "Inquiry");
  if (result.outcome != ScsiOutcome::kCompleted) {
    LastInquiry.deviceType = 0;
    return 0;
  }
  LastInquiry.deviceType = data[0] & 0x1F;
  CopyIdentification(data + 8, 8, LastInquiry.vendor);
  CopyIdentification(data + 16, 16, LastInquiry.product);
  CopyIdentification(data + 32, 4, LastInquiry.revision);
  return LastInquiry.deviceType == kPeripheralCdrom ? 1 : 0;
}

bool ScsiReadSectors(uint32_t lba, uint16_t count, uint8_t* buffer, uint32_t size) {
  if (count == 0) return true;
  if (buffer == nullptr) return false;
  // Never ask the unit for more than the caller's buffer holds.
  const uint16_t fitting = static_cast<uint16_t>(std::min<uint32_t>(count, size / kSectorBytes));
  if (fitting == 0) return false;
  // The unit writes into a buffer of our own, so a command that fails half
  // way leaves the caller's bytes as they were.
  std::vector<uint8_t> data(static_cast<size_t>(fitting) * kSectorBytes);
  ScsiCommand command = Addressed(CurrentDevice.hostAdapter, CurrentDevice.target, CurrentDevice.lun);
  BuildRead10Cdb(CurrentDevice.lun, lba, fitting, command.cdb);
  command.cdbLength = 10;
  command.data = data.data();
  command.dataLength = static_cast<uint32_t>(data.size());
  const ScsiResult result = Issue(command, "Read");
  if (result.outcome != ScsiOutcome::kCompleted || result.residual != 0) return false;
  std::memcpy(buffer, data.data(), data.size());
  return fitting == count;
}

uint32_t ScsiTestUnitReady(uint8_t hostAdapter, uint8_t target, uint8_t lun) {
  ScsiCommand command = Addressed(hostAdapter, target, lun);
  BuildTestUnitReadyCdb(lun, command.cdb);
  command.cdbLength = 6;
  const ScsiResult result = Issue(command, "TestUnitReady");
  if (result.outcome == ScsiOutcome::kRejected || result.outcome == ScsiOutcome::kNoEvent) {
    return 0;
  }
  return static_cast<uint32_t>(result.targetStatus) << 24 |
         static_cast<uint32_t>(result.sense[2] & 0x0F) << 16 |
         static_cast<uint32_t>(result.sense[12]) << 8 | result.sense[13];
}

int ScsiPreventAllowRemoval(uint8_t hostAdapter, uint8_t target, uint8_t lun, uint8_t prevent) {
  ScsiCommand command = Addressed(hostAdapter, target, lun);
  BuildPreventAllowCdb(lun, prevent != 0, command.cdb);
  command.cdbLength = 6;
  return Issue(command, "Inquiry").outcome == ScsiOutcome::kNoEvent ? 0 : 1;
}

int ScanScsiDevices(ScsiDevice** head) {
  *head = nullptr;
  ScsiDevice** tail = head;
  for (unsigned adapter = 0; adapter < HostAdapterCount; ++adapter) {
    for (uint8_t target = 0; target < kMaxTarget; ++target) {
      for (uint8_t lun = 0; lun < kMaxLun; ++lun) {
        if (!ScsiInquiry(static_cast<uint8_t>(adapter), target, lun)) continue;
        auto* device = new (std::nothrow) ScsiDevice{};
        if (device == nullptr) return 0;
        std::memcpy(device->vendor, LastInquiry.vendor, sizeof device->vendor);
        std::memcpy(device->product, LastInquiry.product, sizeof device->product);
        std::memcpy(device->revision, LastInquiry.revision, sizeof device->revision);
        device->lun = lun;
        device->target = target;
        device->hostAdapter = static_cast<uint8_t>(adapter);
        *tail = device;
        tail = &device->next;
      }
    }
  }
  return 1;
}

void FreeScsiDeviceList(ScsiDevice* head) {
  while (head != nullptr) {
    ScsiDevice* next = head->next;
    delete head;
    head = next;
  }
}

bool ScsiSectorSource::ReadSectors(uint32_t lba, uint16_t count, uint8_t* buffer, uint32_t size) {
  return ScsiReadSectors(lba, count, buffer, size);
}

std::string ScsiSectorSource::Describe() const {
  if (g_transport != nullptr) {
    std::string path = g_transport->DevicePath(CurrentDevice);
    if (!path.empty()) return path;
  }
  if (CurrentDriveLetter != 0) return std::string(1, CurrentDriveLetter) + ":";
  return "SCSI " + std::to_string(CurrentDevice.hostAdapter) + ":" +
         std::to_string(CurrentDevice.target) + ":" + std::to_string(CurrentDevice.lun);
}

std::string ScsiSectorSource::DriveName() const {
  if (CurrentDriveLetter >= 'A' && CurrentDriveLetter <= 'Z') return std::string(1, CurrentDriveLetter) + ":\\";
  return Describe();
}

uint32_t ScsiSectorSource::TestUnitReady() {
  return ScsiTestUnitReady(CurrentDevice.hostAdapter, CurrentDevice.target, CurrentDevice.lun);
}

bool ScsiSectorSource::PreventAllowRemoval(bool prevent) {
  return ScsiPreventAllowRemoval(CurrentDevice.hostAdapter, CurrentDevice.target,
                                 CurrentDevice.lun, prevent ? 1 : 0) != 0;
}

}  // namespace corvix
