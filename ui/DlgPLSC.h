// The batch frame generator, template 135: a range of segment numbers turned
// into play or loop-play requests for the device address the console hands
// over, listed as lines of hexadecimal text to copy. It sends nothing.
#pragma once

#include "framework/Dialog.h"
#include "res/Resource.h"

class CDlgPLSC : public CDialog {
public:
    enum { IDD = IDD_PLSC };

    explicit CDlgPLSC(CWnd* pParent = nullptr);
    ~CDlgPLSC() override;

    // Assigned by the opener before DoModal.
    CString m_strDeviceAddr;
    CComboBox m_cbType;
    CComboBox m_cbInstruction;
    CString m_strStartSeg;
    CString m_strEndSeg;
    CString m_strOutput;  // CR LF line ends

protected:
    void DeclareMessageMap() override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnGenerate();
    void OnChangeStartSeg();
    void OnChangeEndSeg();

private:
    // The segment box's rule: a value above the largest segment is replaced
    // by the largest, with a message.
    void LimitSegment(CString& segment);
};
