#include "framework/win32/DialogTemplate.h"

#include <commctrl.h>

namespace win32 {

namespace {
constexpr WORD kDlgTemplateExVersion = 1;
constexpr WORD kDlgTemplateExSignature = 0xFFFF;
constexpr WORD kFontWeightNormal = FW_NORMAL;

bool Has(std::uint32_t styles, std::uint32_t flag) { return (styles & flag) != 0; }
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
    case res::ControlKind::ComboBox:
        style |= CBS_DROPDOWN;  // an editable field over an unsorted list
        if (Has(c.style, res::style::kAutoHScroll))
            style |= CBS_AUTOHSCROLL;
        break;
    case res::ControlKind::Edit:
        style |= ES_LEFT;
        if (Has(c.style, res::style::kMultiLine))
            style |= ES_MULTILINE;
        if (Has(c.style, res::style::kReadOnly))
            style |= ES_READONLY;
        if (Has(c.style, res::style::kAutoHScroll))
            style |= ES_AUTOHSCROLL;
        if (Has(c.style, res::style::kAutoVScroll))
            style |= ES_AUTOVSCROLL;
        break;
    case res::ControlKind::IpAddress: break;
    }
    if (Has(c.style, res::style::kTabStop))
        style |= WS_TABSTOP;
    if (Has(c.style, res::style::kGroup))
        style |= WS_GROUP;
    if (Has(c.style, res::style::kBorder))
        style |= WS_BORDER;
    if (Has(c.style, res::style::kVScroll))
        style |= WS_VSCROLL;
    return style;
}

DWORD DialogStyle(const res::DialogTemplate& d)
{
    // DS_SETFONT: the template names its font; dialog units follow from it.
    DWORD style = WS_POPUP | DS_SETFONT;
    if (Has(d.style, res::dlgstyle::kModalFrame))
        style |= DS_MODALFRAME;
    if (Has(d.style, res::dlgstyle::kCaption))
        style |= WS_CAPTION;
    if (Has(d.style, res::dlgstyle::kSysMenu))
        style |= WS_SYSMENU;
    if (Has(d.style, res::dlgstyle::kMinimizeBox))
        style |= WS_MINIMIZEBOX;
    if (Has(d.style, res::dlgstyle::kCenter))
        style |= DS_CENTER;
    return style;
}

DialogTemplateBuffer::DialogTemplateBuffer(const res::DialogTemplate& d, std::wstring_view fontFace)
{
    Word(kDlgTemplateExVersion);
    Word(kDlgTemplateExSignature);
    Dword(0);  // help id
    Dword(0);  // extended style
    Dword(DialogStyle(d));
    Word(static_cast<WORD>(d.controls.size()));
    Word(0);  // x, y: placed by DS_CENTER or the system
    Word(0);
    Word(static_cast<WORD>(d.cx));
    Word(static_cast<WORD>(d.cy));
    Word(0);  // no menu
    Word(0);  // the standard dialog class
    Text(Widen(d.caption));
    Word(static_cast<WORD>(d.fontPoints));
    Word(kFontWeightNormal);
    Word(MAKEWORD(FALSE, DEFAULT_CHARSET));  // italic, then the character set
    Text(fontFace.empty() ? Widen(d.fontFace) : std::wstring(fontFace));

    for (const res::ControlTemplate& c : d.controls) {
        AlignDword();
        Dword(0);  // help id
        Dword(0);  // extended style
        Dword(ControlStyle(c));
        Word(static_cast<WORD>(c.rect.x));
        Word(static_cast<WORD>(c.rect.y));
        Word(static_cast<WORD>(c.rect.cx));
        Word(static_cast<WORD>(c.rect.cy));
        Dword(static_cast<DWORD>(c.id));  // -1 for the unnamed labels, as IDC_STATIC
        Text(ControlClassName(c.kind));
        const bool startsEmpty = c.kind == res::ControlKind::Edit || c.kind == res::ControlKind::ComboBox
                                 || c.kind == res::ControlKind::IpAddress;
        Text(startsEmpty ? std::wstring() : Widen(c.caption));
        Word(0);  // no creation data
    }
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
