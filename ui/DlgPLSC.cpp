#include "ui/DlgPLSC.h"

#include "codec/Frames.h"
#include "codec/Requests.h"
#include "codec/TextNumber.h"
#include "res/Strings.h"

#include <string>

namespace {
// List positions that OnInitDialog fills; any other selection (none
// included) means the second entry.
constexpr int kInstructionPlayIndex = 0;
constexpr int kTypeModbusIndex = 0;
}  // namespace

CDlgPLSC::CDlgPLSC(CWnd* pParent) : CDialog(IDD, pParent) {}

CDlgPLSC::~CDlgPLSC() = default;

void CDlgPLSC::DeclareMessageMap()
{
    ON_BN_CLICKED(IDC_PLSC_GENERATE, &CDlgPLSC::OnGenerate);
    ON_EN_CHANGE(IDC_PLSC_STARTSEG, &CDlgPLSC::OnChangeStartSeg);
    ON_EN_CHANGE(IDC_PLSC_ENDSEG, &CDlgPLSC::OnChangeEndSeg);
}

void CDlgPLSC::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PLSC_TYPE, m_cbType);
    DDX_Control(pDX, IDC_PLSC_INSTRUCTION, m_cbInstruction);
    DDX_Text(pDX, IDC_PLSC_STARTSEG, m_strStartSeg);
    DDX_Text(pDX, IDC_PLSC_ENDSEG, m_strEndSeg);
    DDX_Text(pDX, IDC_PLSC_OUTPUT, m_strOutput);
}

BOOL CDlgPLSC::OnInitDialog()
{
    CDialog::OnInitDialog();

    m_cbInstruction.AddString(ToCString(res::str::kInstructionPlay));
    m_cbInstruction.AddString(ToCString(res::str::kInstructionLoopPlay));
    m_cbInstruction.SetCurSel(kInstructionPlayIndex);

    m_cbType.AddString(ToCString(res::str::kFrameTypeModbus));
    m_cbType.AddString(ToCString(res::str::kFrameTypePlain));
    m_cbType.SetCurSel(kTypeModbusIndex);

    // The focus goes to the first tab stop, the start box.
    return TRUE;
}

void CDlgPLSC::OnGenerate()
{
    UpdateData(TRUE);

    // Only exactly empty text is refused; the output keeps what it showed.
    if (m_strDeviceAddr.IsEmpty()) {
        AfxMessageBox(ToCString(res::str::kMsgConnectFirst));
        return;
    }
    if (m_strStartSeg.IsEmpty()) {
        AfxMessageBox(ToCString(res::str::kMsgStartSegEmpty));
        return;
    }
    if (m_strEndSeg.IsEmpty()) {
        AfxMessageBox(ToCString(res::str::kMsgEndSegEmpty));
        return;
    }

    // A reversed range, or one too long to list, still replaces the output:
    // the operator then sees the header alone.
    const int start = ParseDecimal(m_strStartSeg.Utf8());
    const int end = ParseDecimal(m_strEndSeg.Utf8());
    if (!IsBatchRangeListable(start, end))
        AfxMessageBox(ToCString(res::str::kMsgSegmentOrder));

    const int command =
        m_cbInstruction.GetCurSel() == kInstructionPlayIndex ? frame::kCmdPlay : frame::kCmdLoopPlay;
    const int address = ParseDecimal(m_strDeviceAddr.Utf8());
    const bool modbus = m_cbType.GetCurSel() == kTypeModbusIndex;

    std::string text(modbus ? res::str::kHeaderModbus : res::str::kHeaderPlain);
    text += BatchFrameLines(address, command, modbus ? BatchKind::Modbus : BatchKind::Plain, start, end);
    m_strOutput = ToCString(text);

    UpdateData(FALSE);
}

void CDlgPLSC::OnChangeStartSeg() { LimitSegment(m_strStartSeg); }

void CDlgPLSC::OnChangeEndSeg() { LimitSegment(m_strEndSeg); }

void CDlgPLSC::LimitSegment(CString& segment)
{
    UpdateData(TRUE);
    if (ParseDecimal(segment.Utf8()) <= request::kMaxSegment)
        return;
    const CString largest(std::to_string(request::kMaxSegment));
    CString message;
    message.Format(res::str::kMsgSegmentMaxFormat, largest);
    AfxMessageBox(message);
    segment = largest;
    // Writing the largest back raises one more change, which passes silently.
    UpdateData(FALSE);
}
