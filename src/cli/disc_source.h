// Opening the SOURCE argument of the command line as the current sector
// source.
#pragma once

#include <memory>
#include <string>

#include "media/sector_source.h"

namespace corvix::cli {

// Opens path as a disc image and makes it the current sector source. On
// failure returns null with *error set to a one-line reason.
std::unique_ptr<SectorSource> OpenDiscSource(const std::string& path, std::string* error);

}  // namespace corvix::cli
