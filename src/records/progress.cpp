#include "records/progress.h"

#include "records/job_state.h"

namespace corvix {
namespace {

class SilentBar : public ProgressBar {
 public:
  void SetRange(uint32_t, uint32_t) override {}
  void SetStep(uint32_t) override {}
  void StepIt() override {}
};

class SilentDialog : public ProgressDialog {
 public:
  ProgressBar* CreateProgressBar() override { return &bar_; }
  void SetItemText(int, const char*) override {}

 private:
  SilentBar bar_;
};

class SilentUi : public ProgressUi {
 public:
  std::unique_ptr<ProgressDialog> CreateDialog(const char*) override {
    return std::make_unique<SilentDialog>();
  }
  void PumpMessages() override {}
};

SilentUi g_silent;
ProgressUi* g_current = &g_silent;

}  // namespace

void SetProgressUi(ProgressUi* ui) { g_current = ui != nullptr ? ui : &g_silent; }

ProgressUi& CurrentProgressUi() { return *g_current; }

void OnProgressDialogCommand(uintptr_t firstParameter) {
  if (firstParameter == static_cast<uintptr_t>(kCancelButton)) CancelRequested = 1;
}

}  // namespace corvix
