#include "framework/win32/DialogTemplate.h"

#include <commctrl.h>

#include <span>

namespace win32 {

namespace {
constexpr WORD kDlgTemplateExVersion = 1;
constexpr WORD kDlgTemplateExSignature = 0xFFFF;
constexpr WORD kFontWeightNormal = FW_NORMAL;

// A template style and the native style bit that stands for it.
struct NativeStyle {
    std::uint32_t flag;
    DWORD native;
};

constexpr NativeStyle kComboStyles[] = {
    {res::style::kAutoHScroll, CBS_AUTOHSCROLL},
};
constexpr NativeStyle kEditStyles[] = {
    {res::style::kMultiLine, ES_MULTILINE},
    {res::style::kReadOnly, ES_READONLY},
    {res::style::kAutoHScroll, ES_AUTOHSCROLL},
    {res::style::kAutoVScroll, ES_AUTOVSCROLL},
};
// What any kind of control may ask for.
constexpr NativeStyle kWindowStyles[] = {
    {res::style::kTabStop, WS_TABSTOP},
    {res::style::kGroup, WS_GROUP},
    {res::style::kBorder, WS_BORDER},
    {res::style::kVScroll, WS_VSCROLL},
};
constexpr NativeStyle kDialogStyles[] = {
    {res::dlgstyle::kModalFrame, DS_MODALFRAME}, {res::dlgstyle::kCaption, WS_CAPTION},
    {res::dlgstyle::kSysMenu, WS_SYSMENU},       {res::dlgstyle::kMinimizeBox, WS_MINIMIZEBOX},
    {res::dlgstyle::kCenter, DS_CENTER},
};

// The native bits of the template styles `styles` that `table` lists.
DWORD NativeStyles(std::uint32_t styles, std::span<const NativeStyle> table)
{
    DWORD native = 0;
    for (const NativeStyle& s : table) {
        if ((styles & s.flag) != 0)
            native |= s.native;
    }
    return native;
}
}  // namespace

std::wstring Widen(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Narrow(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr,
                        nullptr);
    return utf8;
}

const wchar_t* ControlClassName(res::ControlKind kind)
{
    switch (kind) {
    case res::ControlKind::GroupBox:
    case res::ControlKind::PushButton: return WC_BUTTONW;
    case res::ControlKind::Label: return WC_STATICW;
    case res::ControlKind::ComboBox: return WC_COMBOBOXW;
    case res::ControlKind::Edit: return WC_EDITW;
    case res::ControlKind::IpAddress: return WC_IPADDRESSW;
    }
    return WC_STATICW;
}

DWORD ControlStyle(const res::ControlTemplate& c)
{
    DWORD style = WS_CHILD | WS_VISIBLE;
    switch (c.kind) {
    case res::ControlKind::GroupBox: style |= BS_GROUPBOX; break;
    case res::ControlKind::PushButton: style |= BS_PUSHBUTTON; break;
    case res::ControlKind::Label: style |= SS_LEFT; break;
    // An editable field over an unsorted list.
    case res::ControlKind::ComboBox: style |= CBS_DROPDOWN | NativeStyles(c.style, kComboStyles); break;
    case res::ControlKind::Edit: style |= ES_LEFT | NativeStyles(c.style, kEditStyles); break;
    case res::ControlKind::IpAddress: break;
    }
    return style | NativeStyles(c.style, kWindowStyles);
}

DWORD DialogStyle(const res::DialogTemplate& d)
{
    // DS_SETFONT: the template names its font; dialog units follow from it.
    return WS_POPUP | DS_SETFONT | NativeStyles(d.style, kDialogStyles);
}

DialogTemplateBuffer::DialogTemplateBuffer(const res::DialogTemplate& d, std::wstring_view fontFace)
{
    Header(d, fontFace);
    for (const res::ControlTemplate& c : d.controls)
        Item(c);
}

// DLGTEMPLATEEX: the dialog's styles, size, caption and font.
void DialogTemplateBuffer::Header(const res::DialogTemplate& d, std::wstring_view fontFace)
{
    Word(kDlgTemplateExVersion);
    Word(kDlgTemplateExSignature);
    Styles(DialogStyle(d));
    Word(static_cast<WORD>(d.controls.size()));
    Rect(0, 0, d.cx, d.cy);  // x, y: placed by DS_CENTER or the system
    Word(0);                 // no menu
    Word(0);                 // the standard dialog class
    Text(Widen(d.caption));
    Word(static_cast<WORD>(d.fontPoints));
    Word(kFontWeightNormal);
    Word(MAKEWORD(FALSE, DEFAULT_CHARSET));  // italic, then the character set
    Text(fontFace.empty() ? Widen(d.fontFace) : std::wstring(fontFace));
}

// DLGITEMTEMPLATEEX: one control.
void DialogTemplateBuffer::Item(const res::ControlTemplate& c)
{
    AlignDword();
    Styles(ControlStyle(c));
    Rect(c.rect.x, c.rect.y, c.rect.cx, c.rect.cy);
    Dword(static_cast<DWORD>(c.id));  // -1 for the unnamed labels, as IDC_STATIC
    Text(ControlClassName(c.kind));
    const bool startsEmpty = c.kind == res::ControlKind::Edit || c.kind == res::ControlKind::ComboBox
                             || c.kind == res::ControlKind::IpAddress;
    Text(startsEmpty ? std::wstring() : Widen(c.caption));
    Word(0);  // no creation data
}

void DialogTemplateBuffer::Styles(DWORD style)
{
    Dword(0);  // help id
    Dword(0);  // extended style
    Dword(style);
}

void DialogTemplateBuffer::Rect(int x, int y, int cx, int cy)
{
    for (int v : {x, y, cx, cy})
        Word(static_cast<WORD>(v));
}

void DialogTemplateBuffer::Dword(DWORD d)
{
    Word(LOWORD(d));
    Word(HIWORD(d));
}

void DialogTemplateBuffer::Text(std::wstring_view text)
{
    for (wchar_t ch : text)
        Word(static_cast<WORD>(ch));
    Word(0);
}

void DialogTemplateBuffer::AlignDword()
{
    if (m_words.size() % 2 != 0)
        Word(0);
}

}  // namespace win32
