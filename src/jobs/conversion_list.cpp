#include "jobs/conversion_list.h"

#include <cstring>
#include <new>

#include "common/pending_error.h"
#include "media/akai_records.h"

namespace corvix {

std::unique_ptr<ConversionItem> MakeConversionItem(uint16_t partition, uint16_t volume,
                                                   uint16_t programIndex,
                                                   const ProgramSummary* summary) {
  if (volume >= kVolumesPerPartition) {
    SetPendingError("Program not found on the disc", kStyleError);
    return nullptr;
  }
  std::unique_ptr<ConversionItem> item(new (std::nothrow) ConversionItem);
  if (item) item->program.reset(new (std::nothrow) ProgramBuffer);
  if (!item || !item->program) {
    SetPendingError("Read Buffer Malloc", kStyleError);
    return nullptr;
  }
  std::memset(item->program.get(), 0, sizeof(ProgramBuffer));
  item->partition = partition;
  item->volume = volume;
  item->programIndex = programIndex;

  ReadVolumeTable(partition);
  ReadVolumeDirectory(partition, volume);
  const VolumeEntry& entry = AkaiDisk.volumes[volume];
  if (entry.programs == nullptr || programIndex >= entry.programCount) {
    SetPendingError("Program not found on the disc", kStyleError);
    return nullptr;
  }
  item->keygroupStride = RecordLength(entry.type);
  if (!ReadProgramFile(partition, entry.programs[programIndex], item->program.get())) return nullptr;
  if (summary != nullptr) {
    item->summary = *summary;
  } else {
    SummarizeProgram(*item->program, entry, &item->summary);
  }
  return item;
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
