// Opening the SOURCE argument of the command line as the current sector
// source: a disc image, or a CD-ROM drive ("/dev/sr0", "/dev/sg1" on Linux,
// "D:" on Windows).
#pragma once

#include <memory>
#include <string>

#include "media/sector_source.h"

namespace corvix::cli {

// Opens path and makes it the current sector source; a drive also becomes the
// CurrentDevice, with the current SCSI transport set for as long as the
// returned source lives. On failure returns null with *error set to a
// one-line reason.
std::unique_ptr<SectorSource> OpenDiscSource(const std::string& path, std::string* error);

}  // namespace corvix::cli
