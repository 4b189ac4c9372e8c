// The templates of res/ as Windows builds them: under Wine on Xvfb, each
// dialog is created from its in-memory template and its native controls are
// compared with the template, one by one, in template order.

// The framework's headers before <windows.h>, as the framework includes them.
#include "framework/Afx.h"
#include "framework/win32/Native.h"

#include "framework/win32/DialogTemplate.h"
#include "res/DialogTemplates.h"
#include "res/Resource.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

namespace {

INT_PTR CALLBACK PassiveDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

std::wstring ClassOf(HWND hwnd)
{
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

// The child's rectangle in the dialog's client coordinates.
RECT PlacedRect(HWND dialog, HWND child)
{
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Position and size mapped one by one, as Windows places a template's
// controls (mapping the right edge instead can differ by a pixel).
RECT Mapped(HWND dialog, const res::DlgRect& d)
{
    RECT r{d.x, d.y, d.cx, d.cy};
    MapDialogRect(dialog, &r);
    return {r.left, r.top, r.left + r.right, r.top + r.bottom};
}

// The dialog's direct children, in creation (= tab) order.
std::vector<HWND> Children(HWND dialog)
{
    std::vector<HWND> children;
    for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
        children.push_back(c);
    return children;
}

class DialogTemplate : public ::testing::TestWithParam<int> {
protected:
    static void SetUpTestSuite() { AfxWinInit(); }
    void SetUp() override
    {
        m_template = res::FindDialogTemplate(GetParam());
        ASSERT_NE(m_template, nullptr);
        m_buffer = std::make_unique<win32::DialogTemplateBuffer>(*m_template);
        m_dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), m_buffer->Get(), nullptr,
                                              PassiveDialogProc, 0);
        ASSERT_NE(m_dialog, nullptr) << "CreateDialogIndirectParamW failed, error " << GetLastError();
    }
    void TearDown() override
    {
        if (m_dialog != nullptr)
            DestroyWindow(m_dialog);
    }

    const res::DialogTemplate* m_template = nullptr;
    std::unique_ptr<win32::DialogTemplateBuffer> m_buffer;
    HWND m_dialog = nullptr;
};

TEST_P(DialogTemplate, WindowHasTheCaptionAndTheClientSize)
{
    EXPECT_EQ(win32::Narrow(win32::WindowText(m_dialog)), m_template->caption);
    RECT client{};
    GetClientRect(m_dialog, &client);
    const RECT expected = Mapped(m_dialog, {0, 0, m_template->cx, m_template->cy});
    EXPECT_EQ(client.right, expected.right);
    EXPECT_EQ(client.bottom, expected.bottom);
    const LONG style = GetWindowLongW(m_dialog, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU) << "a close box";
    EXPECT_FALSE(style & WS_THICKFRAME) << "not resizable";
}

TEST_P(DialogTemplate, EveryControlIsANativeChildAtItsTemplateRectangle)
{
    const std::vector<HWND> children = Children(m_dialog);
    ASSERT_EQ(children.size(), m_template->controls.size());
    for (std::size_t i = 0; i < children.size(); ++i) {
        const res::ControlTemplate& c = m_template->controls[i];
        const HWND child = children[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string(c.id) + ", \""
                     + std::string(c.caption) + "\")");
        EXPECT_EQ(_wcsicmp(ClassOf(child).c_str(), win32::ControlClassName(c.kind)), 0)
            << win32::Narrow(ClassOf(child));
        if (c.id != -1) {
            EXPECT_EQ(GetDlgCtrlID(child), c.id);
        }

        const RECT placed = PlacedRect(m_dialog, child);
        const RECT expected = Mapped(m_dialog, c.rect);
        EXPECT_EQ(placed.left, expected.left);
        EXPECT_EQ(placed.top, expected.top);
        EXPECT_EQ(placed.right, expected.right);
        // A drop-down combo's template height is that of its open list.
        if (c.kind != res::ControlKind::ComboBox) {
            EXPECT_EQ(placed.bottom, expected.bottom);
        }

        const bool startsEmpty = c.kind == res::ControlKind::Edit || c.kind == res::ControlKind::ComboBox;
        if (c.kind != res::ControlKind::IpAddress) {
            EXPECT_EQ(win32::Narrow(win32::WindowText(child)),
                      startsEmpty ? std::string() : std::string(c.caption));
        }

        const LONG style = GetWindowLongW(child, GWL_STYLE);
        EXPECT_EQ((style & WS_TABSTOP) != 0, (c.style & res::style::kTabStop) != 0);
        if (c.kind == res::ControlKind::ComboBox) {
            EXPECT_EQ(style & 0x3, CBS_DROPDOWN);
        }
        if (c.kind == res::ControlKind::PushButton) {
            EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON) << "no default button";
        }
    }
}

TEST_P(DialogTemplate, DialogFontIsTheTemplatesChineseFont)
{
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(m_dialog, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW lf{};
    ASSERT_NE(GetObjectW(font, sizeof lf, &lf), 0);
    EXPECT_EQ(win32::Narrow(lf.lfFaceName), m_template->fontFace);
}

INSTANTIATE_TEST_SUITE_P(Templates, DialogTemplate, ::testing::Values(IDD_MODBUS, IDD_DJCQ, IDD_PLSC),
                         [](const auto& info) { return "Template" + std::to_string(info.param); });

}  // namespace
