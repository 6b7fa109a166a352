#include "common/user_messages.h"

#include <cstdio>

namespace corvix {
namespace {

StderrMessages g_stderrMessages;
UserMessages* g_current = &g_stderrMessages;

}  // namespace

int StderrMessages::ShowMessage(const char* text, const char* caption, uint32_t style) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  return (style & 0x0F) == kMbRetryCancel ? kIdCancel : kIdOk;
}

void SetUserMessages(UserMessages* messages) {
  g_current = messages != nullptr ? messages : &g_stderrMessages;
}

UserMessages& CurrentUserMessages() { return *g_current; }

int ShowMessageBox(const char* text, const char* caption, uint32_t style) {
  return g_current->ShowMessage(text, caption, style);
}

void RequestRefresh() { g_current->Refresh(); }

}  // namespace corvix
