// The progress-and-cancel seam: how a job talks to its progress dialog.
//
// The wave import shows the transfer dialog "XFERDIALOG", the conversion the
// dialog "CREATETESDLG"; each gets one progress bar, texts in its static
// items, and between blocks of work the job lets the interface process its
// waiting messages. The dialog's Cancel sets CancelRequested (job_state.h);
// that flag is all a dialog shares with the job.
//
// Implementations: the real modeless dialogs in the Windows program, a
// progress line on the terminal for the command line, a scripted one in
// tests. Without one installed, dialogs are silent and never fail.
#pragma once

#include <cstdint>
#include <memory>

namespace corvix {

// Dialog templates and their items.
constexpr const char* kTransferDialog = "XFERDIALOG";
constexpr const char* kCreateTesDialog = "CREATETESDLG";
constexpr const char* kCreateSoundFontDialog = "CREATESF2DLG";  // as CREATETESDLG
constexpr int kItemWaveLine = 1002;     // XFERDIALOG: "%s      keygroup %ld of %ld"
constexpr int kItemProgramLine = 1010;  // XFERDIALOG: "Importing from  %s"
constexpr int kItemCreateLine = 1008;   // CREATETESDLG: "Creating  %s.tes"
constexpr int kCancelButton = 2;

// A progress bar ("msctls_progress32" on Windows). Owned by its dialog.
class ProgressBar {
 public:
  virtual ~ProgressBar() = default;
  virtual void SetRange(uint32_t low, uint32_t high) = 0;
  virtual void SetStep(uint32_t step) = 0;
  virtual void StepIt() = 0;
};

// One open modeless dialog; destroying the object destroys the dialog.
class ProgressDialog {
 public:
  virtual ~ProgressDialog() = default;
  // Creates the dialog's progress bar, placed at x = 0.1 W, y = H / 3,
  // 0.8 W wide and 20 pixels high within the dialog's W × H window
  // rectangle. Null when it can't be created; the job then runs without one.
  virtual ProgressBar* CreateProgressBar() = 0;
  virtual void SetItemText(int itemId, const char* text) = 0;
};

class ProgressUi {
 public:
  virtual ~ProgressUi() = default;
  // Opens the dialog of the template (kTransferDialog, kCreateTesDialog);
  // null when it can't be created.
  virtual std::unique_ptr<ProgressDialog> CreateDialog(const char* templateName) = 0;
  // Takes every message waiting for the thread, translates and dispatches
  // it. This is where Cancel is seen.
  virtual void PumpMessages() = 0;
  // How far the job's reading has come: bytes read of the bytes it knows
  // it will read. The window's dialogs show their own bars instead.
  virtual void ShowJobProgress(uint64_t /*done*/, uint64_t /*total*/) {}
};

// The current seam; not owned. Null restores the silent default.
void SetProgressUi(ProgressUi* ui);
ProgressUi& CurrentProgressUi();

// The progress dialogs' command handling, apart from the window system:
// a command whose first parameter is exactly kCancelButton (Cancel clicked)
// sets CancelRequested.
void OnProgressDialogCommand(uintptr_t firstParameter);

}  // namespace corvix
