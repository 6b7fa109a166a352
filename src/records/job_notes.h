// What a job left out or changed on its way, for the user to hear once the
// job has finished: zones and key ranges that could not go into an
// instrument file, a file written under another name than its program's.
//
// The job fills the list and shows it once at its end (ShowJobNotes); the
// list stays readable until the next job resets it. Notes never make a job
// fail.
#pragma once

#include <string>
#include <vector>

namespace corvix {

struct JobNotesRecord {
  std::vector<std::string> lines;  // what was left out or changed, in the order met, each once
  std::vector<std::string> info;   // what the user should know though nothing was lost (a renumbered preset)
};

extern JobNotesRecord JobNotes;

// Adds one line; a line already noted is not repeated.
void AddJobNote(const std::string& line);
void AddJobInfo(const std::string& line);
void ResetJobNotes();

// Shows the notes, if there are any, in one message (warning style, caption
// "Veltrex Corvix") through the user-messages seam: a warning box in the
// GUI, stderr on the command line. The lines under "Not everything could be
// converted:", then the information under "Good to know:". At most
// kShownNoteLines lines of each are shown; the rest are counted.
constexpr size_t kShownNoteLines = 30;
void ShowJobNotes();

}  // namespace corvix
