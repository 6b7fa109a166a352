// Waiting in a test program that has windows of its own (or a window that
// another program may send to): the waits dispatch this thread's messages.
#pragma once

#include <windows.h>

#include <functional>

namespace corvix::wine {

// Dispatches this thread's messages for about milliseconds.
void Pump(DWORD milliseconds);
// Pumps until done() is true (true) or milliseconds have passed (false).
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds);

}  // namespace corvix::wine
