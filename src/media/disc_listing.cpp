#include "media/disc_listing.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "media/akai_disk.h"
#include "media/akai_names.h"
#include "media/akai_records.h"
#include "media/job_disc.h"
#include "media/program_files.h"
#include "media/read_engine.h"

namespace corvix {
namespace {

// Programs whose files are held at once while a partition is listed.
constexpr size_t kProgramsAtOnce = 64;

// The sector of a sample's first block that holds its header.
class HeaderReader : public RunReader {
 public:
  explicit HeaderReader(std::vector<ListedSample*> samples, std::vector<uint32_t> recordLengths)
      : samples_(std::move(samples)), recordLengths_(std::move(recordLengths)) {}
  bool Take(uint32_t tag, const uint8_t* bytes, uint32_t size, bool readable) override {
    const SampleRecord header = DecodeSampleRecord({bytes, std::min(size, recordLengths_[tag])});
    samples_[tag]->lengthWords = header.length;
    samples_[tag]->sampleRate = header.sampleRate;
    if (!readable) unread.push_back(tag);
    return true;
  }
  std::vector<uint32_t> unread;  // tags of headers that could not be read

 private:
  std::vector<ListedSample*> samples_;
  std::vector<uint32_t> recordLengths_;
};

}  // namespace

void SummarizeVolumePrograms(const JobDisc& disc, uint16_t partition, uint16_t volumeIndex, ProgramSummary* out,
                             bool* readable, int count) {
  const VolumeEntry* volume = disc.Volume(partition, volumeIndex);
  if (volume == nullptr) return;
  count = std::max(0, std::min<int>({count, volume->programCount, kMaxPrograms}));
  std::vector<ProgramFile> files(static_cast<size_t>(count));
  std::vector<ProgramFile*> pointers;
  for (size_t i = 0; i < files.size(); ++i) {
    files[i].partition = partition;
    files[i].volume = volumeIndex;
    files[i].entry = volume->programs[i];
    pointers.push_back(&files[i]);
  }
  const bool fat = disc.HasPartition(partition);
  if (fat) ReadProgramFiles(disc, pointers);
  for (size_t i = 0; i < files.size(); ++i) {
    readable[i] = fat && files[i].readable;
    std::memset(&out[i], 0, sizeof out[i]);
    out[i].lowestKey = 127;
    if (readable[i]) SummarizeProgram(*files[i].buffer, *volume, &out[i]);
  }
}

DiscListing ListDisc() {
  DiscListing listing;
  JobDisc disc;
  if (!disc.Open()) return listing;
  listing.isAkaiDisc = true;
  listing.partitionSize = disc.partitionSize();

  std::vector<uint16_t> partitions;
  for (uint32_t p = 0; p < disc.partitionCount(); ++p) partitions.push_back(static_cast<uint16_t>(p));
  disc.ReadPartitions(partitions);
  std::vector<VolumeRef> volumes;
  for (uint16_t p : partitions) {
    for (uint16_t v = 0; v < kVolumesPerPartition; ++v) {
      const VolumeEntry* volume = disc.Volume(p, v);
      if (volume != nullptr && volume->type != 0) volumes.push_back({p, v});
    }
  }
  disc.ReadDirectories(volumes);

  for (uint16_t p : partitions) {
    ListedPartition& lp = listing.partitions.emplace_back();
    lp.label = PartitionLabel(p);
    lp.number = p;
    if (!disc.HasPartition(p)) listing.unread.push_back("partition " + lp.label);
    // What the partition's directories name, with the sample headers and
    // the programs (for their summaries) read in one round in disc order.
    ReadPlan plan;
    std::vector<ListedSample*> samples;
    std::vector<uint32_t> recordLengths;
    std::vector<std::pair<ListedProgram*, uint16_t>> programs;  // and their volume
    for (uint16_t v = 0; v < kVolumesPerPartition; ++v) {
      const VolumeEntry* volume = disc.Volume(p, v);
      if (volume == nullptr || volume->type == 0) continue;
      ListedVolume& lv = lp.volumes.emplace_back();
      lv.name = volume->name;
      lv.slot = v;
      lv.type = volume->type;
      if (!disc.HasDirectory(p, v)) listing.unread.push_back("volume " + lp.label + "/" + TrimmedName(volume->name));
      for (uint16_t i = 0; i < volume->programCount; ++i) {
        ListedProgram& program = lv.programs.emplace_back();
        program.name = volume->programs[i].name;
        program.index = i;
        program.startBlock = volume->programs[i].startBlock;
      }
      for (uint16_t i = 0; i < volume->sampleCount; ++i) {
        ListedSample& sample = lv.samples.emplace_back();
        sample.name = volume->samples[i].name;
        sample.startBlock = volume->samples[i].startBlock;
        sample.lengthBytes = volume->samples[i].length;
      }
    }
    std::vector<std::string> sampleLabels;
    for (ListedVolume& lv : lp.volumes) {
      for (ListedProgram& program : lv.programs) programs.emplace_back(&program, lv.slot);
      for (ListedSample& sample : lv.samples) {
        samples.push_back(&sample);
        recordLengths.push_back(RecordLength(lv.type));
        sampleLabels.push_back(ProgramPath(p, lv.name, sample.name));
      }
    }
    HeaderReader headers(samples, recordLengths);
    for (size_t s = 0; s < samples.size(); ++s) {
      // The header lies in the block's first sector; a block that is not a
      // file block reads as nothing.
      if (!IsFileBlock(samples[s]->startBlock)) continue;
      plan.Want((uint64_t{disc.partitionSize()} * p + samples[s]->startBlock) * kSectorsPerBlock, 1, &headers,
                static_cast<uint32_t>(s));
    }

    for (size_t from = 0; from < programs.size() || from == 0; from += kProgramsAtOnce) {
      const size_t to = std::min(programs.size(), from + kProgramsAtOnce);
      std::vector<ProgramFile> files(to - from);
      std::vector<ProgramFile*> pointers;
      for (size_t i = from; i < to; ++i) {
        ProgramFile& file = files[i - from];
        file.partition = p;
        file.volume = programs[i].second;
        const VolumeEntry& volume = *disc.Volume(p, programs[i].second);
        file.entry = volume.programs[programs[i].first->index];
        pointers.push_back(&file);
      }
      ProgramFileReader reader(disc, pointers);
      reader.Want(plan);
      while (!plan.empty()) plan.Run();
      reader.Settle();
      auto summary = std::make_unique<ProgramSummary>();
      for (size_t i = from; i < to; ++i) {
        ListedProgram& program = *programs[i].first;
        const ProgramFile& file = files[i - from];
        if (!file.readable) {
          program.readable = false;
          continue;
        }
        SummarizeProgram(*file.buffer, *disc.Volume(p, programs[i].second), summary.get());
        program.keygroups = summary->keygroupCount;
        program.lowestKey = summary->lowestKey;
        program.highestKey = summary->highestKey;
      }
      if (to == programs.size()) break;
    }
    std::sort(headers.unread.begin(), headers.unread.end());
    for (uint32_t s : headers.unread) listing.unread.push_back("sample " + sampleLabels[s]);
  }
  return listing;
}

}  // namespace corvix
