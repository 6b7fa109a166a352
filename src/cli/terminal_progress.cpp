#include "cli/terminal_progress.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "records/job_state.h"

namespace corvix::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;
using Handler = void (*)(int);
Handler g_previous = SIG_DFL;

extern "C" void OnInterrupt(int) {
  if (g_interrupted) {
    // A second Ctrl-C: stop now, with the status a shell gives SIGINT.
    std::_Exit(130);
  }
  g_interrupted = 1;
  CancelRequested = 1;
  std::signal(SIGINT, OnInterrupt);  // some systems reset the handler
}

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

class LineDialog : public ProgressDialog {
 public:
  explicit LineDialog(bool visible) : visible_(visible), bar_(*this) {}
  ~LineDialog() override {
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
    std::string line = heading_;
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

std::unique_ptr<ProgressDialog> TerminalProgress::CreateDialog(const char*) {
  return std::make_unique<LineDialog>(visible_);
}

CancelOnInterrupt::CancelOnInterrupt() {
  g_interrupted = 0;
  g_previous = std::signal(SIGINT, OnInterrupt);
  if (g_previous == SIG_ERR) g_previous = SIG_DFL;
}

CancelOnInterrupt::~CancelOnInterrupt() { std::signal(SIGINT, g_previous); }

bool CancelOnInterrupt::Interrupted() { return g_interrupted != 0; }

}  // namespace corvix::cli
