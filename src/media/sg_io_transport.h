// The Linux SG_IO transport, with its system calls behind a seam so that the
// request it builds and its reading of the answer can be tested with a fake.
//
// Units are the CD-ROM devices among /dev/sr* and /dev/sg* (a /dev/sg* unit
// must report device type 5); a unit reachable by both names is kept once,
// under its /dev/sr* name. Host adapter, target and LUN are the kernel's host
// number, SCSI id and LUN (SG_GET_SCSI_ID, or SCSI_IOCTL_GET_IDLUN for
// /dev/sr*). Every command carries a 5-second timeout.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/scsi_transport.h"

namespace corvix {

class SgIoSystem {
 public:
  virtual ~SgIoSystem() = default;
  // Device files that may be CD-ROM units: /dev/sr* first, then /dev/sg*.
  virtual std::vector<std::string> CandidatePaths() = 0;
  // The path with symbolic links resolved ("/dev/cdrom" -> "/dev/sr0"); the
  // path itself when it can't be resolved.
  virtual std::string Canonical(const std::string& path) = 0;
  // A file descriptor for path, or -1 with *why set to the reason.
  virtual int Open(const std::string& path, std::string* why) = 0;
  virtual void Close(int fd) = 0;
  // As ioctl(2): -1 on failure.
  virtual int Ioctl(int fd, unsigned long request, void* argument) = 0;
};

// The real system calls.
std::unique_ptr<SgIoSystem> MakeLinuxSgIoSystem();

// A transport over system; it finds its units on first use and keeps their
// files open until it is destroyed.
std::unique_ptr<ScsiTransport> MakeSgIoTransport(std::unique_ptr<SgIoSystem> system);

}  // namespace corvix
