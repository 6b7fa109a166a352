// The host-link seam: telling a running Tessaline sampler that a new
// instrument file exists.
//
// On Windows (host_link_win32.cpp) the path goes into the registry under
// HKEY_CURRENT_USER "Software\Veltrex\Tessaline\Settings" with a flag, and
// message 2246 is sent to the window the sampler published there. Elsewhere
// (host_link_posix.cpp) there is no sampler to tell and nothing is done.
// Tests install a recorder.
#pragma once

#include <cstdint>

namespace corvix {

constexpr const char* kHostSettingsKey = "Software\\Veltrex\\Tessaline\\Settings";
constexpr const char* kHostWindowValue = "TSAppHwnd";
constexpr const char* kNewItemFlagValue = "TSAppNewItemFlag";
constexpr const char* kNewItemPathValue = "TSAppNewItemFlagSz";
constexpr uint32_t kNewItemMessage = 2246;  // WM_USER + 1222; wParam 1, lParam 0

class HostLink {
 public:
  virtual ~HostLink() = default;
  // Announces the instrument file at path (a full path). Returns the
  // sampler's answer to the message, or 0 when nothing was sent (no path,
  // no sampler). Failures are silent.
  virtual intptr_t NotifyHost(const char* path) = 0;
};

// The platform's link (one per platform implementation file).
HostLink& PlatformHostLink();

// The link the jobs use; the platform's unless a front end or a test
// installs another. Not owned; null restores the platform's.
void SetHostLink(HostLink* link);
HostLink& CurrentHostLink();

// CurrentHostLink().NotifyHost(path).
intptr_t NotifyHost(const char* path);

}  // namespace corvix
