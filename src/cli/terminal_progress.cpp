#include "cli/terminal_progress.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/terminal.h"
#include "records/job_state.h"

namespace corvix::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

// The whole job's part of the line, shared by every dialog of the command.
std::string g_jobText;
using Handler = void (*)(int);
Handler g_previous = SIG_DFL, g_previousTerm = SIG_DFL;

extern "C" void OnInterrupt(int signal) {
  if (g_interrupted) {
    // A second request: stop now, with the status a shell gives the signal.
    std::_Exit(128 + signal);
  }
  g_interrupted = 1;
  CancelRequested = 1;
  std::signal(signal, OnInterrupt);  // some systems reset the handler
}

long g_pumps = 0;

class LineDialog;

class LineBar : public ProgressBar {
 public:
  explicit LineBar(LineDialog& dialog) : dialog_(dialog) {}
  void SetRange(uint32_t low, uint32_t high) override;
  void SetStep(uint32_t step) override { step_ = step; }
  void StepIt() override;

  uint32_t low = 0, high = 0, position = 0;

 private:
  LineDialog& dialog_;
  uint32_t step_ = 1;
};

class LineDialog;
LineDialog* g_current = nullptr;  // the dialog on the line now
bool g_started = false;
std::chrono::steady_clock::time_point g_start;

class LineDialog : public ProgressDialog {
 public:
  explicit LineDialog(bool visible) : visible_(visible), bar_(*this) {}
  ~LineDialog() override {
    if (g_current == this) g_current = nullptr;
    if (visible_ && shown_ > 0) {
      std::fprintf(stderr, "\r%*s\r", static_cast<int>(shown_), "");
      std::fflush(stderr);
    }
  }
  ProgressBar* CreateProgressBar() override {
    hasBar_ = true;
    return &bar_;
  }
  void SetItemText(int itemId, const char* text) override {
    if (itemId == kItemWaveLine) {
      wave_ = text;
    } else {
      heading_ = text;
    }
    Show();
  }

  void Show() {
    if (!visible_) return;
    std::string line = g_jobText.empty() ? heading_ : g_jobText + "  |  " + heading_;
    if (!wave_.empty()) line += "  |  " + wave_;
    if (hasBar_ && bar_.high > bar_.low) {
      line += "  [" + std::to_string(bar_.position - bar_.low + 1) + "/" +
              std::to_string(bar_.high - bar_.low + 1) + "]";
    }
    const size_t pad = shown_ > line.size() ? shown_ - line.size() : 0;
    std::fprintf(stderr, "\r%s%*s", line.c_str(), static_cast<int>(pad), "");
    std::fflush(stderr);
    shown_ = line.size();
  }

 private:
  bool visible_;
  bool hasBar_ = false;
  size_t shown_ = 0;
  std::string heading_, wave_;
  LineBar bar_;
};

void LineBar::SetRange(uint32_t from, uint32_t to) {
  low = from;
  high = to;
  position = from;
  dialog_.Show();
}

void LineBar::StepIt() {
  position += step_;
  if (position > high) position = low;  // as a progress bar wraps
  dialog_.Show();
}

}  // namespace

std::string JobProgressText(uint64_t done, uint64_t total, double seconds) {
  char text[96];
  const double mb = 1048576.0;
  const int percent = total > 0 ? static_cast<int>(std::min<uint64_t>(done, total) * 100 / total) : 0;
  const auto bytesDone = static_cast<double>(done), bytesTotal = static_cast<double>(std::max(done, total));
  int n = std::snprintf(text, sizeof text, "%3d%%  %.1f/%.1f MB", percent, bytesDone / mb, bytesTotal / mb);
  if (seconds > 0.5 && done > 0) {
    const double rate = bytesDone / seconds;
    const auto left = static_cast<long>((bytesTotal - bytesDone) / rate + 0.5);
    std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "  %.1f MB/s  %ld:%02ld left", rate / mb, left / 60,
                  left % 60);
  }
  return text;
}

std::unique_ptr<ProgressDialog> TerminalProgress::CreateDialog(const char*) {
  auto dialog = std::make_unique<LineDialog>(visible_);
  g_current = dialog.get();
  return dialog;
}

void TerminalProgress::ShowJobProgress(uint64_t done, uint64_t total) {
  if (!visible_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!g_started) {
    g_started = true;
    g_start = now;
  }
  g_jobText = JobProgressText(done, total, std::chrono::duration<double>(now - g_start).count());
  if (g_current != nullptr) g_current->Show();
}

void TerminalProgress::PumpMessages() {
  static const char* plan = std::getenv("CORVIX_TEST_SIGNAL");
  ++g_pumps;
  for (const char* at = plan; at != nullptr && *at != '\0';) {
    char* end = nullptr;
    const long signal = std::strtol(at, &end, 10);
    if (*end != '@') return;
    const long pump = std::strtol(end + 1, &end, 10);
    if (pump == g_pumps) std::raise(static_cast<int>(signal));
    at = *end == ',' ? end + 1 : end;
    if (*end != ',' && *end != '\0') return;
  }
}

CancelOnInterrupt::CancelOnInterrupt() {
  g_interrupted = 0;
  g_previous = std::signal(SIGINT, OnInterrupt);
  if (g_previous == SIG_ERR) g_previous = SIG_DFL;
  g_previousTerm = std::signal(SIGTERM, OnInterrupt);
  if (g_previousTerm == SIG_ERR) g_previousTerm = SIG_DFL;
  CatchConsoleStops(OnInterrupt);
}

CancelOnInterrupt::~CancelOnInterrupt() {
  CatchConsoleStops(nullptr);
  std::signal(SIGTERM, g_previousTerm);
  std::signal(SIGINT, g_previous);
}

bool CancelOnInterrupt::Interrupted() { return g_interrupted != 0; }

}  // namespace corvix::cli
