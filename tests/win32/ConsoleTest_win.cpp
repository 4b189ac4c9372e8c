// The console on Win32 under Wine: its start-up state, the combo boxes'
// notifications, and a write of 7 to register 02 of a real libmodbus peer
// behind COM<n>, all through the native controls.
// The framework's own names first (<windows.h> makes macros of IDOK, MB_OK),
// then WinSock's header, which must come before <windows.h>.
#include "framework/WinApp.h"
#include "link/LinkUtil.h"
#include "ui/DlgDJCQ.h"
#include "ui/DlgModbus.h"
#include "ui/DlgPLSC.h"

#include "tests/support/WinLoopback.h"
#include "tests/support/WinePeer.h"

#include "framework/win32/DialogTemplate.h"
#include "framework/win32/Native.h"
#include "tests/win32/WindowPicture.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using testsupport::WinePeer;
using namespace std::chrono_literals;

std::string Text(HWND hwnd) { return win32::Narrow(win32::WindowText(hwnd)); }

std::string ItemText(HWND combo, int index)
{
    wchar_t buf[256] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf));
    return win32::Narrow(buf);
}

// The index of the list entry `name` in a combo box, or CB_ERR.
int EntryIndex(HWND combo, const std::string& name)
{
    for (int i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i) {
        if (ItemText(combo, i) == name)
            return i;
    }
    return CB_ERR;
}

// Runs the queued messages, as the modal loop would between events.
void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A press as the operator makes it: the button's own click notification.
void Click(HWND button)
{
    SendMessageW(button, BM_CLICK, 0, 0);
    Pump();
}

// Keys as they reach an edit: one WM_CHAR each.
void SendChars(HWND edit, std::wstring_view text)
{
    for (wchar_t c : text)
        SendMessageW(edit, WM_CHAR, c, 0);
}

// Typing into a combo's field, as keys reach it: WM_CHAR to its edit.
void Type(HWND combo, const wchar_t* text)
{
    const HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    SendChars(edit, text);
    Pump();
}

// An edit box emptied, then typed into.
void TypeInto(HWND edit, const std::string& text)
{
    SetWindowTextW(edit, L"");
    SendChars(edit, win32::Widen(text));
    Pump();
}

// A message box as the operator sees it.
struct Box {
    std::string caption;
    std::string text;
    bool cancel = false;                         // it has a Cancel button
    bool exclamation = false;                    // it shows the exclamation icon
    std::chrono::steady_clock::time_point seen;  // within 50 ms of its showing
};

void PrintTo(const Box& b, std::ostream* os) { *os << '"' << b.caption << "\": \"" << b.text << '"'; }

// Answers every message box the process shows (OK unless told otherwise),
// recording it: a box left open would hold the test in its modal loop.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int answer = IDOK) : m_answer(answer), m_thread([this] { Run(); }) {}
    ~BoxAnswerer()
    {
        m_stop = true;
        m_thread.join();
    }
    void Answer(int id) { m_answer = id; }
    std::vector<Box> Boxes()
    {
        std::lock_guard lock(m_mutex);
        return m_boxes;
    }

private:
    static BOOL CALLBACK Visit(HWND hwnd, LPARAM self)
    {
        auto* me = reinterpret_cast<BoxAnswerer*>(self);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        wchar_t cls[16] = {};
        GetClassNameW(hwnd, cls, 16);
        // A box is a system dialog of this process that is none of ours.
        if (pid != GetCurrentProcessId() || DialogOf(hwnd) != nullptr || wcscmp(cls, L"#32770") != 0
            || !IsWindowVisible(hwnd) || me->m_answered == hwnd)
            return TRUE;
        Box box;
        box.seen = std::chrono::steady_clock::now();
        box.caption = Text(hwnd);
        const HWND text = GetDlgItem(hwnd, 0xFFFF);
        box.text = text ? Text(text) : std::string();
        box.cancel = GetDlgItem(hwnd, IDCANCEL) != nullptr;
        // The icon is the box's one static control with the icon style.
        for (HWND c = GetWindow(hwnd, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
            if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                const auto shown = reinterpret_cast<HICON>(SendMessageW(c, STM_GETICON, 0, 0));
                box.exclamation = shown != nullptr && shown == LoadIconW(nullptr, IDI_EXCLAMATION);
            }
        }
        {
            std::lock_guard lock(me->m_mutex);
            me->m_boxes.push_back(box);
        }
        me->m_answered = hwnd;
        PostMessageW(hwnd, WM_COMMAND, static_cast<WPARAM>(me->m_answer.load()), 0);
        return TRUE;
    }

    void Run()
    {
        while (!m_stop) {
            EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
            Sleep(50);
        }
    }

    std::atomic<int> m_answer;
    HWND m_answered = nullptr;  // answered, possibly not yet gone
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<Box> m_boxes;
    std::thread m_thread;
};

class Console : public ::testing::Test {
protected:
    static void SetUpTestSuite() { AfxWinInit(); }
    void TearDown() override { CloseComPort(); }

    // The console shown without its modal loop, its window and a control.
    void Start()
    {
        m_dlg = std::make_unique<CDlgModbus>();
        ASSERT_TRUE(m_dlg->Create());
        m_window = NativeWindow(*m_dlg);
        ASSERT_NE(m_window, nullptr);
        Pump();
    }
    HWND Item(int id) const { return GetDlgItem(m_window, id); }
    // The operator picks the peer's port from the list and presses 打开串口;
    // `boxes` answers whatever the open brings.
    void OpenPeerPort(const WinePeer& peer, BoxAnswerer& boxes)
    {
        const HWND port = Item(IDC_CB_PORT);
        const int index = EntryIndex(port, peer.PortName());
        ASSERT_NE(index, CB_ERR) << peer.PortName() << " is not listed";
        m_dlg->m_cbPort.SetCurSel(index);
        Click(Item(IDC_BTN_OPENPORT));
        ASSERT_TRUE(m_dlg->m_bPortOpen)
            << Text(Item(IDC_ST_STATUS)) << " " << ::testing::PrintToString(boxes.Boxes());
    }

    std::unique_ptr<CDlgModbus> m_dlg;
    HWND m_window = nullptr;
};

// The console with the native peer's port opened as the operator opens it,
// and every box answered; skipped where the peer cannot run.
class ConsoleOnPeer : public Console {
protected:
    void SetUp() override
    {
        if (const std::string why = WinePeer::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
        m_peer.emplace();
        ASSERT_NO_FATAL_FAILURE(Start());
        m_boxes.emplace();
        ASSERT_NO_FATAL_FAILURE(OpenPeerPort(*m_peer, *m_boxes));
    }

    std::optional<WinePeer> m_peer;
    std::optional<BoxAnswerer> m_boxes;
};

TEST_F(Console, StartsClosedWithThePortsThatOpen)
{
    std::unique_ptr<WinePeer> peer;
    if (WinePeer::Unavailable().empty())
        peer = std::make_unique<WinePeer>();
    Start();
    EXPECT_EQ(Text(m_window), "Modbus调试软件 V3");
    EXPECT_EQ(Text(Item(IDC_ST_STATUS)), "串口关闭状态");
    EXPECT_EQ(Text(Item(IDC_BTN_OPENPORT)), "打开串口");
    EXPECT_EQ(Text(Item(IDC_CB_BAUD)), "9600");
    EXPECT_EQ(Text(Item(IDC_CB_PARITY)), "无校验");
    EXPECT_EQ(Text(Item(IDC_ED_DEVICEADDR)), "1");
    EXPECT_EQ(Text(Item(IDC_CB_WRITEREG)), "01");
    EXPECT_EQ(Text(Item(IDC_ST_WRITEREGNAME)), "内置播放模式");
    EXPECT_FALSE(m_dlg->m_bPortOpen);
    if (peer) {
        // The peer's port is listed (other runs' ports may be listed too).
        EXPECT_NE(EntryIndex(Item(IDC_CB_PORT), peer->PortName()), CB_ERR)
            << peer->PortName() << " is missing from the port list";
    }
}

TEST_F(Console, TypingClearsTheSelectionAndOnlyTheOperatorNotifies)
{
    Start();
    const HWND reg = Item(IDC_CB_WRITEREG);
    const HWND name = Item(IDC_ST_WRITEREGNAME);
    // Selecting from code notifies nobody: the label stays as it was.
    ASSERT_EQ(m_dlg->m_cbWriteReg.SetCurSel(1), 1);
    Pump();
    EXPECT_EQ(Text(reg), "02");
    EXPECT_EQ(Text(name), "内置播放模式");
    EXPECT_EQ(m_dlg->m_cbWriteReg.GetCurSel(), 1);

    // Typing clears the selection and raises the edit notification.
    SetWindowTextW(reg, L"");
    Type(reg, L"03");
    EXPECT_EQ(m_dlg->m_cbWriteReg.GetCurSel(), CB_ERR);
    EXPECT_NE(Text(name), "内置播放模式") << "the label follows the typed code";
}

// The operator opens the peer's port, picks register 02 and types 7.
TEST_F(ConsoleOnPeer, WriteOfSevenToRegister02ShowsRequestAndEcho)
{
    EXPECT_EQ(Text(Item(IDC_ST_STATUS)), m_peer->PortName() + " 9600 8 无校验 1");
    EXPECT_EQ(Text(Item(IDC_BTN_OPENPORT)), "关闭串口");

    m_dlg->m_cbWriteReg.SetCurSel(1);
    SetWindowTextW(Item(IDC_ED_WRITEVALUE), L"7");
    Click(Item(IDC_BTN_WRITE));
    EXPECT_EQ(Text(Item(IDC_ED_WRITESENT)), "01 06 00 02 00 07 69 C8 ");
    EXPECT_EQ(Text(Item(IDC_ED_WRITEREPLY)), "01 06 00 02 00 07 69 C8 ") << "a write's standard echo";
    EXPECT_EQ(m_peer->Register(2), 7);
    EXPECT_TRUE(m_boxes->Boxes().empty()) << ::testing::PrintToString(m_boxes->Boxes());
    // scripts/screenshot-windows.sh takes the picture in docs/ here.
    if (const char* picture = std::getenv("KESTREL_WINDOWS_PICTURE")) {
        // The label as an operator's pick from the list would leave it.
        SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDC_CB_WRITEREG, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Item(IDC_CB_WRITEREG)));
        RedrawWindow(m_window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
        Pump();
        EXPECT_TRUE(SaveWindowPicture(m_window, win32::Widen(picture))) << picture;
    }

    // Closing asks first, in a box of the console's own: Cancel keeps the port.
    m_boxes->Answer(IDCANCEL);
    Click(Item(IDC_BTN_OPENPORT));
    EXPECT_TRUE(m_dlg->m_bPortOpen);
    m_boxes->Answer(IDOK);
    Click(Item(IDC_BTN_OPENPORT));
    EXPECT_FALSE(m_dlg->m_bPortOpen);
    EXPECT_EQ(Text(Item(IDC_ST_STATUS)), "串口关闭状态");
    const std::vector<Box> asked = m_boxes->Boxes();
    ASSERT_EQ(asked.size(), 2u);
    for (const Box& b : asked) {
        EXPECT_EQ(b.caption, "串口");
        EXPECT_EQ(b.text, "是否关闭串口？");
        EXPECT_TRUE(b.cancel);
    }
}

// A refusal is the application's box: the program's name as caption, the
// text alone, OK only, the exclamation icon; the command sends nothing.
TEST_F(Console, RefusalIsAnExclamationBoxWithTheProgramsName)
{
    Start();
    BoxAnswerer boxes;
    SetWindowTextW(Item(IDC_ED_WRITEVALUE), L"7");
    Click(Item(IDC_BTN_WRITE));
    const std::vector<Box> shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "win32_tests");
    EXPECT_EQ(shown[0].text, "请先连接设备");
    EXPECT_FALSE(shown[0].cancel);
    EXPECT_TRUE(shown[0].exclamation);
    EXPECT_EQ(Text(Item(IDC_ED_WRITESENT)), "");
}

// The visible dialog of class D, waited for up to 10 s; nullptr when none
// showed. Ours only: another program's dialogs may share the desktop.
template <class D>
HWND WaitForDialog()
{
    HWND dlg = nullptr;
    for (int i = 0; i < 200 && !dlg; ++i) {
        Sleep(50);
        EnumWindows(
            [](HWND hwnd, LPARAM found) -> BOOL {
                if (!IsWindowVisible(hwnd) || dynamic_cast<D*>(DialogOf(hwnd)) == nullptr)
                    return TRUE;
                *reinterpret_cast<HWND*>(found) = hwnd;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&dlg));
    }
    return dlg;
}

// A key pressed on a control of the modal console, from another thread
// once the console shows: the modal loop gets it as the keyboard would.
class KeyPresser {
public:
    // `after`, when given: the key waits until it holds (at most 20 s).
    KeyPresser(int control, WPARAM key, std::function<bool()> after = {})
        : m_thread([control, key, after] {
              for (int i = 0; after && !after() && i < 400; ++i)
                  Sleep(50);
              Press(control, key);
          })
    {}
    ~KeyPresser() { m_thread.join(); }

private:
    static void Press(int control, WPARAM key)
    {
        const HWND dlg = WaitForDialog<CDlgModbus>();
        if (!dlg)
            return;
        const HWND target = GetDlgItem(dlg, control);
        PostMessageW(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
        Sleep(200);
        PostMessageW(target, WM_KEYDOWN, key, 1);
        PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    }
    std::thread m_thread;
};

struct KeyCase {
    const char* name;
    int control;
    WPARAM key;
    int result;
    const char* box;  // the box a click brings, or nullptr
};

// Escape is Cancel; Enter is OK unless a push button has the focus, which it
// then clicks (the run goes on until the second key, Escape).
TEST(ConsoleKeys, EscapeCancelsEnterIsOkOrClicksTheFocusedButton)
{
    const KeyCase cases[] = {
        {"Escape in the address box", IDC_ED_DEVICEADDR, VK_ESCAPE, IDCANCEL, nullptr},
        {"Enter in the address box", IDC_ED_DEVICEADDR, VK_RETURN, IDOK, nullptr},
        {"Enter on the write button", IDC_BTN_WRITE, VK_RETURN, IDCANCEL, "请先连接设备"},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        CDlgModbus dlg;
        BoxAnswerer boxes;
        int result = 0;
        {
            KeyPresser press(c.control, c.key);
            std::unique_ptr<KeyPresser> escape;
            if (c.box)
                escape = std::make_unique<KeyPresser>(IDC_ED_DEVICEADDR, VK_ESCAPE,
                                                      [&boxes] { return !boxes.Boxes().empty(); });
            result = dlg.DoModal();
        }
        EXPECT_EQ(result, c.result);
        const std::vector<Box> shown = boxes.Boxes();
        if (c.box) {
            ASSERT_FALSE(shown.empty());
            EXPECT_EQ(shown[0].text, c.box);
        } else {
            EXPECT_TRUE(shown.empty()) << ::testing::PrintToString(shown);
        }
    }
}

// The Help message (what F1 raises) asks the help viewer for the page beside
// the program at the dialog's topic; without the page the operator is told.
class HelpApp : public CWinApp {
protected:
    void DeclareMessageMap() override { ON_COMMAND(ID_HELP, &CWinApp::OnHelp); }  // as Kestrel's
};

TEST(ConsoleHelp, HelpOpensThePageAtTheConsolesTopicOrSaysItCannot)
{
    HelpApp app;
    std::vector<std::string> asked;
    CWinApp::SetHelpViewer([&asked](const CString& url) {
        asked.push_back(url.Utf8());
        return true;
    });
    const std::wstring page = win32::Widen(app.GetHelpFilePath().Utf8());
    DeleteFileW(page.c_str());
    CDlgModbus dlg;
    ASSERT_TRUE(dlg.Create());
    const HWND window = NativeWindow(dlg);
    HELPINFO info{sizeof info, HELPINFO_WINDOW, IDC_ED_DEVICEADDR, GetDlgItem(window, IDC_ED_DEVICEADDR),
                  0,           {0, 0}};
    {
        BoxAnswerer boxes;
        SendMessageW(window, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        Sleep(300);
        const std::vector<Box> shown = boxes.Boxes();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, "启动帮助失败。");
        EXPECT_TRUE(asked.empty());
    }
    const HANDLE file = CreateFileW(page.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    SendMessageW(window, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    DeleteFileW(page.c_str());
    CWinApp::SetHelpViewer(nullptr);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].rfind("file:///", 0), 0u) << asked[0];
    const std::string topic = "win32_tests.html#topic-" + std::to_string(HID_BASE_RESOURCE + IDD_MODBUS);
    EXPECT_EQ(asked[0].substr(asked[0].size() - topic.size()), topic) << asked[0];
}

// The batch generator on Win32: its output with CR LF line ends in the
// native multi-line edit, and the segment limit's message on typing.
TEST(BatchGenerator, ListsFramesWithCrLfAndLimitsTheSegment)
{
    CDlgPLSC dlg;
    dlg.m_strDeviceAddr = "1";
    ASSERT_TRUE(dlg.Create());
    const HWND window = NativeWindow(dlg);
    Pump();
    EXPECT_EQ(Text(window), "批量生成");
    EXPECT_EQ(Text(GetDlgItem(window, IDC_PLSC_INSTRUCTION)), "放音");
    EXPECT_EQ(Text(GetDlgItem(window, IDC_PLSC_TYPE)), "Modbus");

    SetWindowTextW(GetDlgItem(window, IDC_PLSC_STARTSEG), L"1");
    SetWindowTextW(GetDlgItem(window, IDC_PLSC_ENDSEG), L"2");
    Click(GetDlgItem(window, IDC_PLSC_GENERATE));
    EXPECT_EQ(Text(GetDlgItem(window, IDC_PLSC_OUTPUT)),
              "Modbus:\r\n01 06 00 04 00 01 09 CB \r\n01 06 00 04 00 02 49 CA \r\n");

    // The third digit of 201, typed, brings the message and the limit.
    BoxAnswerer boxes;
    const HWND end = GetDlgItem(window, IDC_PLSC_ENDSEG);
    TypeInto(end, "201");
    EXPECT_EQ(Text(end), "200");
    const std::vector<Box> shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "段号最大值为200");
}

// ---- TCP through the native IP address control and port box ----

// The address typed field by field, as the operator fills the four boxes.
void TypeAddress(HWND ip, const wchar_t* const (&fields)[4])
{
    SendMessageW(ip, IPM_CLEARADDRESS, 0, 0);
    HWND edit = nullptr;
    for (const wchar_t* field : fields) {
        edit = FindWindowExW(ip, edit, L"Edit", nullptr);
        ASSERT_NE(edit, nullptr);
        SendChars(edit, field);
    }
    Pump();
}

struct TcpCase {
    const char* name;
    bool address;         // 127.0.0.1 typed, or the box left blank
    std::string port;     // the port box's text
    const char* message;  // the box the command brings, or nullptr
    // The link's record after the press; nullopt: the console refuses first
    // and never asks the link, so the record stays as the case before left it.
    std::optional<LinkFailure> reason;
};

TEST_F(Console, ConnectChecksAddressThenPortThenReachesTheListener)
{
    testsupport::WinListener listening;
    ASSERT_TRUE(listening.Ok());
    const TcpCase cases[] = {
        {"listening port", true, listening.PortText(), nullptr, LinkFailure::None},
        {"closed port", true, testsupport::ClosedPortText(), "网络设备连接失败", LinkFailure::ConnectRefused},
        {"blank address", false, listening.PortText(), "请填写IP地址", std::nullopt},
        {"blank address, empty port: the address first", false, "", "请填写IP地址", std::nullopt},
        {"empty port", true, "", "请填写端口号", std::nullopt},
        {"a blank port text is not empty", true, " ", "网络设备连接失败", LinkFailure::ConnectRefused},
    };
    Start();
    const HWND ip = Item(IDC_IP_ADDRESS);
    ASSERT_NE(ip, nullptr);
    for (const TcpCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.address)
            TypeAddress(ip, {L"127", L"0", L"0", L"1"});
        else
            SendMessageW(ip, IPM_CLEARADDRESS, 0, 0);
        ASSERT_EQ(Text(ip), c.address ? "127.0.0.1" : "0.0.0.0");
        TypeInto(Item(IDC_ED_TCPPORT), c.port);
        BoxAnswerer boxes;
        const LinkFailure before = LinkLastFailure().reason;
        Click(Item(IDC_BTN_CONNECT));  // a box is answered before it returns
        EXPECT_EQ(LinkLastFailure().reason, c.reason.value_or(before));
        const std::vector<Box> shown = boxes.Boxes();
        if (c.message) {
            ASSERT_EQ(shown.size(), 1u) << ::testing::PrintToString(shown);
            EXPECT_EQ(shown[0].text, c.message);
            EXPECT_TRUE(shown[0].exclamation);
        } else {
            EXPECT_TRUE(shown.empty()) << ::testing::PrintToString(shown);
            EXPECT_TRUE(listening.AcceptOne(1s)) << "the listener got the connection";
        }
    }
    TcpClose();
}

// A listener whose accept queue is full answers no handshake: the command
// still ends within the link's bound, with the failure message.
TEST_F(Console, ConnectToAnUnansweringAddressEndsWithTheFailureMessage)
{
    testsupport::WinBlackHole hole;
    ASSERT_TRUE(hole.Ok());
    if (!hole.Full())
        GTEST_SKIP() << "this stack answers every handshake: no black hole on loopback";
    Start();
    TypeAddress(Item(IDC_IP_ADDRESS), {L"127", L"0", L"0", L"1"});
    TypeInto(Item(IDC_ED_TCPPORT), hole.PortText());
    BoxAnswerer boxes;
    const auto start = std::chrono::steady_clock::now();
    Click(Item(IDC_BTN_CONNECT));
    const LinkFailure reason = LinkLastFailure().reason;  // before the close clears it
    TcpClose();
    EXPECT_EQ(reason, LinkFailure::ConnectTimedOut);
    const std::vector<Box> shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 1u) << ::testing::PrintToString(shown);
    // Measured to the box's showing: Wine takes a while to build and close a box.
    const auto took = shown[0].seen - start;
    std::printf("connect to a full backlog from the console: the failure message after %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    EXPECT_GE(took, 2900ms) << "unanswered, so only the link's bound ends it";
    EXPECT_LT(took, 3500ms);
    EXPECT_EQ(shown[0].text, "网络设备连接失败");
}

// ---- The write-multiple dialog, opened by the console's button ----

// Runs `body` on the dialog the console's 写多寄存器 button opens, from a
// second thread while the dialog's modal loop runs, then closes it.
void WithWriteMultiple(HWND console, const std::function<void(HWND)>& body)
{
    std::thread driver([&body] {
        const HWND dlg = WaitForDialog<CDlgDJCQ>();
        if (!dlg) {
            ADD_FAILURE() << "the write-multiple dialog did not show";
            return;
        }
        body(dlg);
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    SendMessageW(GetDlgItem(console, IDC_BTN_WRITEMULTI), BM_CLICK, 0, 0);
    driver.join();
}

struct Entries {
    const wchar_t* reg;
    const wchar_t* quantity;
    const wchar_t* data;
};

// The operator's entries and the press of 写入.
void PressWrite(HWND dlg, const Entries& e)
{
    SetWindowTextW(GetDlgItem(dlg, IDC_DJCQ_REGADDR), e.reg);
    SetWindowTextW(GetDlgItem(dlg, IDC_DJCQ_QUANTITY), e.quantity);
    SetWindowTextW(GetDlgItem(dlg, IDC_DJCQ_WRITEDATA), e.data);
    SendMessageW(GetDlgItem(dlg, IDC_DJCQ_WRITE), BM_CLICK, 0, 0);
}

TEST_F(Console, WriteMultipleWithoutAPortChecksTheEntriesFirst)
{
    Start();
    BoxAnswerer boxes;
    WithWriteMultiple(m_window, [](HWND dlg) {
        PressWrite(dlg, {L"", L"2", L"1F FF"});
        PressWrite(dlg, {L"5", L"2", L"1F FF"});
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_DJCQ_SENDDATA)), "");
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_DJCQ_RECVDATA)), "");
    });
    const std::vector<Box> shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 2u) << ::testing::PrintToString(shown);
    EXPECT_EQ(shown[0].text, "写入数据不能为空");
    EXPECT_EQ(shown[1].text, "请先连接设备");
    for (const Box& b : shown) {
        EXPECT_EQ(b.caption, "win32_tests");
        EXPECT_TRUE(b.exclamation);
    }
}

// Over the peer: a worked write shows the request and libmodbus's reply;
// refused entries then bring their message and leave both displays as they were.
TEST_F(ConsoleOnPeer, WriteMultipleWritesThePeerAndRefusesBadEntries)
{
    struct Refusal {
        const char* name;
        Entries entries;
        const char* message;
    };
    const Refusal refusals[] = {
        {"empty register box", {L"", L"2", L"1F FF"}, "写入数据不能为空"},
        {"empty quantity box", {L"5", L"", L"1F FF"}, "写入数据不能为空"},
        {"quantity below 0", {L"5", L"-1", L"1F"}, "数量错误"},
        {"quantity above 1000", {L"5", L"1001", L"1F"}, "数量错误"},
    };
    const char* const sent = "01 10 00 05 00 02 04 00 1F 00 FF 42 16 ";
    const char* const reply = "01 10 00 05 00 02 51 C9 ";  // libmodbus's answer to a function 10 write
    WithWriteMultiple(m_window, [&](HWND dlg) {
        PressWrite(dlg, {L"5", L"2", L"1F FF"});
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_DJCQ_SENDDATA)), sent);
        EXPECT_EQ(Text(GetDlgItem(dlg, IDC_DJCQ_RECVDATA)), reply);
        for (const Refusal& r : refusals) {
            SCOPED_TRACE(r.name);
            const std::size_t before = m_boxes->Boxes().size();
            PressWrite(dlg, r.entries);
            const std::vector<Box> shown = m_boxes->Boxes();
            ASSERT_EQ(shown.size(), before + 1) << ::testing::PrintToString(shown);
            EXPECT_EQ(shown.back().text, r.message);
            EXPECT_EQ(Text(GetDlgItem(dlg, IDC_DJCQ_SENDDATA)), sent);
            EXPECT_EQ(Text(GetDlgItem(dlg, IDC_DJCQ_RECVDATA)), reply);
        }
    });
    EXPECT_EQ(m_peer->Register(5), 0x1F);
    EXPECT_EQ(m_peer->Register(6), 0xFF);
    EXPECT_FALSE(m_peer->WaitForRequests(2, 300)) << "a refused press sent nothing";
    ASSERT_EQ(m_peer->Requests().size(), 1u);
    CloseComPort();
    m_dlg->m_bPortOpen = FALSE;
}

}  // namespace
