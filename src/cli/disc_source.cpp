#include "cli/disc_source.h"

#include <cstdlib>
#include <cstring>

#include "media/cdrom_drives.h"
#include "media/disc_image.h"
#include "media/read_trace.h"
#include "media/scsi_device.h"

namespace corvix::cli {
namespace {

// A drive as the current source: owns the transport that reaches it and
// leaves the SCSI state as it found it.
class DriveSource : public ScsiSectorSource {
 public:
  explicit DriveSource(std::unique_ptr<ScsiTransport> transport) : transport_(std::move(transport)) {
    SetScsiTransport(transport_.get());
  }
  ~DriveSource() override {
    if (CurrentSectorSource() == this) SetSectorSource(nullptr);
    if (CurrentScsiTransport() == transport_.get()) SetScsiTransport(nullptr);
    ResetScsiState();
  }

 private:
  std::unique_ptr<ScsiTransport> transport_;
};

std::unique_ptr<SectorSource> OpenDrive(const std::string& path, std::string* error) {
  std::unique_ptr<ScsiTransport> transport = OpenPlatformScsiTransport(error);
  if (!transport) return nullptr;
  ScsiAddress address;
  if (!transport->Locate(path, &address)) {
    *error = path + ": no CD-ROM drive there that " + transport->Name() + " can reach";
    for (const std::string& problem : transport->Problems()) *error += " (" + problem + ")";
    return nullptr;
  }
  const char* name = transport->Name();
  auto drive = std::make_unique<DriveSource>(std::move(transport));
  ReadScsiSupportInfo();
  if (!ScsiInquiry(address.hostAdapter, address.target, address.lun)) {
    *error = path + ": not a CD-ROM drive (it does not answer as one through " + name + ")";
    return nullptr;
  }
  ScsiDevice device{};
  std::memcpy(device.vendor, LastInquiry.vendor, sizeof device.vendor);
  std::memcpy(device.product, LastInquiry.product, sizeof device.product);
  std::memcpy(device.revision, LastInquiry.revision, sizeof device.revision);
  device.hostAdapter = address.hostAdapter;
  device.target = address.target;
  device.lun = address.lun;
  MakeDeviceCurrent(device);
  return drive;
}

}  // namespace

std::unique_ptr<SectorSource> OpenDiscSource(const std::string& path, std::string* error) {
  std::unique_ptr<SectorSource> source;
  if (LooksLikeDevicePath(path)) {
    source = OpenDrive(path, error);
  } else {
    source = DiscImage::Open(path, error);
  }
  // For measuring: every command given to the source, written to a file.
  if (const char* trace = std::getenv("CORVIX_READ_TRACE"); source && trace != nullptr && *trace != '\0') {
    auto tracing = TracingSource::Open(std::move(source), trace);
    if (!tracing) {
      *error = std::string(trace) + ": can't write the read trace";
      return nullptr;
    }
    source = std::move(tracing);
  }
  if (source) SetSectorSource(source.get());
  return source;
}

}  // namespace corvix::cli
