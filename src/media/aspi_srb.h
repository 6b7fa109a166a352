// ASPI for Win32 request blocks, as published (byte-packed), with the values
// this program puts into them. Shared by the ASPI transport and the stand-in
// WNASPI32.dll used in tests; no Windows header is needed.
//
// The field names are ASPI's own. The published layout is that of 32-bit
// Windows: the offsets below hold there and are checked at compile time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace corvix::aspi {

// Commands (SRB_Cmd).
constexpr uint8_t SC_HA_INQUIRY = 0x00;
constexpr uint8_t SC_EXEC_SCSI_CMD = 0x02;
constexpr uint8_t SC_ABORT_SRB = 0x03;

// Request status (SRB_Status), and the status byte of GetASPI32SupportInfo.
constexpr uint8_t SS_PENDING = 0x00;
constexpr uint8_t SS_COMP = 0x01;
constexpr uint8_t SS_ABORTED = 0x02;
constexpr uint8_t SS_ABORT_FAIL = 0x03;
constexpr uint8_t SS_ERR = 0x04;
constexpr uint8_t SS_INVALID_CMD = 0x80;
constexpr uint8_t SS_INVALID_HA = 0x81;
constexpr uint8_t SS_NO_DEVICE = 0x82;

// Request flags (SRB_Flags).
constexpr uint8_t SRB_DIR_IN = 0x08;
constexpr uint8_t SRB_EVENT_NOTIFY = 0x40;

constexpr size_t SENSE_LEN = 14;  // the published sense area holds SENSE_LEN + 2 bytes

#pragma pack(push, 1)

struct SRB_ExecSCSICmd {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint16_t SRB_Rsvd1;
  uint32_t SRB_BufLen;
  uint8_t* SRB_BufPointer;
  uint8_t SRB_SenseLen;
  uint8_t SRB_CDBLen;
  uint8_t SRB_HaStat;
  uint8_t SRB_TargStat;
  void* SRB_PostProc;  // with SRB_EVENT_NOTIFY: the event ASPI signals on completion
  void* SRB_Rsvd2;
  uint8_t SRB_Rsvd3[16];
  uint8_t CDBByte[16];
  uint8_t SenseArea[SENSE_LEN + 2];
};

struct SRB_Abort {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  void* SRB_ToAbort;
};

// What this program submits: the published block followed by room that lets
// the sense area take kScsiSenseBytes (32) bytes, as SRB_SenseLen 32 asks.
struct ExecBlock {
  SRB_ExecSCSICmd srb;
  uint8_t senseTail[32 - (SENSE_LEN + 2)];
};

#pragma pack(pop)

// The published offsets (32-bit Windows).
struct PublishedOffset {
  const char* field;
  size_t offset;
};
constexpr PublishedOffset kExecOffsets32[] = {
    {"SRB_Cmd", 0x00},       {"SRB_Status", 0x01},     {"SRB_HaId", 0x02},
    {"SRB_Flags", 0x03},     {"SRB_Hdr_Rsvd", 0x04},   {"SRB_Target", 0x08},
    {"SRB_Lun", 0x09},       {"SRB_Rsvd1", 0x0A},      {"SRB_BufLen", 0x0C},
    {"SRB_BufPointer", 0x10}, {"SRB_SenseLen", 0x14},  {"SRB_CDBLen", 0x15},
    {"SRB_HaStat", 0x16},    {"SRB_TargStat", 0x17},   {"SRB_PostProc", 0x18},
    {"SRB_Rsvd2", 0x1C},     {"SRB_Rsvd3", 0x20},      {"CDBByte", 0x30},
    {"SenseArea", 0x40},
};
constexpr size_t kExecSize32 = 0x50;
constexpr size_t kAbortSize32 = 0x0C;

// Where each field of SRB_ExecSCSICmd lies in this build, in the order of
// kExecOffsets32.
constexpr size_t kExecOffsets[] = {
    offsetof(SRB_ExecSCSICmd, SRB_Cmd),        offsetof(SRB_ExecSCSICmd, SRB_Status),
    offsetof(SRB_ExecSCSICmd, SRB_HaId),       offsetof(SRB_ExecSCSICmd, SRB_Flags),
    offsetof(SRB_ExecSCSICmd, SRB_Hdr_Rsvd),   offsetof(SRB_ExecSCSICmd, SRB_Target),
    offsetof(SRB_ExecSCSICmd, SRB_Lun),        offsetof(SRB_ExecSCSICmd, SRB_Rsvd1),
    offsetof(SRB_ExecSCSICmd, SRB_BufLen),     offsetof(SRB_ExecSCSICmd, SRB_BufPointer),
    offsetof(SRB_ExecSCSICmd, SRB_SenseLen),   offsetof(SRB_ExecSCSICmd, SRB_CDBLen),
    offsetof(SRB_ExecSCSICmd, SRB_HaStat),     offsetof(SRB_ExecSCSICmd, SRB_TargStat),
    offsetof(SRB_ExecSCSICmd, SRB_PostProc),   offsetof(SRB_ExecSCSICmd, SRB_Rsvd2),
    offsetof(SRB_ExecSCSICmd, SRB_Rsvd3),      offsetof(SRB_ExecSCSICmd, CDBByte),
    offsetof(SRB_ExecSCSICmd, SenseArea),
};
static_assert(std::size(kExecOffsets) == std::size(kExecOffsets32));

constexpr bool MatchesPublishedLayout() {
  for (size_t i = 0; i < std::size(kExecOffsets); ++i) {
    if (kExecOffsets[i] != kExecOffsets32[i].offset) return false;
  }
  return sizeof(SRB_ExecSCSICmd) == kExecSize32 && sizeof(SRB_Abort) == kAbortSize32 &&
         offsetof(SRB_Abort, SRB_ToAbort) == 0x08 &&
         offsetof(ExecBlock, senseTail) == kExecSize32;
}

// 32-bit Windows is where ASPI lives; a 64-bit build (used to run the tests
// where 32-bit code can't run) keeps the same field order with wider pointers.
static_assert(sizeof(void*) != 4 || MatchesPublishedLayout(),
              "SRB_ExecSCSICmd must match the published ASPI for Win32 layout");

}  // namespace corvix::aspi
