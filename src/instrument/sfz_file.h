// SFZ instruments: a text file of regions beside the program's WAV files.
#pragma once

#include <string>
#include <vector>

#include "instrument/program_zones.h"
#include "records/job_state.h"

namespace corvix {

// The text of a program's .sfz: a comment naming it (title: the volume and
// the program), then one <region> per zone, its WAV file (rows, in the same
// folder, with their sources) last on the line, as file names may hold
// spaces. Each region plays its own part of its file (offset, end, loop).
std::string SfzText(const std::string& title, const std::vector<PlayZone>& zones, const std::vector<WaveEntry>& rows,
                    const std::vector<WaveSource>& sources);

// Writes the text to path. 1, or 0 with PendingError set and no file left.
int WriteSfzFile(const std::string& path, const std::string& text);

}  // namespace corvix
