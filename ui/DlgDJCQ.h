// The write-multiple-registers tool, template 138: one function 10 request
// for the device address the console hands over, sent on the held serial
// port, with the request and the raw reply shown as hexadecimal text.
#pragma once

#include "framework/Dialog.h"
#include "res/Resource.h"

class CDlgDJCQ : public CDialog {
public:
    enum { IDD = IDD_DJCQ };

    explicit CDlgDJCQ(CWnd* pParent = nullptr);
    ~CDlgDJCQ() override;

    // Assigned by the opener before DoModal.
    CString m_strDeviceAddr;
    CString m_strRegAddr;
    CString m_strQuantity;
    CString m_strRecvData;
    CString m_strWriteData;
    CString m_strSendData;

protected:
    void DeclareMessageMap() override;
    void DoDataExchange(CDataExchange* pDX) override;

    void OnWrite();
};
