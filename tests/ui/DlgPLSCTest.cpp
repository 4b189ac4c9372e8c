// The batch frame generator on real widgets: the lists it starts with, the
// text it lists (frames worked out by hand), its messages in their order,
// the 200 limit of the segment boxes, and the console handing over the
// address its box shows.
#include "ui/DlgPLSC.h"
#include "res/Resource.h"
#include "tests/support/ScopedHook.h"
#include "tests/ui/GuiTest.h"
#include "tests/ui/MessageBoxProbe.h"
#include "tests/ui/ToolDialog.h"
#include "ui/DlgModbus.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

namespace {

constexpr int kPlay = 0;      // instruction list: "放音"
constexpr int kLoopPlay = 1;  // "循环放音"
constexpr int kModbus = 0;    // type list: "Modbus"
constexpr int kPlain = 1;     // "普通"

// A reversed or far too long range must be refused at once, not listed.
constexpr qint64 kPromptAnswerMs = 2000;

void Enter(CDialog& dlg, int id, const QString& text)
{
    auto* edit = Item<QLineEdit>(dlg, id);
    edit->clear();
    if (!text.isEmpty())
        TypeInto(edit, text);
}

QString Output(const CDialog& dlg) { return Item<MultiLineEdit>(dlg, IDC_PLSC_OUTPUT)->text(); }

void PressGenerate(CDialog& dlg)
{
    QTest::mouseClick(Item<QPushButton>(dlg, IDC_PLSC_GENERATE), Qt::LeftButton);
}

class BatchGenerator : public testing::Test {
protected:
    void SetUp() override
    {
        m_dlg.m_strDeviceAddr = "1";
        ASSERT_TRUE(OpenDialog(m_dlg));
    }

    // The operator's choices; no message may come up on the way.
    void Choose(int instruction, int type, const QString& start, const QString& end)
    {
        MessageBoxProbe probe;
        ASSERT_TRUE(PickFromList(Item<ComboBoxWidget>(m_dlg, IDC_PLSC_INSTRUCTION), instruction));
        ASSERT_TRUE(PickFromList(Item<ComboBoxWidget>(m_dlg, IDC_PLSC_TYPE), type));
        Enter(m_dlg, IDC_PLSC_STARTSEG, start);
        Enter(m_dlg, IDC_PLSC_ENDSEG, end);
        ASSERT_EQ(probe.Count(), 0) << probe.Last().text.toStdString();
    }

    CDlgPLSC m_dlg;
};

TEST_F(BatchGenerator, StartsWithPlayAndModbusAndEmptyBoxes)
{
    EXPECT_EQ(ListItems(m_dlg.m_cbInstruction), QStringList({U("放音"), U("循环放音")}));
    EXPECT_EQ(m_dlg.m_cbInstruction.GetCurSel(), kPlay);
    EXPECT_EQ(m_dlg.m_cbInstruction.GetWindowText(), U("放音"));
    EXPECT_EQ(ListItems(m_dlg.m_cbType), QStringList({"Modbus", U("普通")}));
    EXPECT_EQ(m_dlg.m_cbType.GetCurSel(), kModbus);
    EXPECT_EQ(m_dlg.m_cbType.GetWindowText(), "Modbus");
    for (int id : {IDC_PLSC_STARTSEG, IDC_PLSC_ENDSEG})
        EXPECT_TRUE(Item<QLineEdit>(m_dlg, id)->text().isEmpty()) << id;
    EXPECT_TRUE(Output(m_dlg).isEmpty());
    EXPECT_EQ(FocusedControl(m_dlg), Item<QLineEdit>(m_dlg, IDC_PLSC_STARTSEG));
    EXPECT_EQ(Window(m_dlg).windowTitle(), U("批量生成"));
}

TEST_F(BatchGenerator, ListsOneFrameLinePerSegment)
{
    struct Row {
        const char* name;
        int instruction;
        int type;
        const char* start;
        const char* end;
        const char* text;
    };
    const Row rows[] = {
        {"Modbus play 1 to 2", kPlay, kModbus, "1", "2",
         "Modbus:\r\n01 06 00 04 00 01 09 CB \r\n01 06 00 04 00 02 49 CA \r\n"},
        {"plain loop play 1 to 2", kLoopPlay, kPlain, "1", "2",
         "普通:\r\nF0 01 06 0B 01 03 \r\nF0 01 06 0B 02 04 \r\n"},
        {"Modbus play segment 200", kPlay, kModbus, "200", "200", "Modbus:\r\n01 06 00 04 00 C8 C9 9D \r\n"},
        {"start equal to end; the plain checksum keeps its low byte", kPlay, kPlain, "5", "5",
         "普通:\r\nF0 01 06 04 05 00 \r\n"},
        {"-1 to 1: segment bytes FF, 00, 01", kPlay, kPlain, "-1", "1",
         "普通:\r\nF0 01 06 04 FF FA \r\nF0 01 06 04 00 FB \r\nF0 01 06 04 01 FC \r\n"},
        {"abc reads as 0", kPlay, kPlain, "abc", "0", "普通:\r\nF0 01 06 04 00 FB \r\n"},
        {"12ab reads as 12", kPlay, kPlain, "12ab", "12", "普通:\r\nF0 01 06 04 0C 07 \r\n"},
        {"a blank reads as 0", kPlay, kPlain, " ", "0", "普通:\r\nF0 01 06 04 00 FB \r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Choose(row.instruction, row.type, U(row.start), U(row.end));
        MessageBoxProbe probe;
        PressGenerate(m_dlg);
        EXPECT_EQ(probe.Count(), 0);
        EXPECT_EQ(Output(m_dlg), U(row.text));
        EXPECT_EQ(m_dlg.m_strOutput, U(row.text));
    }
}

TEST_F(BatchGenerator, TypedListTextCountsAsLoopPlayAndPlain)
{
    Choose(kPlay, kModbus, "1", "1");
    // Typing into a list's field leaves no item selected.
    TypeInto(Item<ComboBoxWidget>(m_dlg, IDC_PLSC_INSTRUCTION), "x");
    TypeInto(Item<ComboBoxWidget>(m_dlg, IDC_PLSC_TYPE), "x");
    PressGenerate(m_dlg);
    EXPECT_EQ(Output(m_dlg), U("普通:\r\nF0 01 06 0B 01 03 \r\n"));
}

TEST_F(BatchGenerator, FullRangeListsTwoHundredAndOneLinesShownOneFramePerLine)
{
    Choose(kPlay, kModbus, "0", "200");
    PressGenerate(m_dlg);
    const QStringList lines = Output(m_dlg).split("\r\n");
    ASSERT_EQ(lines.size(), 1 + 201 + 1);  // header, frames, nothing after the last CR LF
    EXPECT_EQ(lines.front(), "Modbus:");
    EXPECT_EQ(lines[1], "01 06 00 04 00 00 C8 0B ");
    EXPECT_EQ(lines[201], "01 06 00 04 00 C8 C9 9D ");
    EXPECT_TRUE(lines.back().isEmpty());

    // On screen: one block per line, with no CR or other stray character.
    auto* box = Item<MultiLineEdit>(m_dlg, IDC_PLSC_OUTPUT);
    const QTextDocument* doc = box->document();
    ASSERT_EQ(doc->blockCount(), lines.size());
    for (int i = 0; i < doc->blockCount(); ++i)
        ASSERT_EQ(doc->findBlockByNumber(i).text(), lines[i]) << "line " << i;
    EXPECT_TRUE(box->isReadOnly());

    // The operator selects it all and copies it.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), lines.join('\n'));
    EXPECT_EQ(Output(m_dlg).split("\r\n"), lines) << "copying changes nothing";
}

TEST_F(BatchGenerator, PressingTwiceShowsTheTextOnce)
{
    Choose(kLoopPlay, kPlain, "1", "2");
    PressGenerate(m_dlg);
    PressGenerate(m_dlg);
    EXPECT_EQ(Output(m_dlg), U("普通:\r\nF0 01 06 0B 01 03 \r\nF0 01 06 0B 02 04 \r\n"));
}

// Each empty box stops the press with its message, in this order, and the
// output keeps what it showed.
TEST_F(BatchGenerator, EmptyBoxesAreReportedInOrder)
{
    Choose(kPlay, kModbus, "1", "1");
    PressGenerate(m_dlg);
    const QString earlier = Output(m_dlg);
    ASSERT_FALSE(earlier.isEmpty());

    struct Row {
        const char* name;
        const char* address;
        const char* start;
        const char* end;
        const char* message;
    };
    const Row rows[] = {
        {"everything empty", "", "", "", "请先连接设备"},
        {"no address", "", "1", "2", "请先连接设备"},
        {"start and end empty", "1", "", "", "开始段号不能为空"},
        {"end empty", "1", "1", "", "结束段号不能为空"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        m_dlg.m_strDeviceAddr = row.address;
        Enter(m_dlg, IDC_PLSC_STARTSEG, U(row.start));
        Enter(m_dlg, IDC_PLSC_ENDSEG, U(row.end));
        MessageBoxProbe probe;
        PressGenerate(m_dlg);
        ASSERT_EQ(probe.Count(), 1);
        EXPECT_EQ(probe.Last().text, U(row.message));
        EXPECT_EQ(probe.Last().buttons, QStringList{U("确定")});
        EXPECT_EQ(Output(m_dlg), earlier);
    }
}

// A reversed range, or one too long to list, is reported; the press carries
// on and the box shows the header alone, at once.
TEST_F(BatchGenerator, UnlistableRangeShowsTheHeaderAlone)
{
    struct Row {
        const char* name;
        int type;
        const char* start;
        const char* end;
        const char* text;
    };
    const Row rows[] = {
        {"reversed", kModbus, "5", "3", "Modbus:\r\n"},
        {"reversed, plain", kPlain, "5", "3", "普通:\r\n"},
        {"start at the smallest int", kModbus, "-2147483648", "1", "Modbus:\r\n"},
        {"start below the smallest int", kPlain, "-99999999999", "200", "普通:\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Choose(kPlay, kModbus, "1", "2");
        PressGenerate(m_dlg);  // something to be replaced
        Choose(kPlay, row.type, U(row.start), U(row.end));
        MessageBoxProbe probe;
        QElapsedTimer clock;
        clock.start();
        PressGenerate(m_dlg);
        EXPECT_LT(clock.elapsed(), kPromptAnswerMs);
        ASSERT_EQ(probe.Count(), 1);
        EXPECT_EQ(probe.Last().text, U("段号错误"));
        EXPECT_EQ(Output(m_dlg), U(row.text));
    }
}

// The check runs on every change: the third digit of 201 brings the message
// and the box then reads 200; values up to 200 pass silently.
TEST_F(BatchGenerator, SegmentBoxesStopAtTwoHundred)
{
    struct Row {
        const char* name;
        int id;
        const char* typed;
        int messages;
        const char* shown;
    };
    const Row rows[] = {
        {"start 201", IDC_PLSC_STARTSEG, "201", 1, "200"},
        {"end 201", IDC_PLSC_ENDSEG, "201", 1, "200"},
        {"start 999: at the third digit", IDC_PLSC_STARTSEG, "999", 1, "200"},
        {"start 200", IDC_PLSC_STARTSEG, "200", 0, "200"},
        {"end -5", IDC_PLSC_ENDSEG, "-5", 0, "-5"},
        {"end 12ab", IDC_PLSC_ENDSEG, "12ab", 0, "12ab"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Enter(m_dlg, row.id, "");
        MessageBoxProbe probe;
        TypeInto(Item<QLineEdit>(m_dlg, row.id), U(row.typed));
        EXPECT_EQ(probe.Count(), row.messages);
        for (const SeenMessageBox& box : probe.Boxes())
            EXPECT_EQ(box.text, U("段号最大值为200"));
        EXPECT_EQ(Item<QLineEdit>(m_dlg, row.id)->text(), U(row.shown));
        const CString& member = row.id == IDC_PLSC_STARTSEG ? m_dlg.m_strStartSeg : m_dlg.m_strEndSeg;
        EXPECT_EQ(member, U(row.shown));
    }
}

// The console hands over what its address box shows at the click.
TEST(BatchGeneratorFromConsole, UsesTheAddressTypedJustBefore)
{
    testsupport::ScopedHook ports(&CDlgModbus::SetPortCandidates, &NoPorts);
    CDlgModbus console;
    ASSERT_TRUE(OpenDialog(console));
    auto* address = Item<QLineEdit>(console, IDC_ED_DEVICEADDR);
    address->clear();
    TypeInto(address, "300");

    ASSERT_TRUE(WithToolDialog<CDlgPLSC>(console, IDC_BTN_BATCH, [](CDlgPLSC& dlg) {
        EXPECT_EQ(dlg.m_strDeviceAddr, "300");
        TypeInto(Item<QLineEdit>(dlg, IDC_PLSC_STARTSEG), "1");
        TypeInto(Item<QLineEdit>(dlg, IDC_PLSC_ENDSEG), "2");
        PressGenerate(dlg);
        // Address 300 travels as its low byte, 2C.
        EXPECT_EQ(Output(dlg), "Modbus:\r\n2C 06 00 04 00 01 0F B6 \r\n2C 06 00 04 00 02 4F B7 \r\n");
    }));
    EXPECT_EQ(console.m_strDeviceAddr, "300");
}

}  // namespace
