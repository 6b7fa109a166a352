// The SG_IO transport over a fake set of device files and ioctl.
#ifdef __linux__

#include "media/sg_io_transport.h"

#include <gtest/gtest.h>
#include <scsi/scsi.h>
#include <scsi/sg.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <tuple>

#include "media/scsi_device.h"
#include "support/scsi_conformance.h"

namespace corvix {
namespace {

using Bytes = std::vector<uint8_t>;

// The outcome a fake SG_IO gives.
struct SgAnswer {
  int ioctlResult = 0;
  unsigned char status = 0;
  unsigned short hostStatus = 0, driverStatus = 0;
  int resid = 0;
  Bytes sense = {};
};

class FakeSgSystem : public SgIoSystem {
 public:
  struct File {
    std::optional<std::tuple<int, int, int, int>> id;  // SG_GET_SCSI_ID: host, target, LUN, device type
    std::optional<int> idLun;                          // SCSI_IOCTL_GET_IDLUN
  };
  struct Request {
    std::string path;
    sg_io_hdr_t header;
    Bytes cdb;
  };

  std::vector<std::string> CandidatePaths() override { return paths; }
  std::string Canonical(const std::string& path) override { return path; }
  int Open(const std::string& path, std::string* why) override {
    if (!files.contains(path)) return (*why = "Permission denied", -1);
    open[nextFd] = path;
    return nextFd++;
  }
  void Close(int) override {}
  int Ioctl(int fd, unsigned long request, void* argument) override {
    const File& file = files.at(open.at(fd));
    if (request == SCSI_IOCTL_GET_IDLUN) return file.idLun ? (*static_cast<int*>(argument) = *file.idLun, 0) : -1;
    if (request == SG_GET_SCSI_ID) {
      auto* id = static_cast<sg_scsi_id*>(argument);
      if (file.id) std::tie(id->host_no, id->scsi_id, id->lun, id->scsi_type) = *file.id;
      return file.id ? 0 : -1;
    }
    auto* header = static_cast<sg_io_hdr_t*>(argument);
    requests.push_back({open.at(fd), *header, Bytes(header->cmdp, header->cmdp + header->cmd_len)});
    if (answer.ioctlResult != 0) return answer.ioctlResult;
    if (header->dxferp != nullptr) std::memset(header->dxferp, 0x3C, header->dxfer_len);
    header->status = answer.status;
    header->host_status = answer.hostStatus;
    header->driver_status = answer.driverStatus;
    header->resid = answer.resid;
    header->sb_len_wr = static_cast<unsigned char>(std::min<size_t>(answer.sense.size(), header->mx_sb_len));
    if (header->sb_len_wr > 0) std::memcpy(header->sbp, answer.sense.data(), header->sb_len_wr);
    return 0;
  }

  // Two drives: sr0 answers only the older ioctl, sg2 only SG_GET_SCSI_ID;
  // sg0 is a disk, and sg3's host number has no place in an address.
  std::vector<std::string> paths = {"/dev/sr0", "/dev/sg0", "/dev/sg2", "/dev/sg3"};
  std::map<std::string, File> files = {{"/dev/sr0", {{}, 1 << 24}},  // host 1; channel, LUN and id 0
                                       {"/dev/sg0", {std::tuple{0, 0, 0, 0}, {}}},
                                       {"/dev/sg2", {std::tuple{3, 4, 1, 5}, {}}},
                                       {"/dev/sg3", {std::tuple{300, 0, 0, 5}, {}}}};
  std::map<int, std::string> open;
  std::vector<Request> requests;
  SgAnswer answer;
  int nextFd = 10;
};

class SgIoTransportTest : public ::testing::Test {
 protected:
  ~SgIoTransportTest() override {
    SetScsiTransport(nullptr);
    ResetScsiState();
  }
  std::unique_ptr<FakeSgSystem> system_ = std::make_unique<FakeSgSystem>();
  FakeSgSystem* fake_ = system_.get();
  std::unique_ptr<ScsiTransport> transport_ = MakeSgIoTransport(std::move(system_));
};

// Only CD-ROM units whose address fits are kept.
TEST_F(SgIoTransportTest, KeepsCdromUnitsWithAnAddress) {
  for (const char* path : {"/dev/sr0", "/dev/sg0", "/dev/sg2", "/dev/sg3"}) {
    ScsiAddress address;
    EXPECT_EQ(transport_->Locate(path, &address), path == std::string("/dev/sr0") || path == std::string("/dev/sg2"))
        << path;
  }
}

// Every command the program sends, byte for byte as the kernel gets it.
TEST_F(SgIoTransportTest, CommandsReachTheDriveByteExact) {
  Bytes buffer(testing::kConformanceReadSectors * kSectorBytes);
  SetScsiTransport(transport_.get());
  CurrentDevice = {3, 4, 1};
  for (const testing::ScsiCommandCase& c : testing::ScsiCommandCases(buffer.data())) {
    SCOPED_TRACE(c.name);
    fake_->requests.clear();
    c.issue();
    ASSERT_EQ(fake_->requests.size(), 1u);
    const auto& r = fake_->requests[0];
    EXPECT_EQ(r.path, "/dev/sg2");
    EXPECT_EQ(r.cdb, c.cdb);
    EXPECT_EQ(r.header.dxfer_len, c.dataLength);
    EXPECT_EQ(r.header.dxfer_direction, c.dataLength > 0 ? SG_DXFER_FROM_DEV : SG_DXFER_NONE);
    EXPECT_EQ(r.header.interface_id, 'S');
    EXPECT_EQ(r.header.mx_sb_len, 32);
    EXPECT_EQ(r.header.timeout, 5000u);
  }
  EXPECT_EQ(buffer, Bytes(buffer.size(), 0x3C));  // what the kernel delivered
}

// The drive's answers mean through SG_IO what they mean through every
// transport; a read delivers only when it succeeds.
TEST_F(SgIoTransportTest, AnswersMeanWhatTheyMeanThroughEveryTransport) {
  SetScsiTransport(transport_.get());
  CurrentDevice = {1, 0, 0};
  for (const testing::ScsiAnswerCase& c : testing::ScsiAnswerCases()) {
    SCOPED_TRACE(c.name);
    fake_->answer = {.ioctlResult = c.refused ? -1 : 0, .status = c.status, .resid = static_cast<int>(c.shortBy),
                     .sense = c.sense};
    Bytes buffer(testing::kAnswerReadSectors * kSectorBytes, 0);
    EXPECT_EQ(ScsiReadSectors(0, testing::kAnswerReadSectors, buffer.data(), static_cast<uint32_t>(buffer.size())),
              c.readOk);
    EXPECT_EQ(buffer, Bytes(buffer.size(), c.readOk ? 0x3C : 0));
    EXPECT_EQ(ScsiTestUnitReady(1, 0, 0), c.unitReady);
  }
}

// What only SG_IO tells: timeouts, lost connections, the kernel's own sense
// flag and residuals beyond the request.
TEST_F(SgIoTransportTest, KernelAnswersBecomeOutcomes) {
  const Bytes mediumError = testing::FixedSense(3, 0x11, 0);
  const std::tuple<const char*, SgAnswer, ScsiOutcome, uint32_t> cases[] = {
      {"check condition", {.status = 2, .driverStatus = 0x08, .sense = mediumError}, ScsiOutcome::kFailed, 0},
      {"host timeout", {.hostStatus = 0x03}, ScsiOutcome::kTimedOut, 0},
      {"driver timeout", {.driverStatus = 0x06}, ScsiOutcome::kTimedOut, 0},
      {"no connection", {.hostStatus = 0x01}, ScsiOutcome::kFailed, 0},
      {"residual beyond the request", {.resid = 1 << 30}, ScsiOutcome::kCompleted, 4096},
  };
  Bytes data(4096);
  ScsiCommand command{.address = {1, 0, 0}, .cdbLength = 10, .data = data.data(), .dataLength = 4096};
  for (const auto& [name, answer, outcome, residual] : cases) {
    SCOPED_TRACE(name);
    fake_->answer = answer;
    const ScsiResult result = transport_->Execute(command);
    EXPECT_EQ(result.outcome, outcome);
    EXPECT_EQ(result.residual, residual);
    EXPECT_EQ(result.targetStatus, answer.status);
    EXPECT_EQ(Bytes(result.sense, result.sense + answer.sense.size()), answer.sense);
  }
  // Unknown units and malformed commands never reach the kernel.
  const size_t asked = fake_->requests.size();
  const std::pair<ScsiAddress, uint8_t> refused[] = {{{2, 0, 0}, 6}, {{1, 0, 0}, 0}, {{1, 0, 0}, 17}};
  for (const auto& [address, cdbLength] : refused) {
    command.address = address;
    command.cdbLength = cdbLength;
    EXPECT_EQ(transport_->Execute(command).outcome, ScsiOutcome::kRejected);
  }
  EXPECT_EQ(fake_->requests.size(), asked);
}

}  // namespace
}  // namespace corvix

#endif  // __linux__
