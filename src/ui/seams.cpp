// The Windows program's side of the core's seams: message boxes and the
// "Refresh" request (user_messages.h), and the modeless progress dialogs
// of the jobs (progress.h).
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/user_messages.h"
#include "records/progress.h"
#include "ui/main_window.h"
#include "ui_logic/resource_ids.h"

// windows.h makes CreateDialog a macro; here it is the seam's method.
#undef CreateDialog

namespace corvix::ui {
namespace {

class WindowMessages : public UserMessages {
 public:
  int ShowMessage(const char* text, const char* caption, uint32_t style) override {
    // No owner window, as every message of the program; task-modal, so that
    // the main window takes no commands while the question is open.
    const std::wstring wideText = Wide(text != nullptr ? text : "");
    const std::wstring wideCaption = caption != nullptr ? Wide(caption) : std::wstring();
    if ((style & (MB_SYSTEMMODAL | MB_TASKMODAL)) == 0) style |= MB_TASKMODAL;
    return MessageBoxW(nullptr, wideText.c_str(), caption != nullptr ? wideCaption.c_str() : nullptr, style);
  }
  void Refresh() override {
    // Posted, not sent: the request comes from inside a listing or a drive
    // change, which must end before the views are emptied and refilled.
    if (Main.window != nullptr) PostMessageA(Main.window, WM_COMMAND, IDM_REFRESH, 0);
  }
};

std::vector<HWND> g_openDialogs;  // for keyboard handling while pumping

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    SetChildFonts(dialog, static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT)));
    CentreWindow(dialog);
  } else if (message == WM_COMMAND) {
    OnProgressDialogCommand(static_cast<uintptr_t>(wParam));
  }
  return FALSE;
}

class WindowProgressBar : public ProgressBar {
 public:
  explicit WindowProgressBar(HWND bar) : bar_(bar) {}
  void SetRange(uint32_t low, uint32_t high) override {
    SendMessageA(bar_, PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
  }
  void SetStep(uint32_t step) override { SendMessageA(bar_, PBM_SETSTEP, static_cast<WPARAM>(step), 0); }
  void StepIt() override { SendMessageA(bar_, PBM_STEPIT, 0, 0); }

 private:
  HWND bar_;
};

class WindowProgressDialog : public ProgressDialog {
 public:
  explicit WindowProgressDialog(HWND dialog) : dialog_(dialog) { g_openDialogs.push_back(dialog); }
  ~WindowProgressDialog() override {
    g_openDialogs.erase(std::remove(g_openDialogs.begin(), g_openDialogs.end(), dialog_), g_openDialogs.end());
    DestroyWindow(dialog_);
  }
  ProgressBar* CreateProgressBar() override {
    RECT r{};
    GetWindowRect(dialog_, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD | WS_VISIBLE | WS_BORDER,
                               static_cast<int>(0.1 * width), height / 3, static_cast<int>(0.8 * width), 20,
                               dialog_, nullptr, Main.instance, nullptr);
    if (bar == nullptr) return nullptr;
    bar_ = std::make_unique<WindowProgressBar>(bar);
    return bar_.get();
  }
  void SetItemText(int itemId, const char* text) override {
    SetDlgItemTextW(dialog_, itemId, Wide(text != nullptr ? text : "").c_str());
  }

 private:
  HWND dialog_;
  std::unique_ptr<WindowProgressBar> bar_;
};

class WindowProgressUi : public ProgressUi {
 public:
  std::unique_ptr<ProgressDialog> CreateDialog(const char* templateName) override {
    HWND dialog = CreateDialogParamA(Main.instance, templateName, nullptr, ProgressDialogProc, 0);
    if (dialog == nullptr) return nullptr;
    return std::make_unique<WindowProgressDialog>(dialog);
  }
  void PumpMessages() override {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // Belongs to the main loop: put it back and stop pumping.
        PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      const bool forDialog = std::any_of(g_openDialogs.begin(), g_openDialogs.end(),
                                         [&message](HWND d) { return IsDialogMessageA(d, &message) != FALSE; });
      if (forDialog) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
};

WindowMessages g_messages;
WindowProgressUi g_progress;

}  // namespace

void InstallWindowSeams() {
  SetUserMessages(&g_messages);
  SetProgressUi(&g_progress);
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  }
  return out;
}

}  // namespace corvix::ui
