#include "ui/DlgDJCQ.h"

#include "codec/Requests.h"
#include "link/LinkUtil.h"
#include "res/Strings.h"
#include "ui/Exchange.h"

#include <string>
#include <vector>

CDlgDJCQ::CDlgDJCQ(CWnd* pParent) : CDialog(IDD, pParent) {}

CDlgDJCQ::~CDlgDJCQ() = default;

void CDlgDJCQ::DeclareMessageMap() { ON_BN_CLICKED(IDC_DJCQ_WRITE, &CDlgDJCQ::OnWrite); }

void CDlgDJCQ::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_DJCQ_REGADDR, m_strRegAddr);
    DDX_Text(pDX, IDC_DJCQ_QUANTITY, m_strQuantity);
    DDX_Text(pDX, IDC_DJCQ_RECVDATA, m_strRecvData);
    DDX_Text(pDX, IDC_DJCQ_WRITEDATA, m_strWriteData);
    DDX_Text(pDX, IDC_DJCQ_SENDDATA, m_strSendData);
}

void CDlgDJCQ::OnWrite()
{
    UpdateData(TRUE);

    // Only exactly empty text is refused; a blank reads as 0 below.
    if (m_strRegAddr.IsEmpty() || m_strQuantity.IsEmpty()) {
        AfxMessageBox(ToCString(res::str::kMsgWriteDataEmpty));
        return;
    }
    // Without a port the write would fail unseen while the frame showed as
    // sent, so refuse as the console's register commands do.
    if (!IsComPortOpen()) {
        AfxMessageBox(ToCString(res::str::kMsgConnectFirst));
        return;
    }

    // Empty only for a quantity the dialog does not write (below 0 or too
    // large to allocate sensibly).
    const std::vector<std::uint8_t> frame = BuildWriteMultipleFromText(
        m_strDeviceAddr.Utf8(), m_strRegAddr.Utf8(), m_strQuantity.Utf8(), m_strWriteData.Utf8());
    if (frame.empty()) {
        AfxMessageBox(ToCString(res::str::kMsgQuantityError));
        return;
    }

    SendAndShow(frame.data(), static_cast<int>(frame.size()), m_strSendData, m_strRecvData);

    // Both displays change together here; the operator's entries come back
    // as they were.
    UpdateData(FALSE);
}
