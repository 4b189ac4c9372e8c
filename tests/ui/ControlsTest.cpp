// The controls' own behaviour: combo-box selection and notifications, the
// address field, the multi-line box's text, data exchange and the message map.
#include "res/DialogTemplates.h"
#include "res/Resource.h"
#include "tests/support/ScopedHook.h"
#include "tests/ui/GuiTest.h"
#include "ui/DlgModbus.h"

#include <QAbstractItemView>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <ostream>

namespace {

constexpr int kConsoleCombos[] = {IDC_CB_PORT,     IDC_CB_BAUD,     IDC_CB_PARITY, IDC_CB_DATABITS,
                                  IDC_CB_STOPBITS, IDC_CB_WRITEREG, IDC_CB_READREG};

// A console whose port list is known to be empty (no probing of the
// machine's ports, which other programs may be using).
class ConsoleFixture : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(OpenDialog(dlg)); }

    CComboBox& Member(int id)
    {
        switch (id) {
        case IDC_CB_PORT: return dlg.m_cbPort;
        case IDC_CB_BAUD: return dlg.m_cbBaud;
        case IDC_CB_PARITY: return dlg.m_cbParity;
        case IDC_CB_DATABITS: return dlg.m_cbDataBits;
        case IDC_CB_STOPBITS: return dlg.m_cbStopBits;
        case IDC_CB_WRITEREG: return dlg.m_cbWriteReg;
        default: return dlg.m_cbReadReg;
        }
    }

    testsupport::ScopedHook<CDlgModbus::PortCandidates> m_ports{&CDlgModbus::SetPortCandidates, &NoPorts};
    CDlgModbus dlg;
};

using ComboSemantics = ConsoleFixture;

TEST_F(ComboSemantics, ProgramSelectionAndFillingNotifyNobody)
{
    for (int id : kConsoleCombos) {
        SCOPED_TRACE(id);
        auto* combo = Item<ComboBoxWidget>(dlg, id);
        QSignalSpy sel(combo, &ComboBoxWidget::selectionChanged);
        QSignalSpy edit(combo, &ComboBoxWidget::editTextChanged);
        CComboBox& cb = Member(id);
        cb.AddString("X1");
        EXPECT_EQ(cb.SetCurSel(cb.GetCount() - 1), cb.GetCount() - 1);
        EXPECT_EQ(cb.GetWindowText(), QStringLiteral("X1"));
        cb.SetCurSel(0);
        cb.SetWindowText("typed by program");
        cb.ResetContent();
        EXPECT_EQ(sel.count(), 0);
        EXPECT_EQ(edit.count(), 0);
    }
    // The labels therefore keep their template captions.
    EXPECT_EQ(dlg.m_stWriteRegName.GetWindowText(), U("内置播放模式"));
    EXPECT_EQ(dlg.m_stReadRegName.GetWindowText(), U("读取内置播放模式"));
}

TEST_F(ComboSemantics, TypingClearsTheSelectionUntilAnItemIsPicked)
{
    for (int id : kConsoleCombos) {
        SCOPED_TRACE(id);
        auto* combo = Item<ComboBoxWidget>(dlg, id);
        CComboBox& cb = Member(id);
        while (cb.GetCount() < 2)
            cb.AddString("extra");
        cb.SetCurSel(0);
        QSignalSpy sel(combo, &ComboBoxWidget::selectionChanged);
        QSignalSpy edit(combo, &ComboBoxWidget::editTextChanged);

        combo->lineEdit()->selectAll();
        TypeInto(combo, QStringLiteral("1F"));
        EXPECT_EQ(cb.GetWindowText(), QStringLiteral("1F"));  // typed text is accepted
        EXPECT_EQ(cb.GetCurSel(), CB_ERR);
        EXPECT_EQ(edit.count(), 2);  // one per keystroke
        EXPECT_EQ(sel.count(), 0);
        EXPECT_EQ(combo->count(), cb.GetCount());  // nothing inserted

        ASSERT_TRUE(PickFromList(combo, 1));
        EXPECT_EQ(cb.GetCurSel(), 1);
        CString item;
        cb.GetLBText(1, item);
        EXPECT_EQ(cb.GetWindowText(), item);
        EXPECT_EQ(sel.count(), 1);
        EXPECT_EQ(edit.count(), 2);
    }
}

TEST_F(ComboSemantics, TypingAnItemsTextSelectsNothingAndNothingCompletes)
{
    auto* combo = Item<ComboBoxWidget>(dlg, IDC_CB_WRITEREG);
    combo->lineEdit()->selectAll();
    TypeInto(combo, QStringLiteral("0"));
    EXPECT_EQ(combo->lineEdit()->text(), QStringLiteral("0"));  // no inline completion to "01"
    QSignalSpy sel(combo, &ComboBoxWidget::selectionChanged);
    TypeInto(combo, QStringLiteral("B"));
    EXPECT_EQ(dlg.m_cbWriteReg.GetWindowText(), QStringLiteral("0B"));
    EXPECT_EQ(dlg.m_cbWriteReg.GetCurSel(), CB_ERR);
    // Leaving the field does not pick the item that matches it either.
    PressKey(dlg, Qt::Key_Tab);
    ASSERT_NE(FocusedControl(dlg), combo);
    EXPECT_EQ(dlg.m_cbWriteReg.GetCurSel(), CB_ERR);
    EXPECT_EQ(sel.count(), 0);
}

TEST_F(ComboSemantics, EnterAfterTypingAnItemsTextIsOkNotASelection)
{
    auto* combo = Item<ComboBoxWidget>(dlg, IDC_CB_WRITEREG);
    QSignalSpy sel(combo, &ComboBoxWidget::selectionChanged);
    combo->lineEdit()->selectAll();
    TypeInto(combo, QStringLiteral("0B"));
    PressKey(dlg, Qt::Key_Return);
    EXPECT_EQ(sel.count(), 0);
    EXPECT_EQ(dlg.m_cbWriteReg.GetCurSel(), CB_ERR);
    EXPECT_EQ(combo->count(), 16);  // nothing inserted
    EXPECT_FALSE(Window(dlg).isVisible());
    EXPECT_EQ(Window(dlg).result(), IDOK);
}

TEST_F(ComboSemantics, OutOfRangeSelectionClearsFieldAndFails)
{
    EXPECT_EQ(dlg.m_cbBaud.SetCurSel(99), CB_ERR);
    EXPECT_EQ(dlg.m_cbBaud.GetCurSel(), CB_ERR);
    EXPECT_EQ(dlg.m_cbBaud.GetWindowText(), QString());
    EXPECT_EQ(dlg.m_cbBaud.SetCurSel(-1), CB_ERR);
    CString text = "stale";
    dlg.m_cbBaud.GetLBText(99, text);
    EXPECT_EQ(text, QString());
}

// ---- the address field ----

struct IpCase {
    const char* name;
    const char* typed;
    const char* text;
};
void PrintTo(const IpCase& c, std::ostream* os) { *os << c.name; }

class IpAddressTyping : public ConsoleFixture, public testing::WithParamInterface<IpCase> {};

TEST_P(IpAddressTyping, ReadsDottedDecimal)
{
    auto* ip = Item<IpAddressWidget>(dlg, IDC_IP_ADDRESS);
    ip->setFocus();
    // Each key goes to the field the control moved the focus to.
    TypeAtFocus(dlg, QString::fromLatin1(GetParam().typed));
    EXPECT_EQ(dlg.m_ipAddress.GetWindowText(), QString::fromLatin1(GetParam().text));
    EXPECT_EQ(dlg.m_ipAddress.IsBlank(), GetParam().typed[0] == '\0' ? TRUE : FALSE);
}

INSTANTIATE_TEST_SUITE_P(Cases, IpAddressTyping,
                         testing::Values(IpCase{"Blank", "", "0.0.0.0"},
                                         IpCase{"DotsMoveOn", "192.168.1.20", "192.168.1.20"},
                                         IpCase{"ThreeDigitsMoveOn", "1921681", "192.168.1.0"},
                                         IpCase{"BlankFieldsReadZero", "10", "10.0.0.0"},
                                         IpCase{"DotOnEmptyFieldStays", "10..5", "10.5.0.0"},
                                         IpCase{"OctetAbove255Clamps", "300", "255.0.0.0"},
                                         IpCase{"LettersRefused", "a1b", "1.0.0.0"},
                                         IpCase{"LeadingZerosDropped", "007.1", "7.1.0.0"}),
                         [](const testing::TestParamInfo<IpCase>& info) { return info.param.name; });

TEST(IpAddressWidget, SetTextFillsFieldsAndBlanksTheRest)
{
    IpAddressWidget ip;
    ip.setText(QStringLiteral("1.2.3"));
    EXPECT_EQ(ip.text(), QStringLiteral("1.2.3.0"));
    EXPECT_EQ(ip.field(3)->text(), QString());
    ip.setText(QStringLiteral("1.x.256.4"));
    EXPECT_EQ(ip.text(), QStringLiteral("1.0.0.4"));
    ip.setText(QString());
    EXPECT_TRUE(ip.isBlank());
}

// ---- multi-line text and data exchange ----

class OutputDialog : public CDialog {
public:
    OutputDialog() : CDialog(IDD_PLSC) {}
    CString m_strStart;
    CString m_strOutput;
    int m_nStartChanges = 0;
    int m_nGenerateClicks = 0;
    int m_nTypeSelChanges = 0;
    int m_nTypeEditChanges = 0;

protected:
    void DeclareMessageMap() override
    {
        ON_EN_CHANGE(IDC_PLSC_STARTSEG, &OutputDialog::OnChangeStart);
        ON_BN_CLICKED(IDC_PLSC_GENERATE, &OutputDialog::OnGenerate);
        ON_CBN_SELCHANGE(IDC_PLSC_TYPE, &OutputDialog::OnSelChangeType);
        ON_CBN_EDITCHANGE(IDC_PLSC_TYPE, &OutputDialog::OnEditChangeType);
    }
    void DoDataExchange(CDataExchange* pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Text(pDX, IDC_PLSC_STARTSEG, m_strStart);
        DDX_Text(pDX, IDC_PLSC_OUTPUT, m_strOutput);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        GetDlgItem(IDC_PLSC_TYPE)->SetWindowText(CString());
        auto* type = qobject_cast<ComboBoxWidget*>(Widget(*this, IDC_PLSC_TYPE));
        type->appendItem(QStringLiteral("Modbus"));
        type->appendItem(U("普通"));
        return TRUE;
    }

private:
    void OnChangeStart() { ++m_nStartChanges; }
    void OnGenerate() { ++m_nGenerateClicks; }
    void OnSelChangeType() { ++m_nTypeSelChanges; }
    void OnEditChangeType() { ++m_nTypeEditChanges; }
};

TEST(MultiLineBox, KeepsCrLfTextExactlyAndShowsEachFrameOnOneLine)
{
    OutputDialog dlg;
    ASSERT_TRUE(OpenDialog(dlg));
    const QString text =
        QStringLiteral("Modbus:\r\n01 06 00 04 00 01 09 CB \r\n01 06 00 04 00 02 49 CA \r\n");
    dlg.m_strOutput = FromQString(text);
    dlg.UpdateData(FALSE);
    dlg.m_strOutput.Empty();
    dlg.UpdateData(TRUE);
    EXPECT_EQ(dlg.m_strOutput, text);

    auto* box = Item<MultiLineEdit>(dlg, IDC_PLSC_OUTPUT);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_EQ(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(box->document()->blockCount(), 4);  // three lines and the empty one after the last CR LF
    QTextBlock frame = box->document()->findBlockByNumber(1);
    EXPECT_EQ(frame.text(), QStringLiteral("01 06 00 04 00 01 09 CB "));
    ASSERT_NE(frame.layout(), nullptr);
    EXPECT_EQ(frame.layout()->lineCount(), 1);
}

TEST(DataExchange, MovesTextBothWaysAndLeavesEqualTextAlone)
{
    OutputDialog dlg;
    ASSERT_TRUE(OpenDialog(dlg));
    auto* start = Item<QLineEdit>(dlg, IDC_PLSC_STARTSEG);
    ASSERT_EQ(dlg.m_nStartChanges, 0);  // the first transfer wrote equal (empty) text

    TypeInto(start, QStringLiteral("12"));
    EXPECT_EQ(dlg.m_nStartChanges, 2);
    EXPECT_TRUE(dlg.m_strStart.IsEmpty());  // not fetched yet
    dlg.UpdateData(TRUE);
    EXPECT_EQ(dlg.m_strStart, QStringLiteral("12"));

    dlg.UpdateData(FALSE);  // same text: no change notification
    EXPECT_EQ(dlg.m_nStartChanges, 2);
    dlg.m_strStart = "200";
    dlg.UpdateData(FALSE);  // new text from the program notifies, as typing does
    EXPECT_EQ(start->text(), QStringLiteral("200"));
    EXPECT_EQ(dlg.m_nStartChanges, 3);
}

TEST(MessageMap, OperatorActionsReachTheirHandlers)
{
    OutputDialog dlg;
    ASSERT_TRUE(OpenDialog(dlg));
    auto* generate = Item<QPushButton>(dlg, IDC_PLSC_GENERATE);
    QTest::mouseClick(generate, Qt::LeftButton);
    EXPECT_EQ(dlg.m_nGenerateClicks, 1);

    // Enter on a focused push button clicks it and keeps the dialog open.
    generate->setFocus();
    PressKey(dlg, Qt::Key_Return);
    EXPECT_EQ(dlg.m_nGenerateClicks, 2);
    EXPECT_TRUE(Window(dlg).isVisible());
    PressKey(dlg, Qt::Key_Space);
    EXPECT_EQ(dlg.m_nGenerateClicks, 3);

    auto* type = Item<ComboBoxWidget>(dlg, IDC_PLSC_TYPE);
    TypeInto(type, QStringLiteral("M"));
    EXPECT_EQ(dlg.m_nTypeEditChanges, 1);
    ASSERT_TRUE(PickFromList(type, 1));
    EXPECT_EQ(dlg.m_nTypeSelChanges, 1);
    EXPECT_EQ(dlg.m_nTypeEditChanges, 1);
    EXPECT_TRUE(Window(dlg).isVisible());
}

// Linux port names outgrow the port box the template made for "COM3": the
// box keeps its place and width, its list shows every name whole, and the
// state line shows the settings whole within its group box.
using LongPortNames = ConsoleFixture;

TEST_F(LongPortNames, ListAndStateLineShowThemWhole)
{
    for (const char* name : {"ttyUSB12", "ttyKT4194304x12a", "ttyS0"})
        dlg.m_cbPort.AddString(name);

    auto* port = Item<ComboBoxWidget>(dlg, IDC_CB_PORT);
    ASSERT_NE(port, nullptr);
    const QRect field = port->geometry();
    port->showPopup();
    QAbstractItemView* list = port->view();
    ASSERT_TRUE(list->isVisible());
    for (int i = 0; i < port->count(); ++i) {
        const QString name = port->itemText(i);
        // The item view's text margins: the focus frame's, and one pixel, each side.
        const int margin = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
        EXPECT_GE(list->viewport()->width(), list->fontMetrics().horizontalAdvance(name) + margin)
            << name.toStdString() << " is cut";
    }
    port->hidePopup();
    EXPECT_EQ(port->geometry(), field) << "the box keeps the template's geometry";

    auto* status = Item<QLabel>(dlg, IDC_ST_STATUS);
    ASSERT_NE(status, nullptr);
    const QRect closed = status->geometry();
    QWidget* group = nullptr;
    for (auto* box : NativeDialog(dlg)->findChildren<QGroupBox*>())
        if (box->title() == U("串口连接参数"))
            group = box;
    ASSERT_NE(group, nullptr);
    for (const char* line : {"ttyUSB12 115200 8 无校验 1", "ttyKT4194304x12a 115200 8 无校验 1"}) {
        dlg.m_strStatus = line;
        dlg.UpdateData(FALSE);
        EXPECT_GE(status->width(), status->sizeHint().width()) << line << " is cut";
        EXPECT_EQ(status->pos(), closed.topLeft());
        EXPECT_LE(status->geometry().right(), group->geometry().right()) << line << " leaves its group box";
    }
    dlg.m_strStatus = "串口关闭状态";
    dlg.UpdateData(FALSE);
    EXPECT_EQ(status->geometry(), closed) << "back to the template's width";
}

}  // namespace
