// Reads an arbitrary disc, given as 2048-byte sectors in memory, the way the
// browser does: partitions, volume tables, directories, program summaries
// and sample headers. Half the inputs (first byte even) get the check words
// put in place, so that they reach the tables.
#include <cstdint>

#include "fuzz_source.h"
#include "media/akai_disk.h"
#include "media/disc_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static corvix::fuzz::QuietMessages quiet;
  static const bool quietSet = [] {
    corvix::SetUserMessages(&quiet);
    return true;
  }();
  (void)quietSet;
  corvix::fuzz::FuzzSource source(data, size, size > 0 && (data[0] & 1) == 0);
  corvix::SetSectorSource(&source);
  corvix::ResetAkaiDisk();
  corvix::ListDisc();
  corvix::SetSectorSource(nullptr);
  return 0;
}
