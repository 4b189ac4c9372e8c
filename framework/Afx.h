// The basic types and application-wide services the dialog classes are
// written against: text, flags, message boxes, the application title.
#pragma once

#include <QString>

#include <string_view>

using CString = QString;
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

// Message box buttons and icons.
constexpr UINT MB_OK = 0x00;
constexpr UINT MB_OKCANCEL = 0x01;
constexpr UINT MB_TYPEMASK = 0x0F;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_ICONMASK = 0xF0;

// Text of the resources (UTF-8) as a CString.
inline CString ToCString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The application title: the executable's file name without its extension.
CString AfxGetAppName();

// The application's message box: the text alone, the title as caption, OK by
// default, and the exclamation icon unless the type names another icon.
// Returns IDOK or IDCANCEL.
int AfxMessageBox(const CString& text, UINT nType = MB_OK);

// Modal message box over `parent` (nullptr: the active window) with the
// given caption; the common ground of AfxMessageBox and CDialog::MessageBox.
int ShowMessageBox(class QWidget* parent, const CString& text, const CString& caption, UINT nType);

// Once, after the QApplication exists: Qt's own Chinese texts for standard
// buttons ("确定", "取消") and the dialog font as the application font.
void AfxWinInit();

// Stand-ins of the framework's start-up calls; Qt needs neither.
inline void AfxEnableControlContainer() {}
