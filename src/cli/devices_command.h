#pragma once

namespace CLI {
class App;
}

namespace corvix::cli {

struct DevicesOptions {
  bool json = false;
};

// Adds "devices" to the app; the options are filled when it is parsed.
CLI::App* AddDevicesCommand(CLI::App& app, DevicesOptions& options);

// Runs "devices": lists the CD-ROM drives the SCSI interface finds, or says
// there are none. Returns the exit status: 0 (also when there are none).
int RunDevices(const DevicesOptions& options);

}  // namespace corvix::cli
