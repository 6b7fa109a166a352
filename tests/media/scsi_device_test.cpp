#include "media/scsi_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "support/fake_scsi.h"

namespace corvix {
namespace {

using testing::CheckCondition;
using testing::Completed;
using Bytes = std::vector<uint8_t>;

// The command bytes and the common answers are checked as they cross each
// transport (support/scsi_conformance.h); here what the answers mean to the
// program.
using ScsiDeviceTest = testing::ScsiTest;

// A read asks for the whole sectors that fit the caller's buffer, and
// delivers them. (That a failure or a short transfer leaves the caller's
// bytes, even when the drive wrote into the data before failing, is checked
// through each transport with the shared answers.)
TEST_F(ScsiDeviceTest, ReadAsksForTheWholeSectorsThatFit) {
  constexpr uint32_t S = kSectorBytes;
  // asked: sectors the command asks for (0: no command), and delivers.
  struct Case { const char* name; uint16_t count; uint32_t size; bool ok; uint16_t asked; };
  const Case cases[] = {
      {"all fit", 4, 4 * S, true, 4},
      {"buffer holds three sectors and a bit", 4, 3 * S + 100, false, 3},
      {"buffer smaller than a sector", 1, 100, false, 0},
      {"no sectors asked", 0, 0, true, 0},
  };
  CurrentDevice = {1, 2, 0};
  transport_.answer = [](const ScsiCommand& command) {
    std::memset(command.data, 0x5A, command.dataLength);
    return Completed();
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    transport_.sent.clear();
    Bytes buffer(std::max(c.size, 1u), 0), expected(buffer.size(), 0);
    EXPECT_EQ(ScsiReadSectors(16, c.count, buffer.data(), c.size), c.ok);
    std::fill_n(expected.begin(), c.asked * S, 0x5A);
    EXPECT_EQ(buffer, expected);
    ASSERT_EQ(transport_.sent.size(), c.asked > 0 ? 1u : 0u);
    if (c.asked > 0) {
      EXPECT_EQ(transport_.sent[0].cdb[8], c.asked);
      EXPECT_EQ(transport_.sent[0].dataLength, c.asked * S);
      EXPECT_TRUE(transport_.sent[0].address == (ScsiAddress{1, 2, 0}));
    }
  }
  EXPECT_TRUE(recorder_.messages.empty());
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
      if (c.cdb[0] != 0x00 || readiness_.empty()) return Completed();
      const ScsiResult next = readiness_.front();
      readiness_.erase(readiness_.begin());
      return next;
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
  const ScsiResult notReady_ = CheckCondition(2, 4, 1), changed_ = CheckCondition(6, 0x28, 0);
};

// A reading command first makes sure the medium is ready (asking Retry or
// Cancel while it is not), then holds the tray locked while it reads and
// unlocks it on every way out.
TEST_F(MediumTest, ReadinessQuestionAndTrayLock) {
  struct Case { const char* name; std::vector<ScsiResult> readiness; std::vector<int> answers; int readAnswer;
                int expected, questions, refreshes; };
  const Case cases[] = {
      {"retried until ready", {notReady_, notReady_, CheckCondition(2, 0x3A, 0)}, {kIdRetry, kIdRetry, kIdRetry}, 1,
       1, 3, 0},
      {"cancel", {notReady_}, {kIdCancel}, 1, 0, 1, 0},
      {"retry then cancel", {notReady_, notReady_}, {kIdRetry, kIdCancel}, 1, 0, 2, 0},
      {"a closed box goes on, flag bits above the sense key", {CheckCondition(0x82, 4, 1)}, {kIdOk}, 1, 1, 1, 0},
      {"unit attention refreshes once", {changed_}, {}, 1, 1, 0, 1},
      {"not ready then changed", {notReady_, changed_}, {kIdRetry}, 1, 1, 1, 1},
      {"other sense keys go on", {CheckCondition(3, 0x11, 0)}, {}, 1, 1, 0, 0},
      {"ready, the read fails", {}, {}, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    readiness_ = c.readiness;
    recorder_.messages.clear();
    recorder_.refreshes = 0;
    recorder_.script = c.answers;
    transport_.sent.clear();
    std::vector<int> trayDuringRead = {-1};  // stays when the read never runs
    EXPECT_EQ(ReadWithLockedMedium([&] {
                trayDuringRead = TrayCommands();
                return c.readAnswer;
              }),
              c.expected);
    const bool cancelled = !c.answers.empty() && c.answers.back() == kIdCancel;
    EXPECT_EQ(TrayCommands(), (cancelled ? std::vector<int>{} : std::vector<int>{1, 0}));
    EXPECT_EQ(trayDuringRead, std::vector<int>{cancelled ? -1 : 1});
    EXPECT_EQ(recorder_.messages.size(), static_cast<size_t>(c.questions));
    EXPECT_EQ(recorder_.refreshes, c.refreshes);
    // Every Retry tests the unit again.
    EXPECT_EQ(transport_.SentWith(0x00).size(), static_cast<size_t>(std::ranges::count(c.answers, kIdRetry)) + 1);
    for (const auto& m : recorder_.messages) {
      EXPECT_EQ(m.text + "|" + m.caption, "E:\\ is not accessible\n\nThe device is not ready|Veltrex Corvix");
      EXPECT_EQ(m.style, kMbRetryCancel | kMbIconStop);
    }
  }
  // A reading that leaves early unlocks too, at the drive it locked.
  transport_.sent.clear();
  { MediumLock lock; }
  EXPECT_EQ(TrayCommands(), (std::vector<int>{1, 0}));
  for (const auto& s : transport_.sent) EXPECT_TRUE(s.address == (ScsiAddress{0, 1, 0}));
}

TEST(DevicePathTest, DriveLettersOfWindowsPaths) {
  const std::pair<const char*, char> cases[] = {
      {"D:", 'D'}, {"a:", 'A'}, {"E:\\", 'E'}, {"z:/", 'Z'}, {"\\\\.\\F:", 'F'}, {"D", 0},
      {"DD:", 0},  {"1:", 0},   {"D:\\x", 0},  {"", 0},      {"/dev/sr0", 0},    {"D:x", 0}};
  for (const auto& [path, letter] : cases) EXPECT_EQ(DriveLetterOfPath(path), letter) << path;
}

}  // namespace
}  // namespace corvix
