#include "checks.h"

namespace corvix::wine {

namespace {
std::string g_section;
}

Tally& Checks() {
  static Tally tally;
  return tally;
}

void Section(const std::string& name) {
  g_section = name;
  std::printf("-- %s\n", name.c_str());
  std::fflush(stdout);
}

bool Check(bool ok, const char* what, const char* file, int line, const std::string& detail) {
  if (ok) {
    ++Checks().passed;
    return true;
  }
  ++Checks().failed;
  std::printf("FAILED [%s] %s:%d: %s%s%s\n", g_section.c_str(), file, line, what, detail.empty() ? "" : ": ",
              detail.c_str());
  std::fflush(stdout);
  return false;
}

}  // namespace corvix::wine
