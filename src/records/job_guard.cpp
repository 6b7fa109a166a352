#include "records/job_guard.h"

#include "common/pending_error.h"
#include "records/job_notes.h"
#include "records/job_state.h"

namespace corvix {
namespace {

bool g_running = false;

}  // namespace

JobGuard::JobGuard() : acquired_(!g_running) { g_running = true; }

JobGuard::~JobGuard() {
  if (acquired_) g_running = false;
}

bool JobGuard::JobRunning() { return g_running; }

bool JobGuard::Start() const {
  if (!acquired_) {
    SetPendingError(kJobRunning, kStyleError);
    return false;
  }
  CancelRequested = 0;
  ResetJobNotes();
  return true;
}

}  // namespace corvix
