// The command line's progress dialogs and Cancel.
//
// A dialog is one line on stderr, rewritten in place, with the texts its
// items would show and the position of its progress bar, fitted to the
// terminal's width (the system's, else COLUMNS, else 80); nothing is shown
// when stderr is not a terminal. While a CancelOnInterrupt lives, Ctrl-C,
// SIGTERM and the console's other stop requests (terminal.h) do what the
// dialog's Cancel does: they set CancelRequested, so the job ends as a
// cancelled one ("Conversion cancelled by user", its temporary files
// deleted). A second one stops the program at once; what it leaves then
// is whole files under final names and temporaries (file_system.h).
#pragma once

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "records/progress.h"

namespace corvix::cli {

class TerminalProgress : public ProgressUi {
 public:
  explicit TerminalProgress(bool visible) : visible_(visible) {}
  std::unique_ptr<ProgressDialog> CreateDialog(const char* templateName) override;
  // The job looks at Cancel after each pump. For tests, the environment
  // variable CORVIX_TEST_SIGNAL="SIG@K[,SIG@K…]" raises signal SIG at the
  // K-th pump of the run: a stop request at a known moment.
  void PumpMessages() override;
  // The whole job on the line too: "37%  230.1/622.0 MB  5.8 MB/s  0:42 left".
  void ShowJobProgress(uint64_t done, uint64_t total) override;
  // A run of several jobs (discs): "disc 2 of 3" before the job's part; the
  // job's rate and time left start again.
  void StartRunPart(const std::string& text);

 private:
  bool visible_;
  std::string run_;
};

// One part of the progress line: its text and what goes before it when a
// part is shown before it. The lower the rank, the sooner it is shortened.
struct LinePart {
  std::string lead;
  std::string text;
  int rank = 0;
};

// The parts joined in at most columns display columns: the part of the
// lowest rank is cut ("...") or, when too short to cut, left out, then the
// next, until the line fits.
std::string FitToColumns(std::vector<LinePart> parts, size_t columns);

// Display columns of UTF-8 text: one per character.
size_t DisplayColumns(const std::string& text);

// Wipes the progress line, if one shows, so that whatever is written next
// starts at column 0; the line comes back with its next update.
void ClearProgressLine();

// The whole-job part of the line, for done of total bytes after seconds.
std::string JobProgressText(uint64_t done, uint64_t total, double seconds);

class CancelOnInterrupt {
 public:
  CancelOnInterrupt();
  ~CancelOnInterrupt();
  CancelOnInterrupt(const CancelOnInterrupt&) = delete;
  CancelOnInterrupt& operator=(const CancelOnInterrupt&) = delete;
  // True once Ctrl-C was pressed while this guard lived, even when the job
  // that saw it has cleared CancelRequested since.
  static bool Interrupted();
};

}  // namespace corvix::cli
