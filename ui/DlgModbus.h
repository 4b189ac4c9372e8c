// The console: the program's one main window, template 139. It gathers the
// serial-port settings, the Ethernet address and port, the device address,
// and the write-register and read-register areas.
#pragma once

#include "framework/Dialog.h"
#include "res/Resource.h"

#include <string>
#include <vector>

class CDlgModbus : public CDialog {
public:
    enum { IDD = IDD_MODBUS };

    explicit CDlgModbus(CWnd* pParent = nullptr);
    ~CDlgModbus() override;

    // Names of the ports the start-up step probes, in list order. The device
    // link's list by default; tests give their own (nullptr restores it).
    using PortCandidates = std::vector<std::string> (*)();
    static void SetPortCandidates(PortCandidates source);

    // Height of a port list item, in pixels.
    static constexpr UINT kPortItemHeight = 15;

    BOOL m_bPortOpen;
    CString m_strBaud;
    CString m_strPort;
    CString m_strParity;
    CIPAddressCtrl m_ipAddress;
    CStatic m_stReadRegName;
    CStatic m_stWriteRegName;
    CComboBox m_cbReadReg;
    CComboBox m_cbWriteReg;
    CButton m_btnOpenPort;
    CComboBox m_cbStopBits;
    CComboBox m_cbDataBits;
    CComboBox m_cbParity;
    CComboBox m_cbBaud;
    CComboBox m_cbPort;
    CString m_strStatus;
    CString m_strDeviceAddr;
    CString m_strWriteValue;
    CString m_strWriteSent;
    CString m_strWriteReply;
    CString m_strReadCount;
    CString m_strReadSent;
    CString m_strReadReply;
    CString m_strTcpPort;

protected:
    void DeclareMessageMap() override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    // Link commands: the serial open/close toggle and the TCP connection.
    void OnOpenPort();
    void OnConnectDevice();

    // Register commands: one request, then whatever bytes come back.
    void OnWriteRegister();
    void OnReadRegisters();
    // Register-name labels beside the two register boxes.
    void OnEditChangeWriteReg();
    void OnSelChangeWriteReg();
    void OnEditChangeReadReg();
    void OnSelChangeReadReg();

    // The tool dialogs, each given the device address the console shows.
    void OnWriteMultiple();
    void OnBatchGenerate();

private:
    // The start-up step's lists: the ports, the line settings, the register codes.
    void ListOpenablePorts();
    void FillSettingLists();
    void FillRegisterLists();

    // The two halves of the open/close toggle.
    void ClosePortIfConfirmed();
    void OpenChosenPort();
};
