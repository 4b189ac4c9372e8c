// The Win32 realisation's native objects, for tests and tools that drive
// the real windows (the dialogs themselves never include this).
#pragma once

#include "framework/Controls.h"
#include "framework/Dialog.h"

#include "framework/win32/Windows.h"

#include <string>

// The window behind a handle (a dialog's window for a CDialog), or nullptr.
HWND NativeWindow(const CWnd& wnd);
// The dialog whose window `hwnd` is, or nullptr.
CDialog* DialogOf(HWND hwnd);

namespace win32 {
// The text of any control (a combo's field, an address as "a.b.c.d").
std::wstring WindowText(HWND hwnd);
}  // namespace win32
