#include "app/Kestrel.h"

#include "res/Resource.h"
#include "ui/DlgModbus.h"

CKestrelApp theApp;

void CKestrelApp::DeclareMessageMap() { ON_COMMAND(ID_HELP, &CWinApp::OnHelp); }

BOOL CKestrelApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControlsStatic();

    CDlgModbus dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();  // the whole run happens in here; its result says nothing
    m_pMainWnd = nullptr;

    // No message loop of our own: the program ends. An open serial port or
    // socket is left to the operating system.
    return FALSE;
}
