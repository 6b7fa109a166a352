#include "cli/terminal_messages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace corvix::cli {
namespace {

// A FILE* over a string for answers, and one that collects what is written.
struct Streams {
  explicit Streams(const std::string& input) : in(std::tmpfile()), out(std::tmpfile()) {
    std::fputs(input.c_str(), in);
    std::rewind(in);
  }
  ~Streams() {
    std::fclose(in);
    std::fclose(out);
  }
  std::string Written() {
    std::rewind(out);
    std::string text;
    for (int c; (c = std::fgetc(out)) != EOF;) text.push_back(static_cast<char>(c));
    return text;
  }
  std::FILE* in;
  std::FILE* out;
};

constexpr const char* kNotReady = "E:\\ is not accessible\n\nThe device is not ready";

// On a terminal the question is asked until it gets an answer; the end of
// the input cancels.
TEST(TerminalMessagesTest, RetryCancelQuestionOnATerminal) {
  const std::tuple<const char*, int, int> cases[] = {
      {"r\n", kIdRetry, 1},      {"Retry\n", kIdRetry, 1}, {"c\n", kIdCancel, 1},
      {"\nx\nr\n", kIdRetry, 3}, {"", kIdCancel, 1},       {"maybe\n", kIdCancel, 2},
  };
  for (const auto& [input, answer, prompts] : cases) {
    Streams streams(input);
    TerminalMessages messages(streams.in, streams.out, true);
    EXPECT_EQ(messages.ShowMessage(kNotReady, "Veltrex Corvix", kMbRetryCancel | kMbIconStop), answer) << input;
    const std::string written = streams.Written();
    EXPECT_EQ(written.rfind(std::string(kNotReady) + "\n", 0), 0u) << written;
    int asked = 0;
    for (size_t at = 0; (at = written.find("[R]etry or [C]ancel? ", at)) != std::string::npos; ++at) ++asked;
    EXPECT_EQ(asked, prompts) << input;
  }
}

// Without a terminal the question fails with its text, nothing read; plain
// messages are the command's own.
TEST(TerminalMessagesTest, WithoutATerminalTheQuestionFailsWithItsText) {
  Streams streams("r\n");
  TerminalMessages messages(streams.in, streams.out, false);
  EXPECT_EQ(messages.ShowMessage(kNotReady, "Veltrex Corvix", kMbRetryCancel | kMbIconStop), kIdCancel);
  EXPECT_EQ(messages.ShowMessage("Couldn't Create Event", "Read", kMbOk), kIdOk);
  EXPECT_EQ(streams.Written(), std::string("corvix: ") + kNotReady + "\ncorvix: Couldn't Create Event\n");
  EXPECT_EQ(std::fgetc(streams.in), 'r');
}

}  // namespace
}  // namespace corvix::cli
