// The ASPI for Win32 transport: WNASPI32.dll, loaded at run time, its
// GetASPI32SupportInfo (ordinal 1) and SendASPI32Command (ordinal 2).
//
// Every command gets a fresh auto-reset event and a zero-filled request block
// (flags 0x48: data in, event notification; sense length 32) and is waited for
// at most 5000 ms. A command still pending then is aborted (SC_ABORT_SRB) and
// given a further kAspiAbortGraceMs to finish. One that still has not finished
// is abandoned: its request block, data buffer and event stay allocated until
// ASPI reports it done (looked at before every later command), because ASPI
// may still write into them; the DLL is then never unloaded. The unit writes
// into a buffer of the transport's own, copied out only on success, so an
// abandoned read never touches the caller's memory.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "media/scsi_transport.h"

namespace corvix {

constexpr uint32_t kAspiAbortGraceMs = 1000;

// Loads dllName and finds both entry points. Null with *error set when the
// DLL or an entry point is missing. The support word is not judged here.
std::unique_ptr<ScsiTransport> OpenAspiTransport(const char* dllName, std::string* error);

// Commands given up on that ASPI has not finished yet (process-wide).
size_t AbandonedAspiCommands();

}  // namespace corvix
