// The SoundFont writers: a file per program, or one bank holding every
// program of the job, each a preset.
#include <cstdio>

#include "common/messages.h"
#include "common/pending_error.h"
#include "instrument/format_writer.h"
#include "instrument/soundfont.h"
#include "media/akai_names.h"
#include "records/job_notes.h"
#include "records/progress.h"
#include "records/source_guard.h"

namespace corvix {
namespace {

// A program as the SoundFont writer takes it, its zones mapped while its
// records are at hand; the zones' notes go to JobNotes. In a bank its
// preset is its MIDI program number; alone in its file it is preset 0, the
// one a player starts on. A program without a zone to play is left out.
SoundFontProgram SoundFontProgramOf(const ProgramToWrite& write, bool bank, JobOutput& out) {
  SoundFontProgram program;
  const ConversionItem& item = *write.programs.front();
  const ProgramRecord record = DecodeProgramRecord(ProgramBytes(*item.program));
  program.name = TrimmedName(record.name);
  program.label = write.label;
  program.preset = bank ? static_cast<uint8_t>(record.midiProgram & 0x7F) : 0;
  std::vector<std::string> notes;
  program.zones = MapProgramZones(item, write.waves->rows, write.waves->sources, program.label, true, &notes);
  for (const std::string& note : notes) AddJobNote(note);
  if (program.zones.empty()) {
    // No player loads a SoundFont without samples, and a preset without
    // zones is silence.
    AddJobNote(program.label + (bank ? ": the program has no zone to play; it has no preset in the file"
                                     : ": the program has no zone to play; no file was written for it"));
    out.leftOut += 1;
  }
  program.rows = write.waves->rows;
  program.sources = write.waves->sources;
  program.folder = write.waves->folder;
  return program;
}

// A file of programs named after name, in folder; label names the first
// program in notes, place as in ConvertedFile.
int WriteSoundFontFile(const std::string& folder, const std::string& name, const std::string& label,
                       const std::vector<SoundFontProgram>& programs, JobOutput& out, uint32_t place) {
  const std::string fileName = out.Claim(folder, name, ".sf2", label);
  const std::string path = JoinPath(folder, fileName);
  if (!RefuseSource(path)) return 0;
  std::unique_ptr<ProgressDialog> dialog = CurrentProgressUi().CreateDialog(kCreateSoundFontDialog);
  if (!dialog) {
    SetPendingError("Can't create progress window", kStyleError);
    return 0;
  }
  char text[128];
  std::snprintf(text, sizeof text, "Creating  %s", fileName.c_str());
  dialog->SetItemText(kItemCreateLine, text);
  std::vector<std::string> notes, info;
  SoundFontCounts counts;
  const int ok = WriteSoundFont(path, name, programs, dialog.get(), &notes, &info, &counts);
  dialog.reset();
  for (const std::string& note : notes) AddJobNote(note);
  for (const std::string& line : info) AddJobInfo(line);
  if (!ok) return 0;
  out.files.push_back({path, counts.zones, counts.samples, static_cast<uint32_t>(programs.size()), place});
  return 1;
}

class SoundFontWriter : public InstrumentWriter {
 public:
  int Write(const ProgramToWrite& write, JobOutput& out) override {
    const SoundFontProgram program = SoundFontProgramOf(write, false, out);
    return program.zones.empty() || WriteSoundFontFile(write.folder, write.name, write.label, {program}, out, write.place);
  }
};

// Every program's WAV files wait for the bank, which is named after the
// first program that has a preset in it.
class SoundFontBankWriter : public InstrumentWriter {
 public:
  int Write(const ProgramToWrite& write, JobOutput& out) override {
    SoundFontProgram program = SoundFontProgramOf(write, true, out);
    if (program.zones.empty()) return 1;
    if (bank_.empty()) first_ = write;
    bank_.push_back(std::move(program));
    return 1;
  }
  int Finish(JobOutput& out) override {
    return bank_.empty() || WriteSoundFontFile(first_.folder, first_.name, first_.label, bank_, out, first_.place);
  }
  bool KeepsWaves() const override { return true; }

 private:
  std::vector<SoundFontProgram> bank_;
  ProgramToWrite first_;
};

}  // namespace

std::unique_ptr<InstrumentWriter> MakeSoundFontWriter() { return std::make_unique<SoundFontWriter>(); }
std::unique_ptr<InstrumentWriter> MakeSoundFontBankWriter() { return std::make_unique<SoundFontBankWriter>(); }

}  // namespace corvix
