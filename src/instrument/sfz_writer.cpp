// The SFZ writer and the folder of WAV files: a program's own folder, its
// WAV files in it and, for SFZ, "NAME.sfz" beside them.
#include "common/pending_error.h"
#include "instrument/format_writer.h"
#include "instrument/program_zones.h"
#include "instrument/sfz_file.h"
#include "media/akai_names.h"
#include "records/job_notes.h"
#include "records/source_guard.h"

namespace corvix {
namespace {

class SfzWriter : public InstrumentWriter {
 public:
  int Write(const ProgramToWrite& write, JobOutput& out) override {
    const ConversionItem& item = *write.programs.front();
    const ProgramWaves& waves = *write.waves;
    std::vector<std::string> notes;
    const std::vector<PlayZone> zones =
        MapProgramZones(item, waves.rows, waves.sources, TrimmedName(write.name.c_str()), false, &notes);
    for (const std::string& note : notes) AddJobNote(note);
    const std::string path = JoinPath(write.folder, FileName(write.name, ".sfz"));
    if (!RefuseSource(path)) return 0;
    if (!WriteSfzFile(path, SfzText(write.label, zones, waves.rows, waves.sources))) return 0;
    out.files.push_back(
        {path, static_cast<uint32_t>(zones.size()), static_cast<uint32_t>(waves.rows.size()), 1, write.place});
    return 1;
  }
};

// The files stand already: the folder is the program's result.
class WaveFolderWriter : public InstrumentWriter {
 public:
  int Write(const ProgramToWrite& write, JobOutput& out) override {
    out.files.push_back({write.folder, 0, static_cast<uint32_t>(write.waves->rows.size()), 1, write.place});
    return 1;
  }
};

}  // namespace

std::unique_ptr<InstrumentWriter> MakeSfzWriter() { return std::make_unique<SfzWriter>(); }
std::unique_ptr<InstrumentWriter> MakeWaveFolderWriter() { return std::make_unique<WaveFolderWriter>(); }

}  // namespace corvix
