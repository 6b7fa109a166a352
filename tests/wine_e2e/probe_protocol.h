// The end-to-end driver's probe inside Corvix.exe: what it is asked and what
// it answers, through a shared memory block.
//
// Wine keeps a menu's items in the memory of the process that owns it, so
// another process can't read a menu's states (GetMenuState fails there).
// The driver therefore sets a WH_CALLWNDPROC hook on Corvix's user-interface
// thread; the system loads the probe DLL into Corvix for it. The driver
// fills the block, sends the registered message kProbeMessage to a window of
// that thread, and reads the answer when SendMessage returns. The probe only
// reads: it never changes the program's state.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvix::e2e {

constexpr const char* kProbeMessage = "CorvixE2eProbe";
constexpr const char* kProbeBlockName = "CorvixE2eProbeBlock";
constexpr const char* kProbeHookExport = "CorvixE2eProbeHook";

enum class ProbeRequest : uint32_t {
  kNone = 0,
  kDescribeMenu = 1,  // the items of a menu (see ProbeBlock)
  kMessageIcon = 2,   // the standard icon shown in message box `window`
};

enum class ProbeIcon : int32_t { kNone = 0, kStop, kWarning, kQuestion, kInformation, kOther };

struct ProbeMenuItem {
  uint32_t id;     // command id; 0xFFFFFFFF for a submenu
  uint32_t state;  // MFS_ flags
  uint32_t type;   // MFT_ flags
  char text[64];
};

struct ProbeBlock {
  ProbeRequest request;
  uint64_t window;   // kDescribeMenu: its menu bar, unless menu is set
  uint64_t menu;     // a menu handle of Corvix's (a pop-up's), or 0
  int32_t path[4];   // submenu positions to follow from that menu
  int32_t depth;
  // Answer.
  int32_t answered;  // 1 when the probe has handled the request
  int32_t count;
  ProbeMenuItem items[48];
  ProbeIcon icon;
};

// The driver and the probe are built for the same architecture as Corvix,
// and both map this block: its layout is the same in the 32-bit and the
// 64-bit build (the handles travel as 64-bit numbers), which these facts
// pin down.
static_assert(sizeof(ProbeMenuItem) == 76);
static_assert(offsetof(ProbeBlock, window) == 8 && offsetof(ProbeBlock, menu) == 16);
static_assert(offsetof(ProbeBlock, items) == 52 && offsetof(ProbeBlock, icon) == 3700);
static_assert(sizeof(ProbeBlock) == 3704);

}  // namespace corvix::e2e
