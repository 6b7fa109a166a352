// Building the list of programs a conversion works on.
//
// The convert commands (the GUI's, the command line's) build one
// ConversionItem per program, in the order of the rows or names they come
// from, run ConvertPrograms on the head and free the list afterwards.
#pragma once

#include <cstdint>
#include <memory>

#include "records/job_state.h"
#include "media/akai_disk.h"

namespace corvix {

// The item of program programIndex (in the volume's program list) of volume
// `volume` of `partition`. Reads the partition's volume table and the
// volume's directory into AkaiDisk (the volume lists must be allocated),
// the whole program file along its chain, and sets the keygroup stride from
// the volume's type. The summary is a copy of *summary (the browser's
// record of the program) or, when summary is null, read from the disc.
// Returns null with PendingError set when there is no such program, the
// program can't be read ("Can't read program NAME"), or memory is short;
// such a program is left out of the job (an empty, nameless program is no
// use).
std::unique_ptr<ConversionItem> MakeConversionItem(uint16_t partition, uint16_t volume,
                                                   uint16_t programIndex,
                                                   const ProgramSummary* summary);

// Links item behind the last item of the list whose head is head.
void AppendConversionItem(std::unique_ptr<ConversionItem>& head, std::unique_ptr<ConversionItem> item);

// Frees the list item by item (no recursion along `next`); head ends null.
void FreeConversionList(std::unique_ptr<ConversionItem>& head);

uint32_t ConversionItemCount(const ConversionItem* head);

}  // namespace corvix
