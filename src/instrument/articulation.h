// The articulation of one sub-region: LIST "3frl" holding a "wsmp" (the
// wave's unity note, fine tune and loop, retuned when the zone is tuned
// otherwise than the wave was exported) and the 140-byte "3fra" body.
#pragma once

#include <cstdint>

#include "records/job_state.h"
#include "media/akai_format.h"
#include "riff/riff_file.h"

namespace corvix {

// One velocity zone placed in a region. The region builder fills one per
// zone it enters; each is the input of one articulation.
struct SubRegion {
  uint8_t velocityLow;
  uint8_t velocityHigh;
  uint32_t present;  // 1 for a filled entry
  uint8_t zoneNumber;  // 0 to 3, the zone's position in its keygroup
  uint8_t keygroup;    // keygroup index in its program
  uint8_t program;     // position of the program's item in the job's list
  uint8_t programLayerIndex;
  uint8_t layerIndex;
  uint8_t velocityIndex;
  uint32_t renumbered;  // working flag of RenumberVelocitySplits
  uint32_t sample;      // WaveTable row; always one of rows 0 … count − 1
  const ProgramBuffer* programBuffer;  // the item's program, not owned
  uint32_t stride;                     // the item's keygroup stride
};

// The 20-byte wave sample block (unity note, fine tune, no attenuation, one
// loop record when the wave loops) of a "wsmp" chunk.
int WriteWaveSample(RiffFile& file, const WaveEntry& wave, uint16_t unityNote, int16_t fineTune);

// Writes LIST "3frl" for the sub-region at the current position. 1, or 0
// when a chunk can't be written (the file is then closed, PendingError set).
int WriteArticulation(RiffFile& file, const SubRegion& subRegion);

}  // namespace corvix
