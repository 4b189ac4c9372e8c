// Dialog units to pixels, from the dialog font's own metrics as Windows
// maps them: horizontal units are a quarter of the average character width,
// vertical units an eighth of the character height.
#pragma once

#include "res/DialogTemplates.h"

#include <QFont>
#include <QRect>

#include <string_view>

// The template's font. "宋体" is not on Linux: an installed CJK font at the
// same point size stands in for it, so the Chinese texts render.
QFont DialogFont(std::string_view face, int points);

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int BaseY() const { return m_baseY; }  // character height, pixels

    int X(int units) const;
    int Y(int units) const;
    QRect MapDialogRect(const res::DlgRect& r) const;

private:
    int m_baseX;
    int m_baseY;
};
