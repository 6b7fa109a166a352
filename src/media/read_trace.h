// A record of every command a sector source is given, for measuring a job
// the way a drive sees it (bench/run, the drive model of
// tools/drive_model.h): one line "LBA COUNT" per ReadSectors call.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "media/sector_source.h"

namespace corvix {

// Passes everything to source and writes each read to the trace file.
class TracingSource : public SectorSource {
 public:
  // Null when the trace file can't be created.
  static std::unique_ptr<TracingSource> Open(std::unique_ptr<SectorSource> source, const std::string& tracePath);
  ~TracingSource() override;

  bool ReadSectors(uint32_t lba, uint16_t count, uint8_t* buffer, uint32_t size) override;
  std::string Describe() const override { return source_->Describe(); }
  std::string DriveName() const override { return source_->DriveName(); }
  std::vector<std::string> Files() const override { return source_->Files(); }
  std::optional<uint64_t> SectorCount() const override { return source_->SectorCount(); }
  uint32_t TestUnitReady() override { return source_->TestUnitReady(); }
  bool PreventAllowRemoval(bool prevent) override { return source_->PreventAllowRemoval(prevent); }

 private:
  TracingSource(std::unique_ptr<SectorSource> source, std::FILE* trace) : source_(std::move(source)), trace_(trace) {}
  std::unique_ptr<SectorSource> source_;
  std::FILE* trace_;
};

}  // namespace corvix
