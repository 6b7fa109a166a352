#include "records/host_link.h"

namespace corvix {
namespace {

HostLink* g_current = nullptr;

}  // namespace

void SetHostLink(HostLink* link) { g_current = link; }

HostLink& CurrentHostLink() { return g_current != nullptr ? *g_current : PlatformHostLink(); }

intptr_t NotifyHost(const char* path) { return CurrentHostLink().NotifyHost(path); }

}  // namespace corvix
