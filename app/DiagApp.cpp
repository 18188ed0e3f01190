#include "app/DiagApp.h"

#include "maindlg/DiagDlg.h"

BEGIN_MESSAGE_MAP(CDiagApp, CWinApp)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

CDiagApp::CDiagApp() : CWinApp(nullptr) {}

BOOL CDiagApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControlsStatic();

    CDiagDlg dlg(nullptr);
    m_pMainWnd = &dlg;
    dlg.DoModal();

    // The dialog has closed: end the program rather than run a message loop.
    return FALSE;
}
