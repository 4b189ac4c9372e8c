// The dialogs' keys in a real modal run, and the message boxes answered as
// an operator would.
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/support/ScopedHook.h"
#include "tests/ui/GuiTest.h"
#include "tests/ui/MessageBoxProbe.h"
#include "ui/DlgModbus.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct KeyCase {
    const char* name;
    int focusId;
    Qt::Key key;
    int result;
};
void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class ConsoleKeys : public testing::TestWithParam<KeyCase> {
    testsupport::ScopedHook<CDlgModbus::PortCandidates> m_ports{&CDlgModbus::SetPortCandidates, &NoPorts};
};

TEST_P(ConsoleKeys, EndTheModalRun)
{
    const KeyCase& c = GetParam();
    CDlgModbus dlg;
    bool stillOpenBeforeKey = false;
    const int result = RunModal(dlg, [&] {
        stillOpenBeforeKey = Window(dlg).isVisible();
        dlg.GetDlgItem(c.focusId)->SetFocus();
        PressKey(dlg, c.key);
    });
    EXPECT_TRUE(stillOpenBeforeKey);
    EXPECT_EQ(result, c.result);
    EXPECT_FALSE(Window(dlg).isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ConsoleKeys,
    testing::Values(KeyCase{"EscapeInPortBox", IDC_CB_PORT, Qt::Key_Escape, IDCANCEL},
                    KeyCase{"EscapeOnButton", IDC_BTN_OPENPORT, Qt::Key_Escape, IDCANCEL},
                    KeyCase{"EnterInDeviceAddress", IDC_ED_DEVICEADDR, Qt::Key_Return, IDOK},
                    KeyCase{"KeypadEnterInDeviceAddress", IDC_ED_DEVICEADDR, Qt::Key_Enter, IDOK},
                    KeyCase{"EnterInRegisterBox", IDC_CB_WRITEREG, Qt::Key_Return, IDOK},
                    KeyCase{"EnterInAddressField", IDC_IP_ADDRESS, Qt::Key_Return, IDOK},
                    KeyCase{"EnterInReceiveBox", IDC_ED_READREPLY, Qt::Key_Return, IDOK}),
    [](const testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

TEST(ConsoleClose, CloseBoxIsCancel)
{
    testsupport::ScopedHook ports(&CDlgModbus::SetPortCandidates, &NoPorts);
    CDlgModbus dlg;
    EXPECT_EQ(RunModal(dlg, [&] { Window(dlg).close(); }), IDCANCEL);
}

TEST(ConsoleClose, EnterFetchesTheTypedTextsBeforeClosing)
{
    testsupport::ScopedHook ports(&CDlgModbus::SetPortCandidates, &NoPorts);
    CDlgModbus dlg;
    const int result = RunModal(dlg, [&] {
        auto* address = Item<QLineEdit>(dlg, IDC_ED_DEVICEADDR);
        address->setFocus();
        address->end(false);
        QTest::keyClicks(address, QStringLiteral("7"));
        PressKey(dlg, Qt::Key_Return);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_strDeviceAddr, QStringLiteral("17"));
}

// ---- message boxes ----

TEST(AfxMessageBox, ShowsTheTextAloneWithOkExclamationAndTheProgramName)
{
    MessageBoxProbe probe;
    const int answer = AfxMessageBox(ToCString(res::str::kMsgConnectFirst));
    ASSERT_EQ(probe.Count(), 1);
    const SeenMessageBox& box = probe.Last();
    EXPECT_EQ(box.text, U("请先连接设备"));
    EXPECT_EQ(box.caption, QFileInfo(QApplication::applicationFilePath()).completeBaseName());
    EXPECT_EQ(box.caption, QStringLiteral("ui_tests"));
    EXPECT_EQ(box.icon, QMessageBox::Warning);
    EXPECT_EQ(box.buttons, QStringList{U("确定")});
    EXPECT_EQ(answer, IDOK);
}

struct QuestionCase {
    const char* name;
    QMessageBox::StandardButton press;
    int result;
};
void PrintTo(const QuestionCase& c, std::ostream* os) { *os << c.name; }

class DialogQuestion : public testing::TestWithParam<QuestionCase> {};

TEST_P(DialogQuestion, OverTheModalConsoleAnswersOkOrCancel)
{
    testsupport::ScopedHook ports(&CDlgModbus::SetPortCandidates, &NoPorts);
    CDlgModbus dlg;
    int answer = 0;
    MessageBoxProbe probe(GetParam().press);
    RunModal(dlg, [&] {
        answer = dlg.MessageBox(ToCString(res::str::kAskClosePort), ToCString(res::str::kAskClosePortCaption),
                                MB_OKCANCEL | MB_ICONQUESTION);
        EXPECT_TRUE(Window(dlg).isVisible());  // the question does not end the console
    });
    ASSERT_EQ(probe.Count(), 1);
    EXPECT_EQ(probe.Last().text, U("是否关闭串口？"));
    EXPECT_EQ(probe.Last().caption, U("串口"));
    EXPECT_EQ(probe.Last().icon, QMessageBox::Question);
    EXPECT_EQ(probe.Last().buttons, (QStringList{U("确定"), U("取消")}));
    EXPECT_EQ(answer, GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Answers, DialogQuestion,
                         testing::Values(QuestionCase{"Ok", QMessageBox::Ok, IDOK},
                                         QuestionCase{"Cancel", QMessageBox::Cancel, IDCANCEL}),
                         [](const testing::TestParamInfo<QuestionCase>& info) { return info.param.name; });

// A box is wide enough for its caption whole in the title bar, beside the
// bar's window icon and its buttons, as Windows sizes its boxes: a short
// text alone made boxes so narrow that the window manager cut the caption
// to "K… el", or to "…" for "数量错误".
struct CaptionCase {
    const char* name;
    const char* text;
    const char* caption;  // nullptr: AfxMessageBox, the program's name
};
void PrintTo(const CaptionCase& c, std::ostream* os) { *os << c.name; }

class BoxWidth : public testing::TestWithParam<CaptionCase> {};

TEST_P(BoxWidth, ShowsTheCaptionWhole)
{
    const CaptionCase& c = GetParam();
    MessageBoxProbe probe;
    if (c.caption) {
        testsupport::ScopedHook ports(&CDlgModbus::SetPortCandidates, &NoPorts);
        CDlgModbus dlg;
        ASSERT_TRUE(OpenDialog(dlg));
        dlg.MessageBox(c.text, c.caption, MB_OKCANCEL | MB_ICONQUESTION);
    } else {
        AfxMessageBox(c.text);
    }
    ASSERT_EQ(probe.Count(), 1);
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const int titleBar = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    // The caption, the window icon and close, maximise and minimise buttons.
    const int needed = QFontMetrics(titleFont).horizontalAdvance(probe.Last().caption) + 4 * titleBar;
    EXPECT_GE(probe.Last().width, needed) << probe.Last().caption.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, BoxWidth,
    testing::Values(CaptionCase{"ShortWarning", "数量错误", nullptr},
                    CaptionCase{"ShortQuestion", "是否关闭串口？", "串口"},
                    CaptionCase{"LongCaption", "数量错误", "Modbus调试软件 V3 串口连接参数"}),
    [](const testing::TestParamInfo<CaptionCase>& info) { return std::string(info.param.name); });

TEST(DialogMessageBox, DefaultCaptionIsTheProgramName)
{
    CDialog dlg(IDD_DJCQ);
    ASSERT_TRUE(OpenDialog(dlg));
    MessageBoxProbe probe;
    EXPECT_EQ(dlg.MessageBox("写入数据不能为空"), IDOK);
    ASSERT_EQ(probe.Count(), 1);
    EXPECT_EQ(probe.Last().caption, QStringLiteral("ui_tests"));
    EXPECT_EQ(probe.Last().icon, QMessageBox::NoIcon);
}

}  // namespace
