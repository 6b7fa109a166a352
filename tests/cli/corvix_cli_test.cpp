// The corvix program as a user runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

struct CliRun {
  int status;
  std::string output;  // standard output and error together
};

CliRun Corvix(const std::string& arguments) {
  const std::string command = std::string(CORVIX_CLI_PATH) + " " + arguments + " 2>&1 </dev/null";
  CliRun run{-1, {}};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) run.output.append(chunk, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
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
  const CliRun run = Corvix("devices");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "No CD-ROM drives found.\n");
  const CliRun json = Corvix("devices --json");
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.output.find("\"drives\": []"), std::string::npos) << json.output;
}

TEST(CorvixCliTest, ADeviceThatIsNoDriveIsRefused) {
  const CliRun run = Corvix("list /dev/null");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("/dev/null: no CD-ROM drive there"), std::string::npos) << run.output;
}

}  // namespace
