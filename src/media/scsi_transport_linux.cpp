// SCSI commands on Linux: SG_IO on /dev/sr* and /dev/sg*.
#include <dirent.h>
#include <fcntl.h>
#include <scsi/scsi.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>

#include "media/sg_io_transport.h"

namespace corvix {
namespace {

constexpr uint8_t kHostTimedOut = 0x03;    // DID_TIME_OUT
constexpr uint8_t kDriverTimedOut = 0x06;  // DRIVER_TIMEOUT, low nibble of driver_status

struct Unit {
  std::string path;
  int fd;
  ScsiAddress address;
};

class LinuxSgIoSystem : public SgIoSystem {
 public:
  std::vector<std::string> CandidatePaths() override {
    std::vector<std::string> paths = Numbered("sr");
    std::vector<std::string> generic = Numbered("sg");
    paths.insert(paths.end(), generic.begin(), generic.end());
    return paths;
  }
  std::string Canonical(const std::string& path) override {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
  }
  int Open(const std::string& path, std::string* why) override {
    // Read-write lets an unprivileged user lock the tray; reading is enough
    // for everything else.
    int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) *why = std::strerror(errno);
    return fd;
  }
  void Close(int fd) override { close(fd); }
  int Ioctl(int fd, unsigned long request, void* argument) override {
    return ioctl(fd, request, argument);
  }

 private:
  // "/dev/<prefix>N" for every such entry of /dev, by N.
  static std::vector<std::string> Numbered(const char* prefix) {
    std::vector<std::pair<unsigned long, std::string>> found;
    DIR* dir = opendir("/dev");
    if (dir == nullptr) return {};
    const size_t prefixLength = std::strlen(prefix);
    while (const dirent* entry = readdir(dir)) {
      const char* name = entry->d_name;
      if (std::strncmp(name, prefix, prefixLength) != 0) continue;
      const char* digits = name + prefixLength;
      if (*digits == '\0' || std::strspn(digits, "0123456789") != std::strlen(digits)) continue;
      found.emplace_back(std::strtoul(digits, nullptr, 10), std::string("/dev/") + name);
    }
    closedir(dir);
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto& [number, path] : found) paths.push_back(std::move(path));
    return paths;
  }
};

class SgIoTransport : public ScsiTransport {
 public:
  explicit SgIoTransport(std::unique_ptr<SgIoSystem> system) : system_(std::move(system)) {}
  ~SgIoTransport() override {
    for (const Unit& unit : units_) system_->Close(unit.fd);
  }

  uint32_t SupportInfo() override {
    FindUnits();
    unsigned adapters = 1;  // the interface is there even without a drive
    for (const Unit& unit : units_) adapters = std::max(adapters, unit.address.hostAdapter + 1u);
    return 0x0100u | std::min(adapters, 255u);
  }

  ScsiResult Execute(const ScsiCommand& command) override {
    FindUnits();
    ScsiResult result;
    const Unit* unit = Find(command.address);
    if (unit == nullptr || command.cdbLength == 0 || command.cdbLength > sizeof command.cdb) {
      return result;
    }
    uint8_t cdb[sizeof command.cdb];
    std::memcpy(cdb, command.cdb, sizeof cdb);
    uint8_t sense[kScsiSenseBytes] = {};
    sg_io_hdr_t header{};
    header.interface_id = 'S';
    header.dxfer_direction = command.dataLength > 0 ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
    header.cmd_len = command.cdbLength;
    header.mx_sb_len = sizeof sense;
    header.dxfer_len = command.dataLength;
    header.dxferp = command.dataLength > 0 ? command.data : nullptr;
    header.cmdp = cdb;
    header.sbp = sense;
    header.timeout = kScsiTimeoutMs;
    if (system_->Ioctl(unit->fd, SG_IO, &header) < 0) return result;

    if (header.host_status == kHostTimedOut || (header.driver_status & 0x0F) == kDriverTimedOut) {
      result.outcome = ScsiOutcome::kTimedOut;
      return result;
    }
    if (header.resid > 0) {
      result.residual = std::min<uint32_t>(static_cast<uint32_t>(header.resid), command.dataLength);
    }
    if (header.status == 0 && header.host_status == 0 && (header.driver_status & 0x0F) == 0) {
      result.outcome = ScsiOutcome::kCompleted;
      return result;
    }
    result.outcome = ScsiOutcome::kFailed;
    result.targetStatus = header.status;
    const size_t senseBytes = std::min<size_t>(header.sb_len_wr, sizeof sense);
    std::memcpy(result.sense, sense, senseBytes);
    return result;
  }

  std::string DevicePath(const ScsiAddress& address) override {
    FindUnits();
    const Unit* unit = Find(address);
    return unit != nullptr ? unit->path : std::string();
  }

  char DriveLetter(const ScsiAddress&) override { return 0; }

  bool Locate(const std::string& path, ScsiAddress* address) override {
    FindUnits();
    const auto alias = aliases_.find(system_->Canonical(path));
    if (alias == aliases_.end()) return false;
    *address = alias->second;
    return true;
  }

  const char* Name() const override { return "SG_IO"; }

  std::vector<std::string> Problems() override {
    FindUnits();
    return problems_;
  }

 private:
  const Unit* Find(const ScsiAddress& address) const {
    for (const Unit& unit : units_) {
      if (unit.address == address) return &unit;
    }
    return nullptr;
  }

  // The unit's address, or false when the device answers neither query.
  // A /dev/sg* unit of another device type than CD-ROM is not wanted.
  bool QueryAddress(int fd, ScsiAddress* address) {
    sg_scsi_id id{};
    if (system_->Ioctl(fd, SG_GET_SCSI_ID, &id) == 0) {
      if (id.scsi_type != 5) return false;
      if (id.host_no < 0 || id.host_no > 254 || id.scsi_id < 0 || id.scsi_id > 254 || id.lun < 0 ||
          id.lun > 254) {
        return false;
      }
      *address = {static_cast<uint8_t>(id.host_no), static_cast<uint8_t>(id.scsi_id),
                  static_cast<uint8_t>(id.lun)};
      return true;
    }
    // The block driver of /dev/sr* answers only the older query: id in
    // bits 0-7, LUN in 8-15, channel in 16-23, host in 24-31.
    int idLun[2] = {};
    if (system_->Ioctl(fd, SCSI_IOCTL_GET_IDLUN, idLun) != 0) return false;
    const auto word = static_cast<uint32_t>(idLun[0]);
    const auto host = static_cast<uint8_t>(word >> 24);
    const auto target = static_cast<uint8_t>(word);
    const auto lun = static_cast<uint8_t>(word >> 8);
    if (host == kNoAddress || target == kNoAddress || lun == kNoAddress) return false;
    *address = {host, target, lun};
    return true;
  }

  void FindUnits() {
    if (searched_) return;
    searched_ = true;
    for (const std::string& path : system_->CandidatePaths()) {
      std::string why;
      const int fd = system_->Open(path, &why);
      if (fd < 0) {
        // Every /dev/sr* is a CD-ROM drive; a /dev/sg* that can't be opened
        // is most often a disk, not worth a word.
        if (path.rfind("/dev/sr", 0) == 0) problems_.push_back(path + ": " + why);
        continue;
      }
      ScsiAddress address;
      const bool wanted = QueryAddress(fd, &address);
      if (!wanted || Find(address) != nullptr) system_->Close(fd);
      if (!wanted) continue;
      aliases_.emplace(system_->Canonical(path), address);
      if (Find(address) == nullptr) units_.push_back({path, fd, address});
    }
  }

  std::unique_ptr<SgIoSystem> system_;
  std::vector<Unit> units_;
  std::map<std::string, ScsiAddress> aliases_;  // every name of every unit
  std::vector<std::string> problems_;
  bool searched_ = false;
};

}  // namespace

std::unique_ptr<SgIoSystem> MakeLinuxSgIoSystem() { return std::make_unique<LinuxSgIoSystem>(); }

std::unique_ptr<ScsiTransport> MakeSgIoTransport(std::unique_ptr<SgIoSystem> system) {
  return std::make_unique<SgIoTransport>(std::move(system));
}

std::unique_ptr<ScsiTransport> OpenPlatformScsiTransport(std::string*) {
  return MakeSgIoTransport(MakeLinuxSgIoSystem());
}

bool LooksLikeDevicePath(const std::string& path) {
  // A block or character device: an image file that happens to lie below
  // /dev (in /dev/shm, say) is still read as an image.
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && (S_ISBLK(info.st_mode) || S_ISCHR(info.st_mode));
}

}  // namespace corvix
