// Screenshots of the screen (Wine's virtual desktop) as PNG files.
#pragma once

#include <windows.h>

#include <string>

namespace corvix::wine {

// Copies the screen rectangle r into a PNG file at path; false when the
// screen can't be read or the file can't be written.
bool SaveScreenshot(const RECT& r, const std::string& path);
// The whole screen.
bool SaveScreenshot(const std::string& path);
// A window with its frame, and a margin of pixels around it.
bool SaveWindowShot(HWND window, int margin, const std::string& path);

}  // namespace corvix::wine
