// The heap under the command line: the GNU C library's allocator tuned so
// that the writers' working buffers stay in the heap between files.
#include "cli/heap.h"

#include <cstdlib>  // defines __GLIBC__ where the library is the GNU one

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace corvix::cli {

void KeepFreedBuffersForReuse() {
#if defined(__GLIBC__)
  // Blocks up to 4 MiB come from the heap rather than from maps of their
  // own, the heap grows 4 MiB at a time, and up to 16 MiB of free heap is
  // kept rather than given back. Pages count as resident only once written,
  // so the peak is what the buffers needed at their largest.
  mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
  mallopt(M_TOP_PAD, 4 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 16 * 1024 * 1024);
#endif
}

}  // namespace corvix::cli
