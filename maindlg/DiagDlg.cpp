// Construction, initialisation, the system menu, painting and the rescan of
// the main dialog.
#include "maindlg/DiagDlg.h"

#include "app/AboutDlg.h"
#include "search/SearchDlg.h"

CDiagDlg::CDiagDlg(CWnd* pParent) : CDialog(CDiagDlg::IDD, pParent)
{
    m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
}

void CDiagDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_LIST_LABEL, m_ctlListLabel);
    DDX_Control(pDX, IDC_STATUS, m_ctlStatus);
    DDX_Control(pDX, IDC_TEST_PORT, m_ctlTestPort);
    DDX_Control(pDX, IDC_MODEL, m_ctlModel);
    DDX_Control(pDX, IDC_REVISION, m_ctlRevision);
    DDX_Control(pDX, IDC_PORT_LIST, m_ctlPortList);
}

BEGIN_MESSAGE_MAP(CDiagDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_LBN_SELCHANGE(IDC_PORT_LIST, OnSelchangePortList)
END_MESSAGE_MAP()

BOOL CDiagDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    // The About entry goes at the end of the system menu.
    if (CMenu* pSysMenu = GetSystemMenu(FALSE)) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenuA(MF_SEPARATOR);
            pSysMenu->AppendMenuA(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    // The search runs before this window is first shown; when it finds no
    // modem it ends the program from inside.
    CSearchDlg dlg(nullptr);
    dlg.DoModal();

    GetDlgItem(IDOK)->EnableWindow(FALSE);
    CopyPortEntries(dlg);
    return TRUE;
}

void CDiagDlg::CopyPortEntries(const CSearchDlg& dlg)
{
    int count = dlg.m_portEntries.GetSize();
    for (int i = 0; i < count; ++i) {
        CString entry = dlg.m_portEntries.GetAt(i);
        m_ctlPortList.SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(static_cast<LPCSTR>(entry)));
    }
}

void CDiagDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

// While minimised, the window shows its icon centred in the client area.
void CDiagDlg::OnPaint()
{
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

        int cxIcon = GetSystemMetrics(SM_CXICON);
        int cyIcon = GetSystemMetrics(SM_CYICON);
        RECT rect;
        GetClientRect(&rect);
        int x = (rect.right - rect.left - cxIcon + 1) / 2;
        int y = (rect.bottom - rect.top - cyIcon + 1) / 2;

        dc.DrawIcon(x, y, m_hIcon);
    } else {
        CDialog::OnPaint();
    }
}

HCURSOR CDiagDlg::OnQueryDragIcon() { return m_hIcon; }

void CDiagDlg::Rescan()
{
    m_ctlListLabel.SetWindowText("Ports:");
    m_ctlPortList.SendMessage(LB_RESETCONTENT);
    m_ctlModel.SetWindowText("");
    m_ctlRevision.SetWindowText("");
    m_ctlStatus.SetWindowText("");

    CSearchDlg dlg(nullptr);
    dlg.DoModal();

    CopyPortEntries(dlg);
    GetDlgItem(IDOK)->EnableWindow(FALSE);
    SetDlgItemText(IDOK, "Test Modem");
}
