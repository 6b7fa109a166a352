// The terminal under the command line: whether stderr is one.
#pragma once

namespace corvix::cli {

// True when stderr is a terminal (one implementation per platform).
bool StderrIsTerminal();

}  // namespace corvix::cli
