// SoundFont 2.01 files: programs as presets that today's samplers and
// players load.
//
// A file holds INFO ("ifil" 2.01, "isng", "INAM", "ISFT"), the sample data
// ("sdta"/"smpl": 16-bit, each sample followed by 46 zero points) and the
// preset data ("pdta": every sub-chunk with its terminal record). Each
// program is a preset with one instrument; each of its zones
// (program_zones.h) is an instrument zone that plays its own part of its
// sample (start, end and loop offsets); a merged L/R wave is two linked
// samples (left and right) in two zones panned as the pair's zones are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "instrument/program_zones.h"
#include "records/job_state.h"
#include "records/progress.h"

namespace corvix {

struct SoundFontProgram {
  std::string name;    // the program's name, trimmed (20 characters at most are kept)
  std::string label;   // how notes name it (PARTITION/VOLUME/PROGRAM)
  uint8_t preset = 0;  // its preset number in bank 0
  std::vector<PlayZone> zones;
  std::vector<WaveEntry> rows;     // the waves the zones name
  std::vector<WaveSource> sources;  // their samples' names
  std::string folder;  // where the waves' WAV files are
};

// What a file holds.
struct SoundFontCounts {
  uint32_t zones = 0;    // instrument zones (a pair counts twice)
  uint32_t samples = 0;
};

// Names of samples, presets and instruments: the Akai names, trimmed, cut
// to 20 characters, unique within a file (" 2", " 3", … where two would be
// alike).
std::vector<std::string> UniqueNames(const std::vector<std::string>& names);

// Writes the programs as one file at path, named bankName (INAM). Each
// program is the preset of its number in bank 0; a number an earlier
// program of the file took moves on to the next free one (bank 1 after 127)
// and the user is told (info). The sample data is read from the waves' WAV
// files; the interface's messages are pumped and Cancel honoured before
// each wave, and dialog (may be null) gets a bar stepped per wave. Zones
// whose wave holds no sound are left out (notes). 1, or 0 with PendingError
// set and no file left: "Can't write to file (disk full?)", "Conversion
// cancelled by user", "Can't read file  PATH" (a wave that is not a 16-bit
// PCM WAV file), no sample left to write (no player loads such a file), or
// a file that would pass the format's 4 GB or 65535 zones (nothing written
// then).
int WriteSoundFont(const std::string& path, const std::string& bankName, const std::vector<SoundFontProgram>& programs,
                   ProgressDialog* dialog, std::vector<std::string>* notes, std::vector<std::string>* info,
                   SoundFontCounts* counts = nullptr);

}  // namespace corvix
