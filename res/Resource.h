// Identifiers of the dialog templates and of their controls. Numbers are the
// templates' own; the same number may name different controls in different
// templates, as the names say.
#pragma once

// Labels and group boxes carry no identifier of their own.
constexpr int IDC_STATIC = -1;

// Console, template 139.
constexpr int IDD_MODBUS = 139;
constexpr int IDC_CB_PORT = 1001;
constexpr int IDC_CB_BAUD = 1002;
constexpr int IDC_ED_DEVICEADDR = 1006;
constexpr int IDC_ED_WRITEVALUE = 1007;
constexpr int IDC_ED_WRITESENT = 1008;
constexpr int IDC_ED_READCOUNT = 1009;
constexpr int IDC_ED_READSENT = 1010;
constexpr int IDC_BTN_BATCH = 1011;
constexpr int IDC_BTN_WRITE = 1014;
constexpr int IDC_BTN_READ = 1015;
constexpr int IDC_CB_PARITY = 1016;
constexpr int IDC_CB_DATABITS = 1017;
constexpr int IDC_CB_STOPBITS = 1018;
constexpr int IDC_BTN_OPENPORT = 1019;
constexpr int IDC_BTN_CONNECT = 1020;
constexpr int IDC_ST_STATUS = 1021;
constexpr int IDC_CB_READREG = 1025;
constexpr int IDC_IP_ADDRESS = 1037;
constexpr int IDC_ED_WRITEREPLY = 1040;
constexpr int IDC_CB_WRITEREG = 1041;
constexpr int IDC_ED_READREPLY = 1042;
constexpr int IDC_ST_WRITEREGNAME = 1043;
constexpr int IDC_ST_READREGNAME = 1044;
constexpr int IDC_ED_TCPPORT = 1045;
constexpr int IDC_BTN_WRITEMULTI = 1046;

// Write multiple registers, template 138.
constexpr int IDD_DJCQ = 138;
constexpr int IDC_DJCQ_QUANTITY = 1016;
constexpr int IDC_DJCQ_WRITEDATA = 1017;
constexpr int IDC_DJCQ_SENDDATA = 1018;
constexpr int IDC_DJCQ_RECVDATA = 1019;
constexpr int IDC_DJCQ_WRITE = 1022;
constexpr int IDC_DJCQ_REGADDR = 1026;

// Batch frame generator, template 135.
constexpr int IDD_PLSC = 135;
constexpr int IDC_PLSC_STARTSEG = 1013;
constexpr int IDC_PLSC_INSTRUCTION = 1014;
constexpr int IDC_PLSC_ENDSEG = 1015;
constexpr int IDC_PLSC_OUTPUT = 1037;
constexpr int IDC_PLSC_TYPE = 1038;
constexpr int IDC_PLSC_GENERATE = 1039;

// Help contexts of dialogs are their template number above this base.
constexpr int HID_BASE_RESOURCE = 0x20000;
// The framework's standard Help command.
constexpr unsigned ID_HELP = 57670;
