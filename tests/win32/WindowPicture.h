// A window's client area as the screen shows it, saved as PNG through GDI+:
// for docs/, when a run asks for it. (With no window manager on the virtual
// display the frame and caption are not drawn, so they are left out.)
#pragma once

#include <windows.h>

#include <string>

// false when the window could not be read or the file not written.
bool SaveWindowPicture(HWND hwnd, const std::wstring& path);
