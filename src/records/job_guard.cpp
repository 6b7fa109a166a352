#include "records/job_guard.h"

namespace corvix {
namespace {

bool g_running = false;

}  // namespace

JobGuard::JobGuard() : acquired_(!g_running) { g_running = true; }

JobGuard::~JobGuard() {
  if (acquired_) g_running = false;
}

bool JobGuard::JobRunning() { return g_running; }

}  // namespace corvix
