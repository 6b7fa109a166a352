#pragma once

namespace corvix::cli {

// Parses the arguments and runs the command they name, as `corvix` does
// (main adds only the check of standard output). Returns the exit status:
// 0, 1 when the work failed, 2 on a usage error.
int RunCommandLine(int argc, char** argv);

}  // namespace corvix::cli
