// Writing whole files from the Windows-side test programs (blank or built
// disc images, control files for the stand-in drive).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvix::wine {

// Creates or replaces path with bytes; false when the file could not be
// written whole.
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace corvix::wine
