#include "jobs/conversion_list.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "common/messages.h"
#include "common/pending_error.h"
#include "common/user_messages.h"
#include "media/akai_names.h"
#include "media/akai_records.h"
#include "media/program_files.h"

namespace corvix {

std::unique_ptr<ConversionItem> MakeProgramItem(uint16_t partition, uint16_t volume, uint16_t programIndex) {
  auto item = std::make_unique<ConversionItem>();
  item->partition = partition;
  item->volume = volume;
  item->programIndex = programIndex;
  return item;
}

std::unique_ptr<ConversionItem> MakeConversionItem(JobDisc& disc, uint16_t partition, uint16_t volume,
                                                   uint16_t programIndex, const ProgramSummary* summary) {
  std::unique_ptr<ConversionItem> item(new (std::nothrow) ConversionItem);
  if (!item) {
    SetPendingError(kNoMemory, kStyleError);
    return nullptr;
  }
  item->partition = partition;
  item->volume = volume;
  item->programIndex = programIndex;
  disc.ReadDirectories({{partition, volume}});
  const VolumeEntry* entry = disc.Volume(partition, volume);
  if (entry != nullptr && !disc.HasPartition(partition)) {
    SetPendingError(kCantReadFat, kStyleError);
    return nullptr;
  }
  if (entry == nullptr || entry->programs == nullptr || programIndex >= entry->programCount) {
    SetPendingError(kProgramNotFound, kStyleError);
    return nullptr;
  }
  ProgramFile file;
  file.partition = partition;
  file.volume = volume;
  file.entry = entry->programs[programIndex];
  ReadProgramFiles(disc, {&file});
  if (!file.readable) {
    SetPendingError((kCantReadProgram + TrimmedName(file.entry.name)).c_str(), kStyleError);
    return nullptr;
  }
  item->keygroupStride = RecordLength(entry->type);
  item->program = std::move(file.buffer);
  item->summary = std::make_unique<ProgramSummary>();
  if (summary != nullptr) {
    *item->summary = *summary;
  } else {
    SummarizeProgram(*item->program, *entry, item->summary.get());
  }
  return item;
}

uint32_t ReadConversionItems(const JobDisc& disc, const std::vector<ConversionItem*>& items) {
  std::vector<ProgramFile> files;
  std::vector<ConversionItem*> reading;
  std::vector<std::string> why(items.size());  // told in the items' order
  size_t at = 0;
  const auto leaveOut = [&](const std::string& text) { why[at] = text; };
  files.reserve(items.size());
  for (; at < items.size(); ++at) {
    ConversionItem* item = items[at];
    if (item->program != nullptr) continue;
    const VolumeEntry* volume = disc.Volume(item->partition, item->volume);
    if (!disc.HasPartition(item->partition)) {
      leaveOut(kCantReadFat);
      continue;
    }
    if (volume == nullptr || volume->programs == nullptr || item->programIndex >= volume->programCount) {
      leaveOut(kProgramNotFound);
      continue;
    }
    ProgramFile& file = files.emplace_back();
    file.partition = item->partition;
    file.volume = item->volume;
    file.entry = volume->programs[item->programIndex];
    reading.push_back(item);
  }
  std::vector<ProgramFile*> pointers;
  for (ProgramFile& file : files) pointers.push_back(&file);
  ReadProgramFiles(disc, pointers);
  for (size_t i = 0; i < files.size(); ++i) {
    ConversionItem& item = *reading[i];
    if (!files[i].readable) {
      at = static_cast<size_t>(std::find(items.begin(), items.end(), &item) - items.begin());
      leaveOut(kCantReadProgram + TrimmedName(files[i].entry.name));
      continue;
    }
    const VolumeEntry& volume = *disc.Volume(item.partition, item.volume);
    item.keygroupStride = RecordLength(volume.type);
    item.program = std::move(files[i].buffer);
    item.summary = std::make_unique<ProgramSummary>();
    SummarizeProgram(*item.program, volume, item.summary.get());
  }
  uint32_t leftOut = 0;
  for (const std::string& text : why) {
    if (text.empty()) continue;
    ShowMessageBox(text.c_str(), "Error", kMbOk);
    ++leftOut;
  }
  return leftOut;
}

size_t BatchEnd(const std::vector<ConversionItem*>& items, size_t from) {
  size_t to = std::min(items.size(), from + 1);
  while (to < items.size() && to - from < kMaxBatchPrograms &&
         (to - from < kBatchPrograms || items[to]->partition == items[to - 1]->partition)) {
    ++to;
  }
  return to;
}

void ReleaseConversionItems(const std::vector<ConversionItem*>& items) {
  for (ConversionItem* item : items) {
    item->program.reset();
    item->summary.reset();
  }
}

void AppendConversionItem(std::unique_ptr<ConversionItem>& head, std::unique_ptr<ConversionItem> item) {
  std::unique_ptr<ConversionItem>* link = &head;
  while (*link) link = &(*link)->next;
  *link = std::move(item);
}

void FreeConversionList(std::unique_ptr<ConversionItem>& head) {
  while (head) {
    std::unique_ptr<ConversionItem> next = std::move(head->next);
    head = std::move(next);
  }
}

uint32_t ConversionItemCount(const ConversionItem* head) {
  uint32_t count = 0;
  for (; head != nullptr; head = head->next.get()) ++count;
  return count;
}

}  // namespace corvix
