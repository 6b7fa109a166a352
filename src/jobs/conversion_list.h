// Building the list of programs a job works on.
//
// The commands (the GUI's, the command line's) build one ConversionItem per
// program, in the order of the rows or names they come from, run the job on
// the head and free the list afterwards. The job reads the programs itself,
// in disc order; MakeConversionItem reads one at once, for callers that
// want it read now.
#pragma once

#include <cstdint>
#include <memory>

#include <vector>

#include "media/akai_format.h"
#include "media/job_disc.h"
#include "records/job_state.h"

namespace corvix {

// An item naming program programIndex (in the volume's program list) of
// volume `volume` of `partition`, not read yet.
std::unique_ptr<ConversionItem> MakeProgramItem(uint16_t partition, uint16_t volume, uint16_t programIndex);

// The item of program programIndex of volume `volume` of `partition`, read
// now from disc: the volume's directory (when disc has not read it yet), the
// program file along its chain, and the keygroup stride from the volume's
// type. The summary is a copy of *summary or, when summary is null, decoded
// from the program read. Returns null with PendingError set when there is no
// such program, its partition's header can't be read ("Can't Read FAT"), the
// program can't be read ("Can't read program NAME"), or memory is short;
// such a program is left out of the job.
std::unique_ptr<ConversionItem> MakeConversionItem(JobDisc& disc, uint16_t partition, uint16_t volume,
                                                   uint16_t programIndex, const ProgramSummary* summary);

// Reads, in disc order, the programs of the items that have none yet (the
// items' directories must have been read into disc): program, keygroup
// stride and summary. An item whose program can't be read keeps none and
// is reported at once, titled "Error": "Can't read program NAME", "Program
// not found on the disc", or "Can't Read FAT" when its partition's header
// could not be read. Returns how many were left out so.
uint32_t ReadConversionItems(const JobDisc& disc, const std::vector<ConversionItem*>& items);

// Where the batch that starts at items[from] ends: a job reads and writes
// its programs a batch at a time and lets go of them after, so that its
// memory stays the same however many programs it has. A batch holds at
// least kBatchPrograms programs (when there are), ends where a partition
// does (so that a partition's samples are read in one sweep), and never
// holds more than kMaxBatchPrograms.
constexpr size_t kBatchPrograms = 64;
constexpr size_t kMaxBatchPrograms = 256;
size_t BatchEnd(const std::vector<ConversionItem*>& items, size_t from);

// Lets go of what ReadConversionItems read (the job keeps memory flat
// however many programs it works on).
void ReleaseConversionItems(const std::vector<ConversionItem*>& items);

// Links item behind the last item of the list whose head is head.
void AppendConversionItem(std::unique_ptr<ConversionItem>& head, std::unique_ptr<ConversionItem> item);

// Frees the list item by item (no recursion along `next`); head ends null.
void FreeConversionList(std::unique_ptr<ConversionItem>& head);

uint32_t ConversionItemCount(const ConversionItem* head);

}  // namespace corvix
