// The application object: it runs the main dialog modally, and the program
// ends when that dialog closes.
#pragma once

#include "platform/ui/Wnd.h"

class CDiagApp : public CWinApp {
public:
    CDiagApp();

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CDiagApp theApp;
