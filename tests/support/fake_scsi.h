// A scripted SCSI transport for tests: records every command and answers
// through a function the test sets (rejecting everything by default).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "media/scsi_device.h"
#include "media/scsi_transport.h"
#include "support/test_disc.h"

namespace corvix::testing {

struct FakeTransport : ScsiTransport {
  struct Sent {
    ScsiAddress address;
    std::vector<uint8_t> cdb;
    uint32_t dataLength;
  };

  uint32_t SupportInfo() override { return 0x0101; }
  ScsiResult Execute(const ScsiCommand& command) override {
    sent.push_back({command.address, {command.cdb, command.cdb + command.cdbLength}, command.dataLength});
    return answer ? answer(command) : ScsiResult{};
  }
  std::string DevicePath(const ScsiAddress&) override { return {}; }
  char DriveLetter(const ScsiAddress& address) override { return address == letterAddress ? letter : 0; }
  bool Locate(const std::string&, ScsiAddress*) override { return false; }
  const char* Name() const override { return "fake"; }

  // The commands whose operation code is op.
  std::vector<Sent> SentWith(uint8_t op) const {
    std::vector<Sent> found;
    for (const Sent& s : sent)
      if (!s.cdb.empty() && s.cdb[0] == op) found.push_back(s);
    return found;
  }

  std::function<ScsiResult(const ScsiCommand&)> answer;
  std::vector<Sent> sent;
  ScsiAddress letterAddress;
  char letter = 0;
};

inline ScsiResult Completed() { return ScsiResult{.outcome = ScsiOutcome::kCompleted}; }

// Check condition with fixed-format sense key/asc/ascq.
inline ScsiResult CheckCondition(uint8_t key, uint8_t asc, uint8_t ascq) {
  return {.outcome = ScsiOutcome::kFailed, .targetStatus = 2,
          .sense = {0x70, 0, key, 0, 0, 0, 0, 10, 0, 0, 0, 0, asc, ascq}};
}

// The fake transport and a message recorder installed; the SCSI state reset
// before and after, and no sector source left.
class ScsiTest : public ::testing::Test {
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
  FakeTransport transport_;
  MessageRecorder recorder_;
};

}  // namespace corvix::testing
