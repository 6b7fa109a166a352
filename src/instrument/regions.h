// Regions from keygroups: the LIST "lrgn" of an instrument.
//
// The keyboard is swept key by key. At each key where keygroups begin, one
// region is cut whose key range ends at the lowest high key among the
// keygroups covering that key (in a combined instrument, among those of all
// programs). Inside a region the velocity zones of the covering keygroups
// become sub-regions on up to four dimensions (sample channel, layer,
// program layer, velocity) with at most 5 dimension bits: 32 sub-regions.
//
// Nothing is dropped silently: a zone that can't be placed (its sample was
// not exported, it would need a sixth dimension bit, its wave is stereo in a
// mono region or the other way round) is left out of its region and noted
// in JobNotes, as are the keys above a region's 37-key limit; the rest of
// the region is written. No sub-region ever refers to a wave that is not in
// WaveTable.
#pragma once

#include <cstdint>
#include <vector>

#include "instrument/articulation.h"
#include "records/job_state.h"
#include "media/akai_format.h"
#include "riff/riff_file.h"

namespace corvix {

constexpr int kMaxSubRegions = 32;
constexpr int kMaxDimensionBits = 5;
constexpr uint32_t kRegionLinkBytes = 172;  // "3lnk"
constexpr int kRegionKeySpan = 36;          // high − low of a clipped region
constexpr uint8_t kRegionClipAbove = 60;    // regions reaching above this key are clipped

// Dimension codes of "3lnk".
constexpr uint8_t kDimensionChannel = 0x80;
constexpr uint8_t kDimensionLayer = 0x81;
constexpr uint8_t kDimensionProgramLayer = 0x01;
constexpr uint8_t kDimensionVelocity = 0x82;

// The number of regions written into the current instrument; set to 0 by
// WriteRegions, read by PatchInstrumentFile.
extern uint32_t RegionCount;

// One program of the instrument as the sweep sees it: its item and a
// working copy of the item's summary, which the sweep consumes (it raises
// keygroup low keys and clears present flags) and in whose work area
// (keygroupMarks, splitLowKey, splitHighKey) it marks the keygroups of the
// region being cut. The items themselves are only read.
struct RegionProgram {
  const ConversionItem* item;
  ProgramSummary summary;
  char name[kAkaiNameBytes + 1];  // decoded program name, for notes
};
using RegionPrograms = std::vector<RegionProgram>;

// The working record of one region.
struct RegionLayout {
  SubRegion entries[kMaxSubRegions];  // in the order entered; count in use
  uint8_t bitsProgramLayer;
  uint8_t bitsLayer;
  uint8_t bitsVelocity;
  int32_t velocityMax;      // highest velocity split index in use
  int32_t programLayerMax;  // highest program layer index in use
  int32_t layerMax;         // highest layer index in use
  uint32_t stereo;          // the stereo flag of the region's waves (from the first entry)
  uint32_t count;           // entries in use
};

// The programs an instrument is made of: the head item alone when single is
// non-zero ("Convert"), else every item of the list ("Combine"). Items
// without a program buffer are left out.
RegionPrograms CollectRegionPrograms(const ConversionItem* items, int single);

// Writes LIST "lrgn" with every region of the instrument. Returns 1, or 0
// when a chunk can't be written (the file is then closed).
int WriteRegions(RiffFile& file, const ConversionItem* items, int single);

// Marks, in every program, the keygroups that cover key and cuts them at the
// lowest high key m among them: a keygroup reaching above m keeps the rest
// (its low key becomes m + 1), the others are used up. Sets each program's
// splitLowKey to key and splitHighKey to m. Non-zero when a keygroup covers
// key.
int MarkKeygroupsAtKey(int key, RegionPrograms& programs);

// Enters the zones of the marked keygroups into layout (zero-filled by the
// caller), each with a distinct (velocity, program layer, layer) index
// triple. Returns the number of entries; zones that can't be entered are
// noted and skipped.
int BuildRegionLayout(const RegionPrograms& programs, RegionLayout* layout);

// Renumbers the velocity indices of each (program layer, layer) group
// 0, 1, 2, … in ascending order of velocityLow.
void RenumberVelocitySplits(RegionLayout* layout);

// The entry for the indices (velocity a, program layer b, layer c), or the
// nearest below it (b, then c, then a lowered first to last); −1 when there
// is none down to (0, 0, 0).
int FindSubRegion(const RegionLayout& layout, int a, int b, int c);

// bits(n) = ceil(log2(n + 1)) for n ≥ 1, 0 for n ≤ 0.
uint8_t DimensionBits(int32_t highestIndex);

// Writes one LIST "rgn " for the marked keygroups and the built layout.
// Returns 1 or 0 (the file is then closed).
int WriteRegion(RiffFile& file, const RegionPrograms& programs, RegionLayout& layout);

// The WaveTable row of a sample name, or else of its merged-pair name
// (MakeStereoName, which name is changed to in place: it must hold
// kWaveNameBytes). −1 with "Can't find sample for this velocity zone" in
// PendingError when neither is there.
int32_t FindWaveEntry(char* name);

}  // namespace corvix
