// The heap under the command line on Windows: the process heap keeps blocks
// of the writers' sizes (below its large-block threshold) for reuse already.
#include "cli/heap.h"

namespace corvix::cli {

void KeepFreedBuffersForReuse() {}

}  // namespace corvix::cli
