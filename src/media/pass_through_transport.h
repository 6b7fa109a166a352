// The Windows SCSI pass-through transport: IOCTL_SCSI_PASS_THROUGH_DIRECT on
// "\\.\X:" for every CD-ROM drive letter, for systems of the NT family that
// have no ASPI. Its system calls sit behind a seam so that the request it
// builds can be tested with a fake.
//
// Units are addressed by the port, target and LUN that IOCTL_SCSI_GET_ADDRESS
// gives each drive; a drive that gives none is put on an adapter number after
// the last real one. The drive letter of every unit is known directly.
#pragma once

#include <cstdint>
#include <memory>

#include "media/scsi_transport.h"

namespace corvix {

class PassThroughSystem {
 public:
  virtual ~PassThroughSystem() = default;
  // Bit n set: drive letter 'A' + n exists.
  virtual uint32_t LogicalDrives() = 0;
  virtual bool IsCdrom(char letter) = 0;
  // Opens "\\.\X:"; null when it can't be opened.
  virtual void* Open(char letter) = 0;
  virtual void Close(void* handle) = 0;
  // As DeviceIoControl: false on failure.
  virtual bool Control(void* handle, uint32_t code, void* in, uint32_t inBytes, void* out,
                       uint32_t outBytes, uint32_t* returned) = 0;
};

// The real calls (GetLogicalDrives, GetDriveTypeA, CreateFileA,
// DeviceIoControl).
std::unique_ptr<PassThroughSystem> MakeWin32PassThroughSystem();

// A transport over system; it finds its drives on first use and keeps their
// handles open until it is destroyed.
std::unique_ptr<ScsiTransport> MakePassThroughTransport(std::unique_ptr<PassThroughSystem> system);

}  // namespace corvix
