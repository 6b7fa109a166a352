#include "media/scsi_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/user_messages.h"
#include "media/disc_image.h"
#include "support/fake_scsi.h"
#include "support/test_disc.h"

namespace corvix {
namespace {

using testing::CheckCondition;
using testing::Completed;
using testing::FakeTransport;
using testing::MessageRecorder;

using Bytes = std::vector<uint8_t>;

// INQUIRY data: byte 0 as given, identification at 8, 16 and 32.
Bytes InquiryData(uint8_t byte0, const char* vendor = "ABC     ",
                  const char* product = "CD-ROM DRIVE 40X", const char* revision = "1.00") {
  Bytes data(96, 0);
  data[0] = byte0;
  std::memcpy(data.data() + 8, vendor, 8);
  std::memcpy(data.data() + 16, product, 16);
  std::memcpy(data.data() + 32, revision, 4);
  return data;
}

class ScsiDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetScsiState();
    SetScsiTransport(&transport_);
    SetUserMessages(&recorder_);
  }
  void TearDown() override {
    SetSectorSource(nullptr);
    SetScsiTransport(nullptr);
    SetUserMessages(nullptr);
    ResetScsiState();
  }

  // Units at the given addresses answer INQUIRY with data; everything else
  // is rejected, as an empty bus position is.
  void AnswerInquiries(std::vector<std::pair<ScsiAddress, Bytes>> units) {
    transport_.answer = [units](const ScsiCommand& c) {
      for (const auto& [address, data] : units) {
        if (c.address == address && c.cdb[0] == 0x12) {
          std::memcpy(c.data, data.data(), std::min<size_t>(c.dataLength, data.size()));
          return Completed();
        }
      }
      return ScsiResult{};
    };
  }

  FakeTransport transport_;
  MessageRecorder recorder_;
};

// INQUIRY, TEST UNIT READY and READ(10) are checked as sent below; here the
// top of READ(10)'s ranges and the tray commands.
TEST_F(ScsiDeviceTest, CommandDescriptorBlocksAreByteExact) {
  Bytes readTop(10), lock(6), unlock(6);
  BuildRead10Cdb(7, 0xFEDCBA98, 0xFFFF, readTop.data());
  BuildPreventAllowCdb(1, true, lock.data());
  BuildPreventAllowCdb(1, false, unlock.data());
  EXPECT_EQ(readTop, (Bytes{0x28, 0xE0, 0xFE, 0xDC, 0xBA, 0x98, 0x00, 0xFF, 0xFF, 0x00}));
  EXPECT_EQ(lock, (Bytes{0x1E, 0x20, 0, 0, 1, 0}));
  EXPECT_EQ(unlock, (Bytes{0x1E, 0x20, 0, 0, 0, 0}));
}

TEST_F(ScsiDeviceTest, ReadGoesToCurrentDeviceAsRead10) {
  CurrentDevice = {1, 2, 0};
  transport_.answer = [](const ScsiCommand& c) {
    for (uint32_t i = 0; i < c.dataLength; ++i) c.data[i] = static_cast<uint8_t>(i);
    return Completed();
  };
  Bytes buffer(4 * kSectorBytes, 0);
  EXPECT_TRUE(ScsiReadSectors(74565, 4, buffer.data(), static_cast<uint32_t>(buffer.size())));
  ASSERT_EQ(transport_.sent.size(), 1u);
  const auto& sent = transport_.sent[0];
  EXPECT_TRUE(sent.address == (ScsiAddress{1, 2, 0}));
  EXPECT_EQ(sent.cdb, (Bytes{0x28, 0x00, 0x00, 0x01, 0x23, 0x45, 0x00, 0x00, 0x04, 0x00}));
  EXPECT_EQ(sent.dataLength, 4 * kSectorBytes);
  EXPECT_EQ(buffer[kSectorBytes + 1], static_cast<uint8_t>(kSectorBytes + 1));
}

TEST_F(ScsiDeviceTest, ReadThatFailsLeavesTheCallersBytes) {
  struct Case {
    const char* name;
    ScsiResult result;
    uint32_t writeBytes;  // what the transport puts into the data before answering
  };
  const Case cases[] = {
      {"rejected", ScsiResult{}, 0},
      {"check condition", CheckCondition(3, 0x11, 0), 2 * kSectorBytes},
      {"timed out", {.outcome = ScsiOutcome::kTimedOut}, kSectorBytes},
      {"short transfer", {.outcome = ScsiOutcome::kCompleted, .residual = kSectorBytes}, 3 * kSectorBytes},
  };
  CurrentDevice = {0, 0, 0};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    transport_.answer = [&c](const ScsiCommand& command) {
      std::memset(command.data, 0x5A, std::min(c.writeBytes, command.dataLength));
      return c.result;
    };
    Bytes buffer(4 * kSectorBytes, 0);
    EXPECT_FALSE(ScsiReadSectors(16, 4, buffer.data(), static_cast<uint32_t>(buffer.size())));
    EXPECT_EQ(buffer, Bytes(4 * kSectorBytes, 0));
  }
  EXPECT_TRUE(recorder_.messages.empty());
}

TEST_F(ScsiDeviceTest, ReadAsksOnlyForWholeSectorsThatFit) {
  CurrentDevice = {0, 0, 0};
  transport_.answer = [](const ScsiCommand& c) {
    std::memset(c.data, 0x77, c.dataLength);
    return Completed();
  };
  Bytes buffer(3 * kSectorBytes + 100, 0);
  EXPECT_FALSE(ScsiReadSectors(0, 4, buffer.data(), static_cast<uint32_t>(buffer.size())));
  ASSERT_EQ(transport_.sent.size(), 1u);
  EXPECT_EQ(transport_.sent[0].dataLength, 3 * kSectorBytes);
  EXPECT_EQ(transport_.sent[0].cdb[8], 3);
  EXPECT_EQ(buffer[3 * kSectorBytes - 1], 0x77);
  EXPECT_EQ(buffer[3 * kSectorBytes], 0);

  Bytes tiny(100, 0);
  EXPECT_FALSE(ScsiReadSectors(0, 1, tiny.data(), static_cast<uint32_t>(tiny.size())));
  EXPECT_TRUE(ScsiReadSectors(0, 0, tiny.data(), 0));
  EXPECT_EQ(transport_.sent.size(), 1u);  // neither reached the drive
}

TEST_F(ScsiDeviceTest, WithoutADriveReadsDeliverNothingAndNothingIsShown) {
  SetScsiTransport(nullptr);
  ScsiSectorSource drive;
  SetSectorSource(&drive);
  Bytes buffer(kSectorBytes, 0);
  EXPECT_FALSE(ReadSectors(0, 1, buffer.data(), kSectorBytes));
  EXPECT_EQ(buffer, Bytes(kSectorBytes, 0));
  EXPECT_EQ(ScsiTestUnitReady(255, 255, 255), 0u);
  EXPECT_EQ(EnsureMediumReady(), 1);
  EXPECT_EQ(ScsiInquiry(0, 0, 0), 0);
  EXPECT_TRUE(recorder_.messages.empty());
  EXPECT_TRUE(CurrentDevice == (ScsiAddress{255, 255, 255}));
}

TEST_F(ScsiDeviceTest, InquiryComparesOnlyThePeripheralDeviceType) {
  struct Case {
    uint8_t byte0;
    int answer;
  };
  const Case cases[] = {{0x05, 1}, {0x25, 1}, {0x65, 1}, {0xE5, 1}, {0x00, 0}, {0x04, 0}, {0x15, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.byte0));
    AnswerInquiries({{{0, 1, 0}, InquiryData(c.byte0)}});
    EXPECT_EQ(ScsiInquiry(0, 1, 0), c.answer);
    EXPECT_EQ(LastInquiry.deviceType, c.byte0 & 0x1F);
  }
  AnswerInquiries({{{0, 1, 0}, InquiryData(5)}});
  ASSERT_EQ(ScsiInquiry(0, 1, 0), 1);
  EXPECT_STREQ(LastInquiry.vendor, "ABC     ");
  EXPECT_STREQ(LastInquiry.product, "CD-ROM DRIVE 40X");
  EXPECT_STREQ(LastInquiry.revision, "1.00");
  // A failed INQUIRY clears the stored type; its LUN bits stay 0 whatever
  // the unit's LUN.
  transport_.sent.clear();
  EXPECT_EQ(ScsiInquiry(0, 0, 7), 0);
  EXPECT_EQ(LastInquiry.deviceType, 0);
  ASSERT_EQ(transport_.sent.size(), 1u);
  EXPECT_EQ(transport_.sent[0].cdb, (Bytes{0x12, 0, 0, 0, 0x60, 0}));
  EXPECT_EQ(transport_.sent[0].dataLength, 96u);
}

TEST_F(ScsiDeviceTest, IdentificationBytesBecomeFixedWidthText) {
  Bytes data = InquiryData(5, "AB\0\x01\x7F   ", "XY\0\0\0\0\0\0\0\0\0\0\0\0\0\0", "1\0\0\0");
  AnswerInquiries({{{0, 0, 0}, data}});
  ASSERT_EQ(ScsiInquiry(0, 0, 0), 1);
  EXPECT_STREQ(LastInquiry.vendor, "AB      ");
  EXPECT_EQ(std::strlen(LastInquiry.product), 16u);
  EXPECT_STREQ(LastInquiry.revision, "1   ");
}

TEST_F(ScsiDeviceTest, ScanVisitsAdaptersTargetsThenLunsAndKeepsCdroms) {
  transport_.supportInfo = 0x0102;
  ASSERT_EQ(ReadScsiSupportInfo(), 0x0102u);
  ASSERT_EQ(HostAdapterCount, 2);
  AnswerInquiries({
      {{1, 0, 0}, InquiryData(0x05, "LATE    ")},
      {{0, 6, 1}, InquiryData(0x25, "SECOND  ")},
      {{0, 6, 0}, InquiryData(0x00, "DISK    ")},  // a disk: not listed
      {{0, 2, 7}, InquiryData(0x05, "FIRST   ")},
      {{2, 0, 0}, InquiryData(0x05, "NOADAPT ")},  // beyond the adapter count
  });
  ScsiDevice* list = nullptr;
  ASSERT_EQ(ScanScsiDevices(&list), 1);
  std::vector<std::string> vendors;
  std::vector<ScsiAddress> addresses;
  for (ScsiDevice* d = list; d != nullptr; d = d->next) {
    vendors.push_back(d->vendor);
    addresses.push_back({d->hostAdapter, d->target, d->lun});
  }
  FreeScsiDeviceList(list);
  EXPECT_EQ(vendors, (std::vector<std::string>{"FIRST   ", "SECOND  ", "LATE    "}));
  EXPECT_TRUE(addresses[0] == (ScsiAddress{0, 2, 7}));
  EXPECT_TRUE(addresses[1] == (ScsiAddress{0, 6, 1}));
  EXPECT_TRUE(addresses[2] == (ScsiAddress{1, 0, 0}));

  // Every position was asked once, LUN innermost.
  const auto inquiries = transport_.SentWith(0x12);
  ASSERT_EQ(inquiries.size(), 2u * 8 * 8);
  EXPECT_TRUE(inquiries[1].address == (ScsiAddress{0, 0, 1}));
  EXPECT_TRUE(inquiries[8].address == (ScsiAddress{0, 1, 0}));
  EXPECT_TRUE(inquiries[64].address == (ScsiAddress{1, 0, 0}));
}

TEST_F(ScsiDeviceTest, ScanWithNoAdapterOrNoDriveGivesAnEmptyList) {
  for (uint32_t info : {0x0100u, 0x0101u}) {
    transport_.supportInfo = info;
    ReadScsiSupportInfo();
    ScsiDevice* list = reinterpret_cast<ScsiDevice*>(&transport_);  // must be overwritten
    EXPECT_EQ(ScanScsiDevices(&list), 1);
    EXPECT_EQ(list, nullptr);
  }
}

TEST_F(ScsiDeviceTest, TestUnitReadyPacksStatusSenseKeyAndCodes) {
  struct Case {
    const char* name;
    ScsiResult result;
    uint32_t expected;
  };
  const ScsiResult noEvent{.outcome = ScsiOutcome::kNoEvent};
  const ScsiResult keyWithFlags = CheckCondition(0xE2, 0x04, 0x01);  // filemark/EOM/ILI bits set
  const Case cases[] = {
      {"ready", Completed(), 0},
      {"not ready, becoming ready", CheckCondition(2, 0x04, 0x01), 0x02020401},
      {"no medium", CheckCondition(2, 0x3A, 0x00), 0x02023A00},
      {"medium changed", CheckCondition(6, 0x28, 0x00), 0x02062800},
      {"flag bits above the key", keyWithFlags, 0x02020401},
      {"rejected", ScsiResult{}, 0},
      {"no event", noEvent, 0},
  };
  CurrentDevice = {0, 3, 2};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    transport_.answer = [&c](const ScsiCommand&) { return c.result; };
    transport_.sent.clear();
    EXPECT_EQ(ScsiTestUnitReady(0, 3, 2), c.expected);
    ASSERT_EQ(transport_.sent.size(), 1u);
    EXPECT_EQ(transport_.sent[0].cdb, (Bytes{0x00, 0x40, 0, 0, 0, 0}));
    EXPECT_EQ(transport_.sent[0].dataLength, 0u);
  }
}

TEST_F(ScsiDeviceTest, CouldNotCreateEventNamesTheCommand) {
  transport_.answer = [](const ScsiCommand&) { return ScsiResult{.outcome = ScsiOutcome::kNoEvent}; };
  Bytes buffer(kSectorBytes, 0);
  EXPECT_EQ(ScsiInquiry(0, 0, 0), 0);
  EXPECT_FALSE(ScsiReadSectors(0, 1, buffer.data(), kSectorBytes));
  EXPECT_EQ(ScsiTestUnitReady(0, 0, 0), 0u);
  EXPECT_EQ(ScsiPreventAllowRemoval(0, 0, 0, 1), 0);
  ASSERT_EQ(recorder_.messages.size(), 4u);
  const char* captions[] = {"Inquiry", "Read", "TestUnitReady", "Inquiry"};
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(recorder_.messages[i].text, "Couldn't Create Event");
    EXPECT_EQ(recorder_.messages[i].caption, captions[i]);
    EXPECT_EQ(recorder_.messages[i].style, kMbOk);
  }
}

TEST_F(ScsiDeviceTest, PreventAllowAnswersOneWhateverTheDriveSays) {
  transport_.answer = [](const ScsiCommand&) { return CheckCondition(5, 0x20, 0); };
  EXPECT_EQ(ScsiPreventAllowRemoval(0, 0, 0, 1), 1);
  SetScsiTransport(nullptr);
  EXPECT_EQ(ScsiPreventAllowRemoval(0, 0, 0, 0), 1);
}

// The drive as the current sector source, answering TEST UNIT READY from a
// script and recording the tray commands.
class MediumTest : public ScsiDeviceTest {
 protected:
  void SetUp() override {
    ScsiDeviceTest::SetUp();
    CurrentDevice = {0, 1, 0};
    CurrentDriveLetter = 'E';
    SetSectorSource(&drive_);
    transport_.answer = [this](const ScsiCommand& c) {
      if (c.cdb[0] == 0x00 && !readiness_.empty()) {
        const ScsiResult next = readiness_.front();
        readiness_.erase(readiness_.begin());
        return next;
      }
      return Completed();
    };
  }
  // The PREVENT ALLOW bytes sent, in order: 1 lock, 0 unlock.
  std::vector<int> TrayCommands() const {
    std::vector<int> tray;
    for (const auto& s : transport_.SentWith(0x1E)) tray.push_back(s.cdb[4]);
    return tray;
  }
  ScsiSectorSource drive_;
  std::vector<ScsiResult> readiness_;
};

TEST_F(MediumTest, AnswersOfTheReadinessQuestion) {
  struct Case {
    const char* name;
    std::vector<ScsiResult> readiness;
    std::vector<int> answers;
    int expected;
    size_t questions;
    int refreshes;
  };
  const Case cases[] = {
      {"retried until ready", {CheckCondition(2, 4, 1), CheckCondition(2, 4, 1), CheckCondition(2, 0x3A, 0)},
       {kIdRetry, kIdRetry, kIdRetry}, 1, 3, 0},
      {"cancel", {CheckCondition(2, 4, 1)}, {kIdCancel}, 0, 1, 0},
      {"retry then cancel", {CheckCondition(2, 4, 1), CheckCondition(2, 4, 1)}, {kIdRetry, kIdCancel}, 0, 2, 0},
      {"a closed box goes on", {CheckCondition(2, 4, 1)}, {kIdOk}, 1, 1, 0},
      {"unit attention refreshes once", {CheckCondition(6, 0x28, 0)}, {}, 1, 0, 1},
      {"not ready then changed", {CheckCondition(2, 4, 1), CheckCondition(6, 0x28, 0)}, {kIdRetry}, 1, 1, 1},
      {"other sense keys go on", {CheckCondition(3, 0x11, 0)}, {}, 1, 0, 0},
      {"ready", {}, {}, 1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    readiness_ = c.readiness;
    recorder_.messages.clear();
    recorder_.refreshes = 0;
    recorder_.script = c.answers;
    recorder_.answer = kIdOk;
    transport_.sent.clear();
    EXPECT_EQ(EnsureMediumReady(), c.expected);
    EXPECT_EQ(recorder_.messages.size(), c.questions);
    EXPECT_EQ(recorder_.refreshes, c.refreshes);
    // Every Retry tests the unit again.
    const auto retries = std::count(c.answers.begin(), c.answers.end(), kIdRetry);
    EXPECT_EQ(transport_.SentWith(0x00).size(), static_cast<size_t>(retries) + 1);
    for (const auto& m : recorder_.messages) {
      EXPECT_EQ(m.text, "E:\\ is not accessible\n\nThe device is not ready");
      EXPECT_EQ(m.caption, "Veltrex Corvix");
      EXPECT_EQ(m.style, kMbRetryCancel | kMbIconStop);
    }
  }
}

TEST_F(MediumTest, WithoutALetterTheQuestionNamesTheDevice) {
  CurrentDriveLetter = 0;
  transport_.paths["/dev/sr1"] = CurrentDevice;
  readiness_ = {CheckCondition(2, 0x3A, 0)};
  recorder_.answer = kIdCancel;
  EXPECT_EQ(EnsureMediumReady(), 0);
  ASSERT_EQ(recorder_.messages.size(), 1u);
  EXPECT_EQ(recorder_.messages[0].text, "/dev/sr1 is not accessible\n\nThe device is not ready");
}

TEST_F(MediumTest, TrayIsUnlockedOnEveryPath) {
  struct Case {
    const char* name;
    std::vector<ScsiResult> readiness;
    int readAnswer;
    int expected;
    std::vector<int> tray;
    bool readRan;
  };
  const Case cases[] = {
      {"success", {}, 1, 1, {1, 0}, true},
      {"the read fails", {}, 0, 0, {1, 0}, true},
      {"cancelled before locking", {CheckCondition(2, 4, 1)}, 1, 0, {}, false},
  };
  recorder_.answer = kIdCancel;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    readiness_ = c.readiness;
    transport_.sent.clear();
    bool ran = false;
    std::vector<int> trayDuringRead;
    const int answer = ReadWithLockedMedium([&] {
      ran = true;
      trayDuringRead = TrayCommands();
      return c.readAnswer;
    });
    EXPECT_EQ(answer, c.expected);
    EXPECT_EQ(ran, c.readRan);
    EXPECT_EQ(TrayCommands(), c.tray);
    if (ran) {
      EXPECT_EQ(trayDuringRead, std::vector<int>{1});
    }
  }
}

TEST_F(MediumTest, TrayIsUnlockedWhenTheReadingLeavesEarly) {
  {
    MediumLock lock;
    EXPECT_EQ(TrayCommands(), std::vector<int>{1});
  }
  EXPECT_EQ(TrayCommands(), (std::vector<int>{1, 0}));
  for (const auto& s : transport_.SentWith(0x1E)) EXPECT_TRUE(s.address == (ScsiAddress{0, 1, 0}));
}

TEST(ImageMediumTest, ImagesAreAlwaysReadyAndHaveNothingToLock) {
  MessageRecorder recorder;
  SetUserMessages(&recorder);
  testing::MemorySource image(std::vector<uint8_t>(4 * kSectorBytes, 1));
  SetSectorSource(&image);
  EXPECT_EQ(EnsureMediumReady(), 1);
  EXPECT_EQ(LockMedium(), 1);
  EXPECT_EQ(UnlockMedium(), 1);
  EXPECT_EQ(ReadWithLockedMedium([] { return 5; }), 5);
  EXPECT_TRUE(recorder.messages.empty());
  EXPECT_EQ(recorder.refreshes, 0);
  SetSectorSource(nullptr);
  SetUserMessages(nullptr);
}

TEST(DevicePathTest, DriveLettersOfWindowsPaths) {
  struct Case {
    const char* path;
    char letter;
  };
  const Case cases[] = {{"D:", 'D'},       {"d:", 'D'},    {"E:\\", 'E'},  {"z:/", 'Z'},
                        {"\\\\.\\F:", 'F'}, {"D", 0},       {"DD:", 0},     {"1:", 0},
                        {"D:\\x", 0},      {"", 0},        {"/dev/sr0", 0}, {"D:x", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(DriveLetterOfPath(c.path), c.letter);
  }
}

}  // namespace
}  // namespace corvix
