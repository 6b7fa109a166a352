#include "message_pump.h"

namespace corvix::wine {

void Pump(DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(10);
  } while (static_cast<LONG>(GetTickCount() - end) < 0);
}

bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  while (!done()) {
    if (static_cast<LONG>(GetTickCount() - end) >= 0) return false;
    Pump(20);
  }
  return true;
}

}  // namespace corvix::wine
