// No sampler runs outside Windows: the link does nothing and reports
// nothing.
#include "records/host_link.h"

namespace corvix {
namespace {

class NoHostLink : public HostLink {
 public:
  intptr_t NotifyHost(const char*) override { return 0; }
};

}  // namespace

HostLink& PlatformHostLink() {
  static NoHostLink link;
  return link;
}

}  // namespace corvix
