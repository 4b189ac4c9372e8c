// The dialog templates of res/ in the form Windows itself reads them
// (DLGTEMPLATEEX), built in memory: Windows then maps the dialog units with
// the template's font, creates the native controls in template order and
// runs the dialog (DialogBoxIndirectParamW, CreateDialogIndirectParamW).
#pragma once

#include "res/DialogTemplates.h"

#include "framework/win32/Windows.h"

#include <string>
#include <string_view>
#include <vector>

namespace win32 {

// UTF-8 (the resources' encoding) to and from the wide text of the W calls.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// The window class Windows creates for a control of this kind.
const wchar_t* ControlClassName(res::ControlKind kind);
// The control's window style: its kind's native style plus what its
// template styles ask for.
DWORD ControlStyle(const res::ControlTemplate& control);
// The dialog's window style.
DWORD DialogStyle(const res::DialogTemplate& dialog);

// The template in memory, DWORD-aligned as the dialog functions need it,
// with `fontFace` in place of the template's font when it is not empty.
class DialogTemplateBuffer {
public:
    explicit DialogTemplateBuffer(const res::DialogTemplate& dialog, std::wstring_view fontFace = {});
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }
    std::size_t Size() const { return m_words.size() * sizeof(WORD); }

private:
    void Header(const res::DialogTemplate& dialog, std::wstring_view fontFace);
    void Item(const res::ControlTemplate& control);
    void Styles(DWORD style);  // help id and extended style (none), then the style
    void Rect(int x, int y, int cx, int cy);

    void Word(WORD w) { m_words.push_back(w); }
    void Dword(DWORD d);
    void Text(std::wstring_view text);  // zero-terminated
    void AlignDword();

    std::vector<WORD> m_words;
};

}  // namespace win32
