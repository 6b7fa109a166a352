// The heap under the command line.
#pragma once

namespace corvix::cli {

// Lets freed working buffers be reused by the next file of a job. The
// writers allocate buffers of 128 to 512 KiB per file and free them when the
// file is done; a C library that maps such blocks anew for every file (and
// hands them back on free) makes every file pay for fresh, zeroed pages.
// Called once, at start-up (one implementation per platform).
void KeepFreedBuffersForReuse();

}  // namespace corvix::cli
