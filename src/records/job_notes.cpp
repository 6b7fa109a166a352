#include "records/job_notes.h"

#include <algorithm>

#include "common/messages.h"
#include "common/user_messages.h"

namespace corvix {

JobNotesRecord JobNotes;

void AddJobNote(const std::string& line) {
  if (std::find(JobNotes.lines.begin(), JobNotes.lines.end(), line) != JobNotes.lines.end()) return;
  JobNotes.lines.push_back(line);
}

void ResetJobNotes() { JobNotes.lines.clear(); }

void ShowJobNotes() {
  if (JobNotes.lines.empty()) return;
  std::string text = "Not everything could be converted:";
  const size_t shown = std::min(JobNotes.lines.size(), kShownNoteLines);
  for (size_t i = 0; i < shown; ++i) text += "\n  " + JobNotes.lines[i];
  if (shown < JobNotes.lines.size()) {
    text += "\n  ... and " + std::to_string(JobNotes.lines.size() - shown) + " more";
  }
  ShowMessageBox(text.c_str(), kCaption, kMbOk | kMbIconWarning);
}

}  // namespace corvix
