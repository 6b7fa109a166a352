#include "cli/devices_command.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "media/cdrom_drives.h"
#include "media/scsi_device.h"

namespace corvix::cli {
namespace {

struct FoundDrive {
  ScsiDevice device;
  std::string path;  // "/dev/sr0", "D:"; the letter where the system gave one
};

std::string Trimmed(const char* text) {
  std::string s = text;
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Every CD-ROM drive of the interface, with the name the system shows it by.
std::vector<FoundDrive> FindDrives(ScsiTransport& transport) {
  SetScsiTransport(&transport);
  ReadScsiSupportInfo();
  ScsiDevice* list = nullptr;
  ScanScsiDevices(&list);
  std::vector<FoundDrive> drives;
  for (const ScsiDevice* d = list; d != nullptr; d = d->next) {
    FoundDrive found{*d, transport.DevicePath({d->hostAdapter, d->target, d->lun})};
    found.device.next = nullptr;
    // The same lookup as choosing the drive in the window: registry first.
    CurrentDriveLetter = 0;
    MakeDeviceCurrent(*d);
    if (CurrentDriveLetter != 0) found.path = std::string(1, CurrentDriveLetter) + ":";
    drives.push_back(found);
  }
  FreeScsiDeviceList(list);
  SetScsiTransport(nullptr);
  ResetScsiState();
  return drives;
}

}  // namespace

CLI::App* AddDevicesCommand(CLI::App& app, DevicesOptions& options) {
  CLI::App* devices = app.add_subcommand("devices", "List the CD-ROM drives that can be read");
  devices->add_flag("--json", options.json, "Print the drives as one JSON document");
  return devices;
}

int RunDevices(const DevicesOptions& options) {
  std::string error;
  std::unique_ptr<ScsiTransport> transport = OpenPlatformScsiTransport(&error);
  std::vector<FoundDrive> drives;
  std::vector<std::string> problems;
  if (transport) {
    drives = FindDrives(*transport);
    problems = transport->Problems();
  }

  if (options.json) {
    nlohmann::json list = nlohmann::json::array();
    for (const FoundDrive& d : drives) {
      list.push_back({{"hostAdapter", d.device.hostAdapter},
                      {"target", d.device.target},
                      {"lun", d.device.lun},
                      {"vendor", Trimmed(d.device.vendor)},
                      {"product", Trimmed(d.device.product)},
                      {"revision", Trimmed(d.device.revision)},
                      {"device", d.path}});
    }
    std::cout << nlohmann::json{{"interface", transport ? transport->Name() : ""},
                                {"drives", std::move(list)},
                                {"problems", problems}}
                     .dump(2)
              << '\n';
    return 0;
  }
  // Devices that could not be opened may be drives the user lacks rights to.
  for (const std::string& problem : problems) std::fprintf(stderr, "corvix: %s\n", problem.c_str());
  if (drives.empty()) {
    std::printf("No CD-ROM drives found%s%s.\n", transport ? "" : ": ",
                transport ? "" : error.c_str());
    return 0;
  }
  std::printf("%-8s  %-8s  %-16s  %-4s  %s\n", "ADDRESS", "VENDOR", "PRODUCT", "REV", "DEVICE");
  for (const FoundDrive& d : drives) {
    const std::string address = std::to_string(d.device.hostAdapter) + ":" +
                                std::to_string(d.device.target) + ":" + std::to_string(d.device.lun);
    std::printf("%-8s  %-8s  %-16s  %-4s  %s\n", address.c_str(), d.device.vendor, d.device.product,
                d.device.revision, d.path.empty() ? "-" : d.path.c_str());
  }
  return 0;
}

}  // namespace corvix::cli
