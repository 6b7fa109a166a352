#include "cli/terminal_progress.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

// The columns the line may take: one less than the terminal has, so that
// the cursor never wraps to a new line.
size_t LineColumns() {
  int columns = StderrColumns();
  if (columns <= 0) {
    const char* text = std::getenv("COLUMNS");
    columns = text != nullptr ? std::atoi(text) : 0;
  }
  if (columns <= 0) columns = 80;
  return static_cast<size_t>(std::max(columns - 1, 1));
}

// The first `columns` display columns of text.
std::string CutToColumns(const std::string& text, size_t columns) {
  size_t end = 0;
  for (size_t seen = 0; end < text.size(); ++end) {
    if ((static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) continue;
    if (seen++ == columns) break;
  }
  return text.substr(0, end);
}

std::string Joined(const std::vector<LinePart>& parts) {
  std::string line;
  for (const LinePart& part : parts) {
    if (part.text.empty()) continue;
    line += (line.empty() ? "" : part.lead) + part.text;
  }
  return line;
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

class LineDialog;
LineDialog* g_current = nullptr;  // the dialog on the line now
bool g_started = false;
std::chrono::steady_clock::time_point g_start;

class LineDialog : public ProgressDialog {
 public:
  explicit LineDialog(bool visible) : visible_(visible), bar_(*this) {}
  ~LineDialog() override {
    if (g_current == this) g_current = nullptr;
    Clear();
  }
  ProgressBar* CreateProgressBar() override {
    hasBar_ = true;
    return &bar_;
  }
  void SetItemText(int itemId, const char* text) override {
    // A window's item texts are padded into columns; a line has no room for it.
    std::string squeezed;
    for (const char* c = text; *c != '\0'; ++c) {
      if (*c != ' ' || (!squeezed.empty() && squeezed.back() != ' ')) squeezed += *c;
    }
    if (!squeezed.empty() && squeezed.back() == ' ') squeezed.pop_back();
    (itemId == kItemWaveLine ? wave_ : heading_) = squeezed;
    Show();
  }

  void Show() {
    if (!visible_) return;
    std::vector<LinePart> parts = {{"", g_jobText, 3}, {"  |  ", heading_, 1}, {"  |  ", wave_, 0}};
    if (hasBar_ && bar_.high > bar_.low) {
      parts.push_back({"  ", "[" + std::to_string(bar_.position - bar_.low + 1) + "/" +
                                 std::to_string(bar_.high - bar_.low + 1) + "]",
                       2});
    }
    const std::string line = FitToColumns(parts, LineColumns());
    const size_t width = DisplayColumns(line);
    const size_t pad = shown_ > width ? shown_ - width : 0;
    std::fprintf(stderr, "\r%s%*s", line.c_str(), static_cast<int>(pad), "");
    std::fflush(stderr);
    shown_ = width;
  }

  // Wipes the line; the next Show draws it again.
  void Clear() {
    if (!visible_ || shown_ == 0) return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(shown_), "");
    std::fflush(stderr);
    shown_ = 0;
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

size_t DisplayColumns(const std::string& text) {
  size_t columns = 0;
  for (const char c : text) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return columns;
}

std::string FitToColumns(std::vector<LinePart> parts, size_t columns) {
  for (std::string line = Joined(parts); DisplayColumns(line) > columns; line = Joined(parts)) {
    LinePart* least = nullptr;
    for (LinePart& part : parts) {
      if (!part.text.empty() && (least == nullptr || part.rank < least->rank)) least = &part;
    }
    const size_t over = DisplayColumns(line) - columns;
    const size_t width = DisplayColumns(least->text);
    if (width > over + 3) {
      least->text = CutToColumns(least->text, width - over - 3) + "...";
    } else {
      // A part too short to cut goes, unless it is all there is left.
      bool alone = true;
      for (const LinePart& part : parts) alone &= &part == least || part.text.empty();
      least->text = alone ? CutToColumns(least->text, columns) : std::string();
    }
  }
  return Joined(parts);
}

void ClearProgressLine() {
  if (g_current != nullptr) g_current->Clear();
}

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
  g_jobText = (run_.empty() ? "" : run_ + "  ") +
              JobProgressText(done, total, std::chrono::duration<double>(now - g_start).count());
  if (g_current != nullptr) g_current->Show();
}

void TerminalProgress::StartRunPart(const std::string& text) {
  run_ = text;
  g_started = false;
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
