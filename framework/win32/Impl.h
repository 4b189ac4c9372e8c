// What stands behind the framework's handles in the Win32 realisation.
// Private to framework/win32/.
#pragma once

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/DialogControls.h"
#include "framework/win32/DialogTemplate.h"
#include "framework/win32/Native.h"
#include "res/DialogTemplates.h"

#include "framework/win32/Windows.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

struct WndImpl {
    HWND hwnd = nullptr;
};

struct DialogImpl : DialogControls {
    DialogImpl(CDialog& dlg, HWND parent) : owner(dlg), parentWindow(parent) {}
    ~DialogImpl();
    DialogImpl(const DialogImpl&) = delete;
    DialogImpl& operator=(const DialogImpl&) = delete;

    // The template, and the buffer Windows builds the window from.
    bool Load();
    // WM_INITDIALOG: handles for the controls, the message map, OnInitDialog.
    BOOL Initialise(HWND dialog);
    // WM_COMMAND from a control or the keys; true when handled.
    bool Command(int id, int code);
    // The control's handle; a programming error ends the process when the
    // dialog has no such control.
    CWnd& Control(int nIDC) const;
    HWND Item(int nIDC) const { return Control(nIDC).Impl().hwnd; }

    CDialog& owner;
    HWND parentWindow;
    HWND window = nullptr;
    bool modal = false;
    std::unique_ptr<win32::DialogTemplateBuffer> buffer;
    std::map<std::pair<int, int>, std::function<void()>> handlers;  // (id, notification code)
};

namespace win32 {

// The running program's full path, however long.
std::wstring ModulePath();
// The path without its file's extension (a leading dot is no extension).
std::wstring WithoutExtension(std::wstring path);
// The selection a combo box keeps as the framework defines it: what the
// operator last picked or the program last set; typing clears it.
int TrackedSelection(HWND combo);
void TrackSelection(HWND combo, int index);
// Modal message box owned by `owner` (nullptr: no owner).
int ShowMessageBox(HWND owner, const CString& text, const CString& caption, UINT nType);
// The face for the dialogs' Chinese text: the template's SimSun when the
// system has it, otherwise Microsoft YaHei UI.
std::wstring DialogFontFace(std::string_view templateFace);
// A programming error: the message goes to stderr and the process ends.
[[noreturn]] void Fatal(const std::string& message);

}  // namespace win32
