// The corvix program as a user runs it, on the drives of this machine.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/run_command.h"

namespace corvix {
namespace {

using testing::RunCommand;

testing::CommandResult Corvix(const std::string& arguments) {
  return RunCommand(std::string(CORVIX_CLI_PATH) + " " + arguments + " </dev/null");
}

bool MachineHasCdromDevices() {
  for (const auto& entry : std::filesystem::directory_iterator("/dev")) {
    const std::string name = entry.path().filename();
    if (name.rfind("sr", 0) == 0 || name.rfind("sg", 0) == 0) return true;
  }
  return false;
}

TEST(CorvixCliTest, DevicesWithoutDrivesSaysSoAndSucceeds) {
  if (MachineHasCdromDevices()) GTEST_SKIP() << "this machine has SCSI devices";
  const auto run = Corvix("devices");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out + run.err, "No CD-ROM drives found.\n");
  const auto json = Corvix("devices --json");
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_NE(json.out.find("\"drives\": []"), std::string::npos) << json.out;
}

TEST(CorvixCliTest, ADeviceThatIsNoDriveIsRefused) {
  const auto run = Corvix("list /dev/null");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("/dev/null: no CD-ROM drive there"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace corvix
