// SCSI commands to the CD-ROM drive: INQUIRY, READ(10), TEST UNIT READY and
// PREVENT ALLOW MEDIUM REMOVAL, the scan for CD-ROM units, and the drive as a
// sector source.
//
// Every command goes through the current ScsiTransport (scsi_transport.h) and,
// apart from the scan, to CurrentDevice. A command that the transport rejects
// or that completes with an error is not reported: reads leave the caller's
// zeros, an INQUIRY answers 0, TEST UNIT READY returns the sense it got.
#pragma once

#include <cstdint>

#include "media/scsi_transport.h"
#include "media/sector_source.h"

namespace corvix {

constexpr uint8_t kPeripheralCdrom = 5;   // INQUIRY byte 0, bits 0-4
constexpr uint32_t kInquiryBytes = 96;    // allocation length of our INQUIRY
constexpr uint8_t kSenseNoSense = 0;
constexpr uint16_t kNoDriveIndex = 0xFFFF;  // CurrentDriveIndex before a letter is known

// The unit every command is addressed to; 255/255/255 until a drive is chosen.
extern ScsiAddress CurrentDevice;
// The drive letter the system gave CurrentDevice ('A'-'Z'), 0 while unknown.
extern char CurrentDriveLetter;
// CurrentDriveLetter - 'A'; kNoDriveIndex while no letter is known.
extern uint16_t CurrentDriveIndex;
// Host adapters of the interface: the low byte of its support word.
extern uint8_t HostAdapterCount;

// What the last INQUIRY answered (overwritten by each ScsiInquiry). Texts are
// the unit's bytes as sent, space padded, each with a terminator.
struct InquiryData {
  uint8_t deviceType;  // byte 0 & 0x1F; 0 when the last INQUIRY failed
  char vendor[9];      // bytes 8-15
  char product[17];    // bytes 16-31
  char revision[5];    // bytes 32-35
};
extern InquiryData LastInquiry;

// One CD-ROM unit found by ScanScsiDevices; a singly linked list.
struct ScsiDevice {
  char vendor[9];
  char product[17];
  char revision[5];
  uint8_t lun;
  uint8_t target;
  uint8_t hostAdapter;
  ScsiDevice* next;
};

// Clears CurrentDevice, the drive letter and index, HostAdapterCount and
// LastInquiry; for tests and a fresh start.
void ResetScsiState();

// Asks the current transport for its support word (status in bits 8-15, 1 =
// working; host adapters in bits 0-7) and keeps the adapter count in
// HostAdapterCount. 0 when no transport is set.
uint32_t ReadScsiSupportInfo();

// The command descriptor blocks, byte for byte.
void BuildInquiryCdb(uint8_t cdb[6]);
void BuildRead10Cdb(uint8_t lun, uint32_t lba, uint16_t count, uint8_t cdb[10]);
void BuildTestUnitReadyCdb(uint8_t lun, uint8_t cdb[6]);
void BuildPreventAllowCdb(uint8_t lun, bool prevent, uint8_t cdb[6]);

// 1 when the unit answered and is a CD-ROM device (type 5 in bits 0-4 of byte
// 0, whatever its peripheral qualifier), else 0. A completed INQUIRY is kept
// in LastInquiry; otherwise LastInquiry's type becomes 0.
int ScsiInquiry(uint8_t hostAdapter, uint8_t target, uint8_t lun);

// READ(10) of count 2048-byte sectors from lba on CurrentDevice into buffer
// (size bytes, zero-filled by the caller). Only whole sectors that fit in size
// are asked for. False when not every sector asked for arrived.
bool ScsiReadSectors(uint32_t lba, uint16_t count, uint8_t* buffer, uint32_t size);

// The unit's readiness: target status in bits 24-31, sense key (sense byte 2
// & 0x0F) in 16-23, additional sense code in 8-15, its qualifier in 0-7.
// Zero when the transport rejected the command (reads as a ready unit).
uint32_t ScsiTestUnitReady(uint8_t hostAdapter, uint8_t target, uint8_t lun);

// Locks (prevent 1) or unlocks (0) the medium. 1, or 0 when the command could
// not be issued at all ("Couldn't Create Event").
int ScsiPreventAllowRemoval(uint8_t hostAdapter, uint8_t target, uint8_t lun, uint8_t prevent);

// Scans every host adapter below HostAdapterCount, targets 0-7 and LUNs 0-7
// (LUN innermost) and appends a ScsiDevice for each CD-ROM unit, in that
// order. *head receives the list (null when empty); the caller owns it and
// releases it with FreeScsiDeviceList. Returns 1, or 0 when out of memory
// (the devices found so far are kept).
int ScanScsiDevices(ScsiDevice** head);
void FreeScsiDeviceList(ScsiDevice* head);

// The CurrentDevice as a sector source: READ(10) for reads, TEST UNIT READY
// and PREVENT ALLOW MEDIUM REMOVAL for readiness and the tray lock.
class ScsiSectorSource : public SectorSource {
 public:
  bool ReadSectors(uint32_t lba, uint16_t count, uint8_t* buffer, uint32_t size) override;
  std::string Describe() const override;
  // "E:\\" when the system gave the drive a letter.
  std::string DriveName() const override;
  uint32_t TestUnitReady() override;
  bool PreventAllowRemoval(bool prevent) override;
};

}  // namespace corvix
