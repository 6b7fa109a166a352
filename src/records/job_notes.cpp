#include "records/job_notes.h"

#include <algorithm>

#include "common/messages.h"
#include "common/user_messages.h"

namespace corvix {

JobNotesRecord JobNotes;

namespace {

void AddOnce(std::vector<std::string>& lines, const std::string& line) {
  if (std::find(lines.begin(), lines.end(), line) == lines.end()) lines.push_back(line);
}

void AppendLines(std::string& text, const char* heading, const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  text += (text.empty() ? "" : "\n") + std::string(heading);
  const size_t shown = std::min(lines.size(), kShownNoteLines);
  for (size_t i = 0; i < shown; ++i) text += "\n  " + lines[i];
  if (shown < lines.size()) text += "\n  ... and " + std::to_string(lines.size() - shown) + " more";
}

}  // namespace

void AddJobNote(const std::string& line) { AddOnce(JobNotes.lines, line); }
void AddJobInfo(const std::string& line) { AddOnce(JobNotes.info, line); }

void ResetJobNotes() { JobNotes = {}; }

void ShowJobNotes() {
  std::string text;
  AppendLines(text, kNotesHeading, JobNotes.lines);
  AppendLines(text, "Good to know:", JobNotes.info);
  if (!text.empty()) ShowMessageBox(text.c_str(), kCaption, kMbOk | kMbIconWarning);
}

}  // namespace corvix
