// What the job commands share: opening SOURCE, finding the programs that
// the PROGRAM arguments name, and making the target folder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/job_disc.h"
#include "media/sector_source.h"

namespace corvix::cli {

struct Selection {
  uint16_t partition = 0;
  uint16_t volumeSlot = 0;
  uint16_t programIndex = 0;
  std::string label;  // PARTITION/VOLUME/PROGRAM as `corvix list` shows the names
};

// The disc of one command: the current sector source, held locked (a drive's
// tray) from opening to the end of the session, and the allocated volume
// lists; all released when the session ends.
class DiscSession {
 public:
  DiscSession() = default;
  ~DiscSession();
  DiscSession(const DiscSession&) = delete;
  DiscSession& operator=(const DiscSession&) = delete;

  // Opens source and resolves the patterns (PARTITION/VOLUME/PROGRAM, '*'
  // for all, names compared without trailing spaces and case) into the
  // programs they name, in pattern order and listing order, each once.
  // Returns 0, or the exit status with the reason on stderr: 1 when the
  // source can't be read or a pattern names nothing, 2 when a pattern is
  // malformed.
  // With samples, a pattern's last name matches the volume's samples too
  // (programIndex is then the sample's place in its list); a pattern that
  // names a sample but no program is no fault then.
  int Open(const std::string& source, const std::vector<std::string>& patterns,
           std::vector<Selection>* selections, std::vector<Selection>* samples = nullptr);
  // The disc's tables as read for the patterns, for the job to go on with.
  JobDisc* disc() { return disc_.get(); }

 private:
  std::unique_ptr<JobDisc> disc_;
  std::unique_ptr<SectorSource> source_;
  std::unique_ptr<MediumLock> lock_;
};

// The end of a job's run after its notes: a line on stderr saying how many
// of what were written and how many of the selected programs had parts
// left out ("2 programs written; 1 program had parts left out: see above"), nothing
// when nothing was left out. The exit status: 1 when strict and something
// was left out (information alone does not count), else status.
int EndWithNotes(int status, size_t written, const char* what, const std::vector<Selection>& selections,
                 bool strict);

// Creates folder (and its parents) when missing. Returns 0, or 1 with the
// reason on stderr.
int MakeTargetFolder(const std::string& folder);

}  // namespace corvix::cli
