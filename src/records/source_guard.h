// The disc being read is never written over.
#pragma once

#include <string>

namespace corvix {

// Refuses a file the job would write over when it is a file the disc is
// read from (an image; a cue sheet or the file it names), before anything
// is written there: the user is shown both names, PendingError set, 0.
int RefuseSource(const std::string& path);

}  // namespace corvix
