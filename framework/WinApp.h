// The application object: one per process, reached through AfxGetApp().
// It runs the start-up step and owns the Help command.
#pragma once

#include "framework/Afx.h"

#include <functional>
#include <map>

class CDialog;

class CWinApp : public CObject {
public:
    CWinApp();
    ~CWinApp() override;

    // Start-up; FALSE ends the program without a message loop of its own.
    virtual BOOL InitInstance();

    // Runs the handler mapped to command `nID`; FALSE when none is.
    BOOL OnCmdMsg(UINT nID);
    // A dialog's F1: the Help command for the dialog's help context.
    void OnHelpRequest(DWORD dwContext);

    // Default Help handler: the topic of the dialog that asked.
    void OnHelp();
    // Asks the help viewer for topic `dwData` in the help file; when the
    // file is not there or no viewer starts, tells the operator with
    // AfxMessageBox("启动帮助失败。").
    virtual void WinHelp(DWORD dwData);

    // The help file: the executable's path with ".html" for its extension,
    // or the installed page in <exe dir>/../share/kestrel when only that one
    // is there.
    CString GetHelpFilePath() const;
    // The help page's address for a topic: the file's URL ("file:///...",
    // percent-encoded) with "#topic-<context>".
    static CString HelpTopicUrl(const CString& helpFile, DWORD dwData);

    // How a help address is shown (by default the desktop's browser); true
    // when a viewer started. Replaceable so tests see the request without a
    // browser; nullptr restores the default.
    using HelpViewer = std::function<bool(const CString& url)>;
    static void SetHelpViewer(HelpViewer viewer);

    CDialog* m_pMainWnd = nullptr;

    // The framework's stand-in for the platform's three-dimensional controls:
    // both realisations draw them already.
    void Enable3dControlsStatic() {}

protected:
    // Called before the first command is dispatched: map commands here.
    virtual void DeclareMessageMap() {}
    template <class D>
    void ON_COMMAND(UINT nID, void (D::*handler)())
    {
        m_commands[nID] = [this, handler] { (static_cast<D*>(this)->*handler)(); };
    }

private:
    std::map<UINT, std::function<void()>> m_commands;
    bool m_bMapped = false;
    DWORD m_dwHelpContext = 0;
};

// The process's application object, or nullptr before it exists.
CWinApp* AfxGetApp();

// The program's entry, called from main: starts the toolkit, runs
// AfxWinInit, then the application object's InitInstance, which holds the
// whole run. Returns the process's exit code (0).
int AfxWinMain(int argc, char* argv[]);
