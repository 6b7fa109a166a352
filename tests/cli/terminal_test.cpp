// The terminal side of the command line: messages and the drive's question,
// and the progress line, driven with a file in place of the keyboard and
// standard error captured.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "cli/terminal_messages.h"
#include "cli/terminal_progress.h"

namespace corvix::cli {
namespace {

// Answers to the question, as a file.
std::unique_ptr<std::FILE, int (*)(std::FILE*)> Answers(const std::string& text) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::tmpfile(), std::fclose);
  std::fputs(text.c_str(), in.get());
  std::rewind(in.get());
  return in;
}

constexpr const char* kNotReady = "E:\\ is not accessible\n\nThe device is not ready";

// Without a terminal the question fails with its text, nothing read; plain
// messages are the command's own.
TEST(TerminalMessagesTest, WithoutATerminalTheQuestionFailsWithItsText) {
  const auto answers = Answers("r\n");
  TerminalMessages messages(answers.get(), stderr, false);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(messages.ShowMessage(kNotReady, "Veltrex Corvix", kMbRetryCancel | kMbIconStop), kIdCancel);
  EXPECT_EQ(messages.ShowMessage("Couldn't Create Event", "Read", kMbOk), kIdOk);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            std::string("corvix: ") + kNotReady + "\ncorvix: Couldn't Create Event\n");
  EXPECT_EQ(std::fgetc(answers.get()), 'r');
}

// On a terminal a dialog's line shows its text and where its bar stands (a
// bar wraps as a window's does) and is wiped when the dialog closes; a
// dialog that showed nothing leaves nothing behind.
TEST(TerminalProgressTest, TheLineShowsTheBarAndIsWipedAtTheEnd) {
  TerminalProgress progress(true);
  ::testing::internal::CaptureStderr();
  progress.CreateDialog(kTransferDialog).reset();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  ::testing::internal::CaptureStderr();
  auto dialog = progress.CreateDialog(kTransferDialog);
  ProgressBar* bar = dialog->CreateProgressBar();
  dialog->SetItemText(kItemProgramLine, "PIANO");
  bar->SetRange(0, 0);  // one step: no count
  bar->SetRange(4, 6);
  for (int i = 0; i < 3; ++i) bar->StepIt();
  dialog.reset();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "\rPIANO\rPIANO\rPIANO  [1/3]\rPIANO  [2/3]\rPIANO  [3/3]\rPIANO  [1/3]\r            \r");
}

// The line gives up its least important part first: the wave, then the
// program, then the count; the job's percentage goes last. Widths are
// counted in characters, not bytes.
TEST(TerminalProgressTest, TheLineIsShortenedLeastImportantFirst) {
  const std::vector<LinePart> line = {
      {"", "40%  1.0/2.0 MB", 3}, {"  |  ", "Importing from STRINGS", 1}, {"  |  ", "STR C2 L keygroup 1 of 2", 0}, {"  ", "[2/10]", 2}};
  const std::tuple<std::vector<LinePart>, size_t, std::string> cases[] = {
      {line, 79, "40%  1.0/2.0 MB  |  Importing from STRINGS  |  STR C2 L keygroup 1 of 2  [2/10]"},
      {line, 60, "40%  1.0/2.0 MB  |  Importing from STRINGS  |  ST...  [2/10]"},
      {line, 40, "40%  1.0/2.0 MB  |  Importing...  [2/10]"},
      {line, 30, "40%  1.0/2.0 MB  [2/10]"},
      {line, 10, "40%  1...."},
      {{{"", "Ça va été", 0}}, 9, "Ça va été"},
      {{{"", "Ça va été", 0}}, 7, "Ça v..."},
  };
  for (const auto& [parts, columns, shown] : cases) {
    SCOPED_TRACE(columns);
    EXPECT_EQ(FitToColumns(parts, columns), shown);
  }
}

}  // namespace
}  // namespace corvix::cli
