#include "ui/DlgModbus.h"

#include "codec/Frames.h"
#include "codec/RegisterMap.h"
#include "codec/TextNumber.h"
#include "link/LinkUtil.h"
#include "res/Strings.h"
#include "ui/DlgDJCQ.h"
#include "ui/DlgPLSC.h"
#include "ui/Exchange.h"

#include <algorithm>
#include <limits>

namespace {

CDlgModbus::PortCandidates g_portCandidates = nullptr;

std::vector<std::string> PortCandidateNames()
{
    return g_portCandidates ? g_portCandidates() : ListComPortCandidates();
}

void AddCodes(CComboBox& combo, std::span<const RegisterEntry> table)
{
    for (const RegisterEntry& entry : table)
        combo.AddString(ToCString(entry.code));
}

// Rate of the baud-rate text: a plain positive decimal number (digits only,
// as an adapter's odd rate such as 250000 is typed), else 0. A rate is never
// guessed from text like "96OO" or "9600 baud", nor from a number past the
// int range, which would otherwise open at a rate nobody typed.
int BaudFromText(const CString& text)
{
    const std::string s = text.Utf8();
    if (s.empty() || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    long long rate = 0;
    for (char c : s) {
        rate = rate * 10 + (c - '0');
        if (rate > std::numeric_limits<int>::max())
            return 0;
    }
    return static_cast<int>(rate);
}

// Parity code of a parity name: its index in the list, or -1 when the text
// is none of the names exactly.
int ParityFromName(const CString& text)
{
    const auto& names = res::str::kParityNames;
    const auto it = std::find(names.begin(), names.end(), text.Utf8());
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

// Text of the selected entry, or the typed field text when nothing is
// selected.
CString ChosenText(const CComboBox& combo)
{
    const int sel = combo.GetCurSel();
    if (sel == CB_ERR)
        return combo.GetWindowText();
    CString text;
    combo.GetLBText(sel, text);
    return text;
}

// Hexadecimal operator text as one frame byte: the low 8 bits of the number.
int HexByte(const CString& text) { return static_cast<int>(ParseHex(text.Utf8()) & 0xFFu); }

// The checks every register command makes, in order; false after showing
// the first one that fails.
bool ReadyToSend(const CString& deviceAddr, BOOL portOpen, const CString& input,
                 std::string_view inputMissing)
{
    if (deviceAddr.IsEmpty() || !portOpen) {
        AfxMessageBox(ToCString(res::str::kMsgConnectFirst));
        return false;
    }
    if (input.IsEmpty()) {
        AfxMessageBox(ToCString(inputMissing));
        return false;
    }
    return true;
}

// Text of the list entry the operator just picked.
CString SelectedEntryText(const CComboBox& combo)
{
    CString text;
    combo.GetLBText(combo.GetCurSel(), text);
    return text;
}

// A register area of the console: the code box, the name label beside it
// and the register map of its codes; the number (the value to write, or
// how many registers to read) with the message when it is missing; the
// request it builds, and the texts of the request sent and of the reply.
struct RegisterArea {
    CComboBox CDlgModbus::*codes;
    CStatic CDlgModbus::*name;
    std::span<const RegisterEntry> (*table)();
    CString CDlgModbus::*number;
    std::string_view numberMissing;
    RtuRequest (*build)(int deviceAddr, int reg, int number);
    CString CDlgModbus::*sent;
    CString CDlgModbus::*reply;
};
constexpr RegisterArea kWriteArea{&CDlgModbus::m_cbWriteReg,   &CDlgModbus::m_stWriteRegName,
                                  &WriteRegisterTable,         &CDlgModbus::m_strWriteValue,
                                  res::str::kMsgEnterValue,    &BuildWriteRegisterFrame,
                                  &CDlgModbus::m_strWriteSent, &CDlgModbus::m_strWriteReply};
constexpr RegisterArea kReadArea{&CDlgModbus::m_cbReadReg,    &CDlgModbus::m_stReadRegName,
                                 &ReadRegisterTable,          &CDlgModbus::m_strReadCount,
                                 res::str::kMsgEnterQuantity, &BuildReadRegistersFrame,
                                 &CDlgModbus::m_strReadSent,  &CDlgModbus::m_strReadReply};

// A register command: fetch the texts, check them, build the request from
// the device address, the code and the number (both read as hexadecimal),
// show it, send it, show the reply.
void SendFromArea(CDlgModbus& dlg, const RegisterArea& area)
{
    dlg.UpdateData(TRUE);
    const CString& number = dlg.*area.number;
    if (!ReadyToSend(dlg.m_strDeviceAddr, dlg.m_bPortOpen, number, area.numberMissing))
        return;
    const RtuRequest frame = area.build(ParseDecimal(dlg.m_strDeviceAddr.Utf8()),
                                        HexByte((dlg.*area.codes).GetWindowText()), HexByte(number));
    SendAndShow(frame.data(), frame::kRtuRequestLen, dlg.*area.sent, dlg.*area.reply);
    dlg.UpdateData(FALSE);
}

// Where the code to name comes from: the box's typed text or the entry just picked.
enum class CodeFrom { Typed, Picked };

// Saves the controls, then shows the name of the area's code in its label
// (empty for a code the map does not have).
void ShowRegisterName(CDlgModbus& dlg, const RegisterArea& area, CodeFrom from)
{
    dlg.UpdateData(TRUE);
    const CComboBox& codes = dlg.*area.codes;
    const CString code = from == CodeFrom::Typed ? codes.GetWindowText() : SelectedEntryText(codes);
    const std::string_view* name = LookupRegisterName(area.table(), code.Utf8());
    (dlg.*area.name).SetWindowText(name ? ToCString(*name) : CString());
}

// Runs tool dialog D over the console with the device address it shows.
template <class D>
void RunToolDialog(const CString& deviceAddr)
{
    D dlg;
    dlg.m_strDeviceAddr = deviceAddr;
    dlg.DoModal();
}

}  // namespace

CDlgModbus::CDlgModbus(CWnd* pParent) : CDialog(IDD, pParent), m_bPortOpen(FALSE) {}

// Releases the members only: an open port or socket stays with the link.
CDlgModbus::~CDlgModbus() = default;

void CDlgModbus::SetPortCandidates(PortCandidates source) { g_portCandidates = source; }

void CDlgModbus::DeclareMessageMap()
{
    ON_BN_CLICKED(IDC_BTN_OPENPORT, &CDlgModbus::OnOpenPort);
    ON_CBN_EDITCHANGE(IDC_CB_WRITEREG, &CDlgModbus::OnEditChangeWriteReg);
    ON_CBN_SELCHANGE(IDC_CB_WRITEREG, &CDlgModbus::OnSelChangeWriteReg);
    ON_CBN_EDITCHANGE(IDC_CB_READREG, &CDlgModbus::OnEditChangeReadReg);
    ON_CBN_SELCHANGE(IDC_CB_READREG, &CDlgModbus::OnSelChangeReadReg);
    ON_BN_CLICKED(IDC_BTN_WRITE, &CDlgModbus::OnWriteRegister);
    ON_BN_CLICKED(IDC_BTN_READ, &CDlgModbus::OnReadRegisters);
    ON_BN_CLICKED(IDC_BTN_CONNECT, &CDlgModbus::OnConnectDevice);
    ON_BN_CLICKED(IDC_BTN_WRITEMULTI, &CDlgModbus::OnWriteMultiple);
    ON_BN_CLICKED(IDC_BTN_BATCH, &CDlgModbus::OnBatchGenerate);
}

void CDlgModbus::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_IP_ADDRESS, m_ipAddress);
    DDX_Control(pDX, IDC_ST_READREGNAME, m_stReadRegName);
    DDX_Control(pDX, IDC_ST_WRITEREGNAME, m_stWriteRegName);
    DDX_Control(pDX, IDC_CB_READREG, m_cbReadReg);
    DDX_Control(pDX, IDC_CB_WRITEREG, m_cbWriteReg);
    DDX_Control(pDX, IDC_BTN_OPENPORT, m_btnOpenPort);
    DDX_Control(pDX, IDC_CB_STOPBITS, m_cbStopBits);
    DDX_Control(pDX, IDC_CB_DATABITS, m_cbDataBits);
    DDX_Control(pDX, IDC_CB_PARITY, m_cbParity);
    DDX_Control(pDX, IDC_CB_BAUD, m_cbBaud);
    DDX_Control(pDX, IDC_CB_PORT, m_cbPort);
    DDX_Text(pDX, IDC_ST_STATUS, m_strStatus);
    DDX_Text(pDX, IDC_ED_DEVICEADDR, m_strDeviceAddr);
    DDX_Text(pDX, IDC_ED_WRITEVALUE, m_strWriteValue);
    DDX_Text(pDX, IDC_ED_WRITESENT, m_strWriteSent);
    DDX_Text(pDX, IDC_ED_WRITEREPLY, m_strWriteReply);
    DDX_Text(pDX, IDC_ED_READCOUNT, m_strReadCount);
    DDX_Text(pDX, IDC_ED_READSENT, m_strReadSent);
    DDX_Text(pDX, IDC_ED_READREPLY, m_strReadReply);
    DDX_Text(pDX, IDC_ED_TCPPORT, m_strTcpPort);
}

BOOL CDlgModbus::OnInitDialog()
{
    // 1. Template items ("8", "1") and the first transfer, which attaches
    //    the control members.
    CDialog::OnInitDialog();
    ListOpenablePorts();  // 2, 3
    FillSettingLists();   // 4 to 6
    FillRegisterLists();  // 7, 8

    // 9, 10. Device address and the closed-port state line.
    m_strDeviceAddr = ToCString(res::str::kDefaultDeviceAddr);
    m_strStatus = ToCString(res::str::kStatusPortClosed);
    UpdateData(FALSE);

    // 11. The focus goes to the first tab stop, the port box.
    return TRUE;
}

void CDlgModbus::ListOpenablePorts()
{
    // 2. The ports that can be opened now, in the link's order. Ports held
    //    by another program are left out; the list is never refreshed.
    m_cbPort.ResetContent();
    for (const std::string& name : PortCandidateNames()) {
        if (ProbeComPort(name) != 1)
            continue;
        const int index = m_cbPort.AddString(CString(name));
        m_cbPort.SetItemHeight(index, kPortItemHeight);
    }
    // 3. The first port; an empty list keeps nothing selected.
    m_cbPort.SetCurSel(0);
}

void CDlgModbus::FillSettingLists()
{
    // 4. Baud rates, 9600 selected.
    for (std::string_view baud : res::str::kBaudRates)
        m_cbBaud.AddString(ToCString(baud));
    m_cbBaud.SetCurSel(res::str::kDefaultBaudIndex);

    // 5. Parities: the selected index is the link's parity code.
    for (std::string_view parity : res::str::kParityNames)
        m_cbParity.AddString(ToCString(parity));
    m_cbParity.SetCurSel(0);

    // 6. The fixed 8 data bits and 1 stop bit.
    m_cbDataBits.SetCurSel(0);
    m_cbStopBits.SetCurSel(0);
}

void CDlgModbus::FillRegisterLists()
{
    // 7, 8. Register codes; selecting from here notifies nobody, so the name
    //    labels keep their template captions, the names of code "01".
    AddCodes(m_cbWriteReg, WriteRegisterTable());
    m_cbWriteReg.SetCurSel(0);
    AddCodes(m_cbReadReg, ReadRegisterTable());
    m_cbReadReg.SetCurSel(0);
}

// ---- Link commands ----

void CDlgModbus::OnOpenPort()
{
    if (m_bPortOpen)
        ClosePortIfConfirmed();
    else
        OpenChosenPort();
}

void CDlgModbus::ClosePortIfConfirmed()
{
    if (MessageBox(ToCString(res::str::kAskClosePort), ToCString(res::str::kAskClosePortCaption),
                   MB_OKCANCEL | MB_ICONQUESTION)
        != IDOK)
        return;
    CloseComPort();
    m_bPortOpen = FALSE;
    m_strStatus = ToCString(res::str::kStatusPortClosed);
    m_btnOpenPort.SetWindowText(ToCString(res::str::kBtnOpenPort));
    // No save first: text typed since the last save reverts.
    UpdateData(FALSE);
}

void CDlgModbus::OpenChosenPort()
{
    UpdateData(TRUE);
    m_strBaud = ChosenText(m_cbBaud);
    const int portSel = m_cbPort.GetCurSel();
    if (portSel == CB_ERR) {
        AfxMessageBox(ToCString(res::str::kMsgNoPortSelected));
        return;
    }
    m_cbPort.GetLBText(portSel, m_strPort);
    // The list holds the names in code order, so a chosen entry reads as its index.
    m_strParity = ChosenText(m_cbParity);
    const int parity = ParityFromName(m_strParity);
    const std::string path = ComPortPath(m_strPort.Utf8());
    const int baud = BaudFromText(m_strBaud);

    // Typed text that names no rate or parity opens nothing.
    if (baud <= 0 || parity < 0 || OpenComPort(path.c_str(), baud, parity) != 1) {
        m_bPortOpen = FALSE;
        AfxMessageBox(ToCString(res::str::kMsgOpenPortFailed));
        return;
    }
    // A '%' in a port name is copied, not taken as a place.
    m_strStatus.Format(res::str::kStatusPortOpenFormat, m_strPort, m_strBaud, m_strParity);
    m_bPortOpen = TRUE;
    m_btnOpenPort.SetWindowText(ToCString(res::str::kBtnClosePort));
    UpdateData(FALSE);
}

void CDlgModbus::OnConnectDevice()
{
    UpdateData(TRUE);
    const CString ip = m_ipAddress.GetWindowText();
    if (ip == ToCString(res::str::kBlankIpAddress)) {
        AfxMessageBox(ToCString(res::str::kMsgEnterIpAddress));
        return;
    }
    if (m_strTcpPort.IsEmpty()) {
        AfxMessageBox(ToCString(res::str::kMsgEnterTcpPort));
        return;
    }
    if (TcpConnect(ip.Utf8(), m_strTcpPort.Utf8()) != 1)
        AfxMessageBox(ToCString(res::str::kMsgTcpConnectFailed));
}

// ---- Register commands ----

void CDlgModbus::OnWriteRegister() { SendFromArea(*this, kWriteArea); }

void CDlgModbus::OnReadRegisters() { SendFromArea(*this, kReadArea); }

// ---- Register-name labels ----

void CDlgModbus::OnEditChangeWriteReg() { ShowRegisterName(*this, kWriteArea, CodeFrom::Typed); }

void CDlgModbus::OnSelChangeWriteReg() { ShowRegisterName(*this, kWriteArea, CodeFrom::Picked); }

void CDlgModbus::OnEditChangeReadReg() { ShowRegisterName(*this, kReadArea, CodeFrom::Typed); }

void CDlgModbus::OnSelChangeReadReg() { ShowRegisterName(*this, kReadArea, CodeFrom::Picked); }

// ---- Tool dialogs ----

void CDlgModbus::OnWriteMultiple()
{
    // Saved first, so an address typed just before the click is the one the
    // requests go to, not the previous device's.
    UpdateData(TRUE);
    RunToolDialog<CDlgDJCQ>(m_strDeviceAddr);
}

void CDlgModbus::OnBatchGenerate()
{
    UpdateData(TRUE);
    RunToolDialog<CDlgPLSC>(m_strDeviceAddr);
}
