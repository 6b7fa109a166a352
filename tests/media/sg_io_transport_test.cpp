// The SG_IO transport over a fake set of device files and ioctl.
#ifdef __linux__

#include "media/sg_io_transport.h"

#include <gtest/gtest.h>
#include <scsi/scsi.h>
#include <scsi/sg.h>

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/scsi_device.h"

namespace corvix {
namespace {

struct FakeFile {
  std::optional<sg_scsi_id> id;  // answers SG_GET_SCSI_ID (the sg driver)
  std::optional<int> idLun;      // answers SCSI_IOCTL_GET_IDLUN
};

// The outcome a fake SG_IO gives.
struct SgAnswer {
  int ioctlResult = 0;
  unsigned char status = 0;
  unsigned short hostStatus = 0;
  unsigned short driverStatus = 0;
  int resid = 0;
  std::vector<uint8_t> sense = {};
  uint8_t fill = 0x3C;
};

class FakeSgSystem : public SgIoSystem {
 public:
  std::vector<std::string> CandidatePaths() override { return paths; }
  std::string Canonical(const std::string& path) override {
    const auto it = links.find(path);
    return it == links.end() ? path : it->second;
  }
  int Open(const std::string& path, std::string* why) override {
    const auto it = files.find(path);
    if (it == files.end()) {
      *why = "Permission denied";
      return -1;
    }
    const int fd = nextFd++;
    open[fd] = path;
    return fd;
  }
  void Close(int fd) override {
    closed.push_back(open.at(fd));
    open.erase(fd);
  }
  int Ioctl(int fd, unsigned long request, void* argument) override {
    const FakeFile& file = files.at(open.at(fd));
    if (request == SG_GET_SCSI_ID) {
      if (!file.id) return -1;
      std::memcpy(argument, &*file.id, sizeof(sg_scsi_id));
      return 0;
    }
    if (request == SCSI_IOCTL_GET_IDLUN) {
      if (!file.idLun) return -1;
      static_cast<int*>(argument)[0] = *file.idLun;
      return 0;
    }
    if (request != SG_IO) return -1;
    auto* header = static_cast<sg_io_hdr_t*>(argument);
    Request r;
    r.path = open.at(fd);
    r.header = *header;
    r.cdb.assign(header->cmdp, header->cmdp + header->cmd_len);
    requests.push_back(r);
    if (answer.ioctlResult != 0) return answer.ioctlResult;
    if (header->dxferp != nullptr) std::memset(header->dxferp, answer.fill, header->dxfer_len);
    header->status = answer.status;
    header->host_status = answer.hostStatus;
    header->driver_status = answer.driverStatus;
    header->resid = answer.resid;
    const size_t senseBytes = std::min<size_t>(answer.sense.size(), header->mx_sb_len);
    if (senseBytes > 0) std::memcpy(header->sbp, answer.sense.data(), senseBytes);
    header->sb_len_wr = static_cast<unsigned char>(senseBytes);
    return 0;
  }

  struct Request {
    std::string path;
    sg_io_hdr_t header;
    std::vector<uint8_t> cdb;
  };
  std::vector<std::string> paths;
  std::map<std::string, FakeFile> files;
  std::map<std::string, std::string> links;
  std::map<int, std::string> open;
  std::vector<std::string> closed;
  std::vector<Request> requests;
  SgAnswer answer;
  int nextFd = 10;
};

sg_scsi_id SgId(int host, int id, int lun, int type) {
  sg_scsi_id s{};
  s.host_no = host;
  s.scsi_id = id;
  s.lun = lun;
  s.scsi_type = type;
  return s;
}

int IdLun(int host, int channel, int lun, int id) { return host << 24 | channel << 16 | lun << 8 | id; }

class SgIoTransportTest : public ::testing::Test {
 protected:
  SgIoTransportTest() {
    auto system = std::make_unique<FakeSgSystem>();
    // sr0 and sg1 are one drive; sg0 is a disk; sg2 is a second drive with
    // only a generic device; sr1 can't be opened.
    system->paths = {"/dev/sr0", "/dev/sr1", "/dev/sg0", "/dev/sg1", "/dev/sg2"};
    system->files["/dev/sr0"].idLun = IdLun(1, 0, 0, 0);
    system->files["/dev/sg0"].id = SgId(0, 0, 0, 0);
    system->files["/dev/sg1"].id = SgId(1, 0, 0, 5);
    system->files["/dev/sg2"].id = SgId(3, 4, 1, 5);
    system->links["/dev/cdrom"] = "/dev/sr0";
    fake_ = system.get();
    transport_ = MakeSgIoTransport(std::move(system));
  }
  ~SgIoTransportTest() override {
    SetScsiTransport(nullptr);
    ResetScsiState();
  }

  FakeSgSystem* fake_;
  std::unique_ptr<ScsiTransport> transport_;
};

TEST_F(SgIoTransportTest, FindsCdromUnitsOnceEach) {
  EXPECT_EQ(transport_->SupportInfo(), 0x0104u);  // hosts 0 to 3
  ScsiAddress address;
  struct Case {
    const char* path;
    bool found;
    ScsiAddress address;
  };
  const Case cases[] = {
      {"/dev/sr0", true, {1, 0, 0}}, {"/dev/cdrom", true, {1, 0, 0}}, {"/dev/sg1", true, {1, 0, 0}},
      {"/dev/sg2", true, {3, 4, 1}}, {"/dev/sg0", false, {}},          {"/dev/sr1", false, {}},
      {"/dev/sda", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(transport_->Locate(c.path, &address), c.found);
    if (c.found) {
      EXPECT_TRUE(address == c.address);
    }
  }
  EXPECT_EQ(transport_->DevicePath({1, 0, 0}), "/dev/sr0");
  EXPECT_EQ(transport_->DevicePath({3, 4, 1}), "/dev/sg2");
  EXPECT_EQ(transport_->DevicePath({0, 0, 0}), "");
  EXPECT_EQ(transport_->DriveLetter({1, 0, 0}), 0);
  // The disk and the second name of the first drive are not kept open.
  EXPECT_EQ(fake_->closed, (std::vector<std::string>{"/dev/sg0", "/dev/sg1"}));
  EXPECT_EQ(transport_->Problems(), std::vector<std::string>{"/dev/sr1: Permission denied"});
}

TEST_F(SgIoTransportTest, ScanFindsTheUnitsThroughInquiry) {
  SetScsiTransport(transport_.get());
  ReadScsiSupportInfo();
  fake_->answer.fill = 0x05;  // byte 0: a CD-ROM device; identification 0x05 bytes
  ScsiDevice* list = nullptr;
  ASSERT_EQ(ScanScsiDevices(&list), 1);
  std::vector<ScsiAddress> found;
  for (ScsiDevice* d = list; d != nullptr; d = d->next) found.push_back({d->hostAdapter, d->target, d->lun});
  FreeScsiDeviceList(list);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_TRUE(found[0] == (ScsiAddress{1, 0, 0}));
  EXPECT_TRUE(found[1] == (ScsiAddress{3, 4, 1}));
  EXPECT_EQ(fake_->requests.size(), 2u);  // only units that exist are asked
}

TEST_F(SgIoTransportTest, Read10RequestHeader) {
  SetScsiTransport(transport_.get());
  CurrentDevice = {3, 4, 1};
  std::vector<uint8_t> buffer(4 * kSectorBytes, 0);
  ASSERT_TRUE(ScsiReadSectors(74565, 4, buffer.data(), static_cast<uint32_t>(buffer.size())));
  ASSERT_EQ(fake_->requests.size(), 1u);
  const auto& r = fake_->requests[0];
  EXPECT_EQ(r.path, "/dev/sg2");
  EXPECT_EQ(r.header.interface_id, 'S');
  EXPECT_EQ(r.header.dxfer_direction, SG_DXFER_FROM_DEV);
  EXPECT_EQ(r.header.dxfer_len, 4 * kSectorBytes);
  EXPECT_EQ(r.header.mx_sb_len, 32);
  EXPECT_EQ(r.header.timeout, 5000u);
  EXPECT_EQ(r.cdb, (std::vector<uint8_t>{0x28, 0x20, 0x00, 0x01, 0x23, 0x45, 0x00, 0x00, 0x04, 0x00}));
  EXPECT_EQ(buffer, std::vector<uint8_t>(4 * kSectorBytes, 0x3C));
}

TEST_F(SgIoTransportTest, TestUnitReadyMovesNoData) {
  SetScsiTransport(transport_.get());
  // DRIVER_SENSE with "no medium".
  fake_->answer = {.status = 2, .driverStatus = 0x08, .sense = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x00}};
  EXPECT_EQ(ScsiTestUnitReady(1, 0, 0), 0x02023A00u);
  ASSERT_EQ(fake_->requests.size(), 1u);
  EXPECT_EQ(fake_->requests[0].header.dxfer_direction, SG_DXFER_NONE);
  EXPECT_EQ(fake_->requests[0].header.dxfer_len, 0u);
  EXPECT_EQ(fake_->requests[0].cdb, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0}));
}

TEST_F(SgIoTransportTest, AnswersBecomeOutcomes) {
  struct Case {
    const char* name;
    SgAnswer answer;
    ScsiOutcome outcome;
    uint32_t residual;
  };
  const std::vector<uint8_t> mediumError = {0x70, 0, 0x03, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x11, 0x00};
  const Case cases[] = {
      {"completed", {}, ScsiOutcome::kCompleted, 0},
      {"ioctl refused", {.ioctlResult = -1}, ScsiOutcome::kRejected, 0},
      {"check condition", {.status = 2, .driverStatus = 0x08, .sense = mediumError}, ScsiOutcome::kFailed, 0},
      {"host timeout", {.hostStatus = 0x03}, ScsiOutcome::kTimedOut, 0},
      {"driver timeout", {.driverStatus = 0x06}, ScsiOutcome::kTimedOut, 0},
      {"no connection", {.hostStatus = 0x01}, ScsiOutcome::kFailed, 0},
      {"short transfer", {.resid = 2048}, ScsiOutcome::kCompleted, 2048},
      {"residual beyond the request", {.resid = 1 << 30}, ScsiOutcome::kCompleted, 4096},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake_->answer = c.answer;
    std::vector<uint8_t> data(4096);
    ScsiCommand command;
    command.address = {1, 0, 0};
    command.cdb[0] = 0x28;
    command.cdbLength = 10;
    command.data = data.data();
    command.dataLength = 4096;
    const ScsiResult result = transport_->Execute(command);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.residual, c.residual);
    if (c.outcome == ScsiOutcome::kFailed && !c.answer.sense.empty()) {
      EXPECT_EQ(result.targetStatus, 2);
      EXPECT_EQ(result.sense[2], 0x03);
      EXPECT_EQ(result.sense[12], 0x11);
    }
  }
}

TEST_F(SgIoTransportTest, UnknownAddressesAndBadCommandsNeverReachTheKernel) {
  ScsiCommand command;
  command.cdbLength = 6;
  command.address = {2, 0, 0};
  EXPECT_EQ(transport_->Execute(command).outcome, ScsiOutcome::kRejected);
  command.address = {1, 0, 0};
  command.cdbLength = 0;
  EXPECT_EQ(transport_->Execute(command).outcome, ScsiOutcome::kRejected);
  command.cdbLength = 17;
  EXPECT_EQ(transport_->Execute(command).outcome, ScsiOutcome::kRejected);
  EXPECT_TRUE(fake_->requests.empty());
}

TEST(SgIoTransportNoDrives, StillReportsAWorkingInterface) {
  auto system = std::make_unique<FakeSgSystem>();
  auto transport = MakeSgIoTransport(std::move(system));
  EXPECT_EQ(transport->SupportInfo(), 0x0101u);
  ScsiAddress address;
  EXPECT_FALSE(transport->Locate("/dev/sr0", &address));
}

}  // namespace
}  // namespace corvix

#endif  // __linux__
