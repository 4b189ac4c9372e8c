#include "ui/DlgModbus.h"

#include "codec/RegisterMap.h"
#include "link/LinkUtil.h"
#include "res/Strings.h"

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

} // namespace

CDlgModbus::CDlgModbus(QWidget* pParent)
    : CDialog(IDD, pParent), m_bPortOpen(FALSE)
{
}

// Releases the members only: an open port or socket stays with the link.
CDlgModbus::~CDlgModbus() = default;

void CDlgModbus::SetPortCandidates(PortCandidates source) { g_portCandidates = source; }

void CDlgModbus::DeclareMessageMap()
{
    // Command handlers are mapped here as they are added.
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

    // 2. The ports that can be opened now, in the link's order. Ports held
    //    by another program are left out; the list is never refreshed.
    m_cbPort.ResetContent();
    for (const std::string& name : PortCandidateNames()) {
        if (ProbeComPort(name) != 1)
            continue;
        const int index = m_cbPort.AddString(QString::fromStdString(name));
        m_cbPort.SetItemHeight(index, kPortItemHeight);
    }
    // 3. The first port; an empty list keeps nothing selected.
    m_cbPort.SetCurSel(0);

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

    // 7, 8. Register codes; selecting from here notifies nobody, so the name
    //    labels keep their template captions, the names of code "01".
    AddCodes(m_cbWriteReg, WriteRegisterTable());
    m_cbWriteReg.SetCurSel(0);
    AddCodes(m_cbReadReg, ReadRegisterTable());
    m_cbReadReg.SetCurSel(0);

    // 9, 10. Device address and the closed-port state line.
    m_strDeviceAddr = ToCString(res::str::kDefaultDeviceAddr);
    m_strStatus = ToCString(res::str::kStatusPortClosed);
    UpdateData(FALSE);

    // 11. The focus goes to the first tab stop, the port box.
    return TRUE;
}
