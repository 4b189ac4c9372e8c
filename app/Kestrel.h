// The application shell: start-up runs the console as the one main window,
// and the program ends when it closes.
#pragma once

#include "framework/WinApp.h"

class CKestrelApp : public CWinApp {
public:
    CKestrelApp() = default;
    ~CKestrelApp() override = default;

    BOOL InitInstance() override;

protected:
    void DeclareMessageMap() override;
};

extern CKestrelApp theApp;
