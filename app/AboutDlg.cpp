#include "app/AboutDlg.h"

CAboutDlg::CAboutDlg() : CDialog(CAboutDlg::IDD) {}

// The box has no controls to bind.
void CAboutDlg::DoDataExchange(CDataExchange*) {}

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
END_MESSAGE_MAP()
