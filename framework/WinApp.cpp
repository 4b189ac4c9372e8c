// The parts of CWinApp that are the same on every realisation: the
// application object and its command map.
#include "framework/WinApp.h"

#include "res/Resource.h"

namespace {
CWinApp* g_pApp = nullptr;
}  // namespace

CWinApp* AfxGetApp() { return g_pApp; }

CWinApp::CWinApp() { g_pApp = this; }

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

BOOL CWinApp::OnCmdMsg(UINT nID)
{
    if (!m_bMapped) {
        m_bMapped = true;
        DeclareMessageMap();
    }
    const auto it = m_commands.find(nID);
    if (it == m_commands.end())
        return FALSE;
    it->second();
    return TRUE;
}

void CWinApp::OnHelpRequest(DWORD dwContext)
{
    m_dwHelpContext = dwContext;
    OnCmdMsg(ID_HELP);
}

void CWinApp::OnHelp() { WinHelp(m_dwHelpContext); }
