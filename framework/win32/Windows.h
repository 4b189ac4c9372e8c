// <windows.h> for the realisation: without its macros that rename the
// framework's own methods (SetWindowText to SetWindowTextW and so on).
#pragma once

#include <windows.h>

#undef GetWindowText
#undef SetWindowText
#undef MessageBox
#undef WinHelp
