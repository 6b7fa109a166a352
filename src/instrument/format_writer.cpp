#include "instrument/format_writer.h"

#include <cstring>

#include "media/akai_names.h"
#include "media/akai_records.h"
#include "records/job_notes.h"

namespace corvix {

std::string JobOutput::Claim(const std::string& folder, const std::string& name, const char* extension,
                             const std::string& label) {
  const std::string base = StoredName(name);
  const std::string fileName = NameList::Name(base, extension, names_[folder].Take(base, extension));
  if (fileName != base + extension) {
    AddJobNote(label + ": written as \"" + fileName + "\", as this job has already written a file of its name");
  }
  return fileName;
}

std::string ProgramName(const ConversionItem& item) {
  const ProgramRecord record = DecodeProgramRecord(ProgramBytes(*item.program));
  return std::string(record.name, strnlen(record.name, kAkaiNameBytes));
}

std::string ProgramLabel(const ConversionItem& item, const char* volume) {
  return ProgramPath(item.partition, volume != nullptr ? volume : "?", ProgramName(item));
}

}  // namespace corvix
