// Every template builds into widgets that match its control table: kind,
// caption, rectangle after the dialog-unit mapping, tab order, accessible
// names, and the window's own caption, size and boxes.
#include "res/DialogTemplates.h"
#include "res/Resource.h"
#include "tests/ui/GuiTest.h"

#include <QAccessible>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using res::ControlKind;

// The mapping worked out again from the font, the platform's way.
struct ExpectedUnits {
    explicit ExpectedUnits(const QFont& font)
    {
        const QFontMetrics fm(font);
        baseX = std::lround(
            fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"))
            / 52.0);
        baseY = fm.height();
    }
    int X(int u) const { return static_cast<int>(std::lround(u * baseX / 4.0)); }
    int Y(int u) const { return static_cast<int>(std::lround(u * baseY / 8.0)); }
    long baseX;
    int baseY;
};

bool IsKind(const QWidget* w, ControlKind kind, std::uint32_t style)
{
    switch (kind) {
    case ControlKind::GroupBox: return qobject_cast<const QGroupBox*>(w);
    case ControlKind::Label: return qobject_cast<const QLabel*>(w);
    case ControlKind::ComboBox: return qobject_cast<const ComboBoxWidget*>(w);
    case ControlKind::Edit:
        return (style & res::style::kMultiLine) ? qobject_cast<const MultiLineEdit*>(w) != nullptr
                                                : qobject_cast<const QLineEdit*>(w) != nullptr;
    case ControlKind::PushButton: return qobject_cast<const QPushButton*>(w);
    case ControlKind::IpAddress: return qobject_cast<const IpAddressWidget*>(w);
    }
    return false;
}

// The dialog's own widgets in creation order: the controls.
std::vector<QWidget*> Controls(const CDialog& dlg)
{
    std::vector<QWidget*> out;
    for (QObject* child : Window(dlg).children()) {
        if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow())
            out.push_back(w);
    }
    return out;
}

class TemplateTest : public testing::TestWithParam<int> {};

TEST_P(TemplateTest, EveryControlHasItsKindCaptionAndRectangle)
{
    const res::DialogTemplate* t = res::FindDialogTemplate(GetParam());
    ASSERT_NE(t, nullptr);
    CDialog dlg(t->id);
    ASSERT_TRUE(OpenDialog(dlg));
    const ExpectedUnits du(Window(dlg).font());
    ASSERT_GT(du.baseX, 0);
    ASSERT_GT(du.baseY, 0);

    const std::vector<QWidget*> widgets = Controls(dlg);
    ASSERT_EQ(widgets.size(), t->controls.size());
    for (std::size_t i = 0; i < widgets.size(); ++i) {
        const res::ControlTemplate& c = t->controls[i];
        QWidget* w = widgets[i];
        SCOPED_TRACE(testing::Message()
                     << "control #" << i << " id " << c.id << " \"" << std::string(c.caption) << "\"");
        EXPECT_TRUE(IsKind(w, c.kind, c.style));
        EXPECT_TRUE(w->isVisible());
        if (c.id != IDC_STATIC) {
            ASSERT_NE(dlg.GetDlgItem(c.id), nullptr);
            EXPECT_EQ(Widget(dlg, c.id), w);
        }
        if (c.kind == ControlKind::GroupBox || c.kind == ControlKind::Label
            || c.kind == ControlKind::PushButton) {
            EXPECT_EQ(ControlText(w), ToCString(c.caption));
        } else if (c.kind != ControlKind::IpAddress) {
            EXPECT_EQ(ControlText(w), QString());
        }
        const QRect g = w->geometry();
        EXPECT_EQ(g.x(), du.X(c.rect.x));
        EXPECT_EQ(g.y(), du.Y(c.rect.y));
        EXPECT_EQ(g.width(), du.X(c.rect.cx));
        if (c.kind == ControlKind::ComboBox) {
            // The template gives the opened list's height; the field is shorter.
            EXPECT_GT(g.height(), 0);
            EXPECT_LE(g.height(), du.Y(c.rect.cy));
        } else {
            EXPECT_EQ(g.height(), du.Y(c.rect.cy));
            EXPECT_EQ(ToQRect(dlg.MapDialogRect(c.rect)), g);
        }
        if (auto* button = qobject_cast<QPushButton*>(w)) {
            EXPECT_FALSE(button->isDefault());
            EXPECT_FALSE(button->autoDefault());
        }
    }
}

TEST_P(TemplateTest, TabOrderIsTemplateOrder)
{
    const res::DialogTemplate* t = res::FindDialogTemplate(GetParam());
    CDialog dlg(t->id);
    ASSERT_TRUE(OpenDialog(dlg));
    std::vector<int> tabStops;
    for (const res::ControlTemplate& c : t->controls) {
        if (c.style & res::style::kTabStop)
            tabStops.push_back(c.id);
    }
    ASSERT_FALSE(tabStops.empty());
    // The first tab stop has the focus when the dialog opens.
    ASSERT_EQ(FocusedControl(dlg), Widget(dlg, tabStops.front()));
    for (std::size_t i = 1; i <= tabStops.size(); ++i) {
        PressKey(dlg, Qt::Key_Tab);
        const int expected = tabStops[i % tabStops.size()];
        EXPECT_EQ(FocusedControl(dlg), Widget(dlg, expected)) << "Tab #" << i << " to " << expected;
    }
    for (std::size_t i = tabStops.size(); i-- > 0;) {
        PressKey(dlg, Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(FocusedControl(dlg), Widget(dlg, tabStops[i])) << "Shift+Tab to " << tabStops[i];
    }
}

TEST_P(TemplateTest, FieldsCarryTheirLabelsAsAccessibleNames)
{
    const res::DialogTemplate* t = res::FindDialogTemplate(GetParam());
    CDialog dlg(t->id);
    ASSERT_TRUE(OpenDialog(dlg));
    const std::vector<QWidget*> widgets = Controls(dlg);
    std::map<int, QString> names;
    for (const res::ControlTemplate& c : t->controls) {
        if (c.labelFor != 0)
            names[c.labelFor] = ToQString(ToCString(c.caption));
    }
    for (const res::ControlTemplate& c : t->controls) {
        if (c.kind != ControlKind::Edit && c.kind != ControlKind::ComboBox
            && c.kind != ControlKind::IpAddress)
            continue;
        SCOPED_TRACE(testing::Message() << "control " << c.id);
        ASSERT_TRUE(names.count(c.id)) << "no label names this field";
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(Widget(dlg, c.id));
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->text(QAccessible::Name), names[c.id]);
    }
    // Labels and displays read out their text; the tree follows template order.
    QAccessibleInterface* dialog = QAccessible::queryAccessibleInterface(&Window(dlg));
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->childCount(), static_cast<int>(widgets.size()));
    for (int i = 0; i < dialog->childCount(); ++i) {
        QAccessibleInterface* child = dialog->child(i);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child->object(), widgets[static_cast<std::size_t>(i)]) << "child " << i;
        if (auto* label = qobject_cast<QLabel*>(widgets[static_cast<std::size_t>(i)])) {
            EXPECT_EQ(child->role(), QAccessible::StaticText);
            EXPECT_EQ(child->text(QAccessible::Name), label->text());
        }
    }
}

TEST_P(TemplateTest, WindowHasItsCaptionFixedSizeAndBoxes)
{
    const res::DialogTemplate* t = res::FindDialogTemplate(GetParam());
    CDialog dlg(t->id);
    ASSERT_TRUE(OpenDialog(dlg));
    const ExpectedUnits du(Window(dlg).font());
    EXPECT_EQ(Window(dlg).windowTitle(), ToCString(t->caption));
    const QSize client(du.X(t->cx), du.Y(t->cy));
    EXPECT_EQ(Window(dlg).size(), client);
    EXPECT_EQ(Window(dlg).minimumSize(), client);
    EXPECT_EQ(Window(dlg).maximumSize(), client);
    const Qt::WindowFlags flags = Window(dlg).windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(flags.testFlag(Qt::WindowMinimizeButtonHint), t->id == IDD_MODBUS);
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateTest, testing::Values(IDD_MODBUS, IDD_DJCQ, IDD_PLSC),
                         [](const testing::TestParamInfo<int>& info) {
                             return "IDD_" + std::to_string(info.param);
                         });

TEST(DialogFont, IsAnInstalledCjkFaceAtNinePoints)
{
    CDialog dlg(IDD_MODBUS);
    ASSERT_TRUE(OpenDialog(dlg));
    EXPECT_EQ(Window(dlg).font().pointSize(), res::kDialogFontPoints);
    const QFontMetrics fm(Window(dlg).font());
    // Every character of the console's texts has a glyph in the font.
    for (const res::ControlTemplate& c : res::FindDialogTemplate(IDD_MODBUS)->controls) {
        for (QChar ch : ToQString(ToCString(c.caption)))
            EXPECT_TRUE(fm.inFont(ch)) << std::string(c.caption);
    }
}

TEST(DialogPlacement, OpensCentredOnTheScreen)
{
    CDialog dlg(IDD_DJCQ);  // smaller than the test screen
    ASSERT_TRUE(OpenDialog(dlg));
    const QRect screen = Window(dlg).screen()->availableGeometry();
    ASSERT_LT(Window(dlg).frameGeometry().width(), screen.width());
    EXPECT_LE(std::abs(Window(dlg).frameGeometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(Window(dlg).frameGeometry().center().y() - screen.center().y()), 1);
}

TEST(DialogTemplate, UnknownNumberFailsTheModalRun)
{
    CDialog dlg(4242);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_FALSE(dlg.Create());
}

}  // namespace
