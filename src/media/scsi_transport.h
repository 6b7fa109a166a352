// The SCSI transport seam: how one command reaches a drive.
//
// The command layer (scsi_device.h) builds the command descriptor blocks and
// decides what the answers mean; a transport only carries one command to the
// unit at (host adapter, target, LUN) and brings back its status, sense and
// data. Transports: ASPI for Win32 (WNASPI32.dll), Windows SCSI pass-through,
// Linux SG_IO, and fakes in tests. One is current at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvix {

constexpr uint32_t kScsiSenseBytes = 32;     // sense room asked of every transport
constexpr uint32_t kScsiTimeoutMs = 5000;    // longest wait for one command
constexpr uint8_t kNoAddress = 255;          // adapter, target and LUN before a drive is chosen

struct ScsiAddress {
  uint8_t hostAdapter = kNoAddress;
  uint8_t target = kNoAddress;
  uint8_t lun = kNoAddress;
  bool operator==(const ScsiAddress&) const = default;
};

// One command. Data, when there is any, moves from the unit into data
// (dataLength bytes); the transport writes nothing beyond dataLength.
struct ScsiCommand {
  ScsiAddress address;
  uint8_t cdb[16] = {};
  uint8_t cdbLength = 0;
  uint8_t* data = nullptr;
  uint32_t dataLength = 0;
};

enum class ScsiOutcome : uint8_t {
  kCompleted,  // completed without error; the data arrived
  kFailed,     // completed with an error: targetStatus and sense say why
  kRejected,   // never carried out: no such unit, the interface refused it
  kNoEvent,    // the completion event could not be created; nothing was sent
  kTimedOut,   // no answer within kScsiTimeoutMs; the command was given up
};

struct ScsiResult {
  ScsiOutcome outcome = ScsiOutcome::kRejected;
  uint8_t targetStatus = 0;             // SCSI status byte (2 = check condition)
  uint8_t sense[kScsiSenseBytes] = {};  // sense data as the unit returned it, else zeros
  uint32_t residual = 0;                // data bytes asked for but not delivered, when known
};

class ScsiTransport {
 public:
  virtual ~ScsiTransport() = default;

  // The interface's support word in ASPI's form: status in bits 8-15 (1 when
  // the interface works), number of host adapters in bits 0-7.
  virtual uint32_t SupportInfo() = 0;

  // Carries out command, waiting at most kScsiTimeoutMs for it.
  virtual ScsiResult Execute(const ScsiCommand& command) = 0;

  // Where the operating system shows the unit: "/dev/sr0", "D:", or "" when
  // the transport does not know.
  virtual std::string DevicePath(const ScsiAddress& address) = 0;

  // The drive letter the system gave the unit, or 0 when the transport can't
  // tell (ASPI: the registry or a match through pass-through answers that).
  virtual char DriveLetter(const ScsiAddress& address) = 0;

  // Finds the unit the system names by path ("/dev/sr0", "/dev/sg1", "D:"),
  // opening what is needed to reach it. False when path names no unit this
  // transport can reach.
  virtual bool Locate(const std::string& path, ScsiAddress* address) = 0;

  // A short name for messages: "ASPI", "SCSI pass-through", "SG_IO".
  virtual const char* Name() const = 0;

  // Devices the transport found but could not use, each with the reason
  // ("/dev/sr0: Permission denied"), for messages.
  virtual std::vector<std::string> Problems() { return {}; }
};

// The transport every SCSI command goes through; none until a front end sets
// one (every command is then rejected). Not owned.
void SetScsiTransport(ScsiTransport* transport);
ScsiTransport* CurrentScsiTransport();

// Opens this platform's transport: ASPI when WNASPI32.dll is present and
// reports a host adapter, else SCSI pass-through (Windows); SG_IO (Linux).
// Returns null with *error set when the system offers none.
std::unique_ptr<ScsiTransport> OpenPlatformScsiTransport(std::string* error);

// True when path names a device of this platform rather than an image file:
// a block or character device file on Linux ("/dev/sr0"), a drive letter
// ("D:", "d:\") on Windows.
bool LooksLikeDevicePath(const std::string& path);

// The drive letter a Windows device path names, upper case: "D:", "d:\",
// "\\.\D:" give 'D'. 0 for anything else.
char DriveLetterOfPath(const std::string& path);

}  // namespace corvix
