// One job at a time. The jobs share WaveTable, WaveFolder, GroupNameTable
// and PendingError, and they pump the interface's messages while they run,
// so a command could start a second job from inside the first. A job holds
// a JobGuard for its whole run; a second one refuses to start while it does.
#pragma once

#include "common/messages.h"

namespace corvix {

class JobGuard {
 public:
  JobGuard();   // takes the job slot when it is free
  ~JobGuard();  // gives it back when it was taken
  JobGuard(const JobGuard&) = delete;
  JobGuard& operator=(const JobGuard&) = delete;

  // The start of a job: false with PendingError set ("Another job is still
  // running") when the slot was taken; else Cancel and the notes of an
  // earlier job are cleared and the job may run.
  bool Start() const;
  static bool JobRunning();

 private:
  bool acquired_;
};

}  // namespace corvix
