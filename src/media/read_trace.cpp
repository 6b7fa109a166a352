#include "media/read_trace.h"

namespace corvix {

std::unique_ptr<TracingSource> TracingSource::Open(std::unique_ptr<SectorSource> source,
                                                   const std::string& tracePath) {
  std::FILE* trace = std::fopen(tracePath.c_str(), "w");
  if (trace == nullptr) return nullptr;
  return std::unique_ptr<TracingSource>(new TracingSource(std::move(source), trace));
}

TracingSource::~TracingSource() {
  if (CurrentSectorSource() == this) SetSectorSource(nullptr);
  std::fclose(trace_);
}

bool TracingSource::ReadSectors(uint32_t lba, uint16_t count, uint8_t* buffer, uint32_t size) {
  std::fprintf(trace_, "%u %u\n", lba, count);
  return source_->ReadSectors(lba, count, buffer, size);
}

}  // namespace corvix
