#include "cli/disc_source.h"

#include "media/disc_image.h"

namespace corvix::cli {

std::unique_ptr<SectorSource> OpenDiscSource(const std::string& path, std::string* error) {
  std::unique_ptr<SectorSource> source = DiscImage::Open(path, error);
  if (source) SetSectorSource(source.get());
  return source;
}

}  // namespace corvix::cli
