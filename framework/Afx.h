// The basic types and application-wide services the dialog classes are
// written against: text, flags, message boxes, the application title.
// Toolkit-neutral: each realisation (framework/qt/, framework/win32/)
// implements the functions declared here with the behaviour written beside
// them.
#pragma once

#include "framework/CString.h"

#include <string_view>

using BOOL = int;
using UINT = unsigned int;
using DWORD = unsigned long;
using BYTE = unsigned char;

// Guarded: some C headers (libmodbus among them) define these too.
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Results of a modal run or a message box.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Message box buttons and icons (the platform's own values).
constexpr UINT MB_OK = 0x00;
constexpr UINT MB_OKCANCEL = 0x01;
constexpr UINT MB_TYPEMASK = 0x0F;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_ICONMASK = 0xF0;

// A rectangle in pixels of the dialog's client area.
struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    friend bool operator==(const CRect&, const CRect&) = default;
};

// The base of the window handles and the application object: each stands
// for one thing of the program's run, so none is copied.
class CObject {
public:
    virtual ~CObject() = default;
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;

protected:
    CObject() = default;
};

// Text of the resources (UTF-8) as a CString.
inline CString ToCString(std::string_view text) { return CString(text); }

// The application title: the executable's file name without its folder and
// its extension ("Kestrel" for .../Kestrel or ...\Kestrel.exe).
CString AfxGetAppName();

// The application's message box, modal over the active window (the modal
// dialog when one runs): the text alone, the title as caption, OK by
// default, and the exclamation icon unless the type names another icon.
// MB_OKCANCEL gives OK and Cancel, Escape being Cancel. Returns IDOK or
// IDCANCEL.
int AfxMessageBox(const CString& text, UINT nType = MB_OK);

// Once, after the toolkit's application object exists and before the first
// dialog: the standard buttons read "确定" and "取消" where the toolkit
// supplies their texts, and the dialog font is the application's font.
void AfxWinInit();

// Stand-ins of the framework's start-up calls; neither realisation needs them.
inline void AfxEnableControlContainer() {}
