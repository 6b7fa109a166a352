// corvix: the command line. Reads Akai S1000 discs from disc images and
// CD-ROM drives.
//
// Exit status: 0 on success, 1 when the work failed (the source can't be
// opened, is not an Akai disc, the drive was not ready, a job failed), 2 on a
// usage error.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/heap.h"

// Whatever a command printed must have reached its reader: output cut short
// (a full disk, /dev/full, a closed pipe) is a failure, not a success.
int main(int argc, char** argv) {
  corvix::cli::KeepFreedBuffersForReuse();
  int status = corvix::cli::RunCommandLine(argc, argv);
  // A write that failed earlier left its reason in errno, unless a later
  // failure took its place.
  const int earlier = errno;
  errno = 0;
  const bool cut = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
  if (cut) {
    if (errno == 0) errno = earlier;
    const int error = errno != 0 ? errno : EIO;
    std::fprintf(stderr, "corvix: can't write to standard output: %s\n", std::strerror(error));
    status = 1;
  }
  return status;
}
