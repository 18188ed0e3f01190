#include "search/SearchDlg.h"

#include <cstdlib>
#include <cstring>

#include "port/ModemPort.h"

namespace {
constexpr UINT_PTR kScanTimer = 1;
constexpr UINT kScanDelayMs = 1000;
constexpr int kFirstPort = 1;
constexpr int kLastPort = 8;
constexpr int kProbeWaitMs = 1100;
}  // namespace

CSearchDlg::CSearchDlg(CWnd* pParent) : CDialog(CSearchDlg::IDD, pParent) {}

void CSearchDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_ANIMATE, m_animate);
}

BEGIN_MESSAGE_MAP(CSearchDlg, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()

BOOL CSearchDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // The clip plays by itself (auto-play) on the control's own thread.
    m_animate.SendMessage(ACM_OPEN, 0, MAKEINTRESOURCE(IDR_SEARCH_AVI));
    SetTimer(kScanTimer, kScanDelayMs, nullptr);
    return TRUE;
}

// The scan runs inside this one timer message; the window handles nothing
// else until it is over.
void CSearchDlg::OnTimer(UINT nIDEvent)
{
    CString maker;
    maker.LoadString(IDS_MAKER);

    if (nIDEvent == kScanTimer) {
        KillTimer(kScanTimer);

        CModemPort port;
        bool found = false;
        for (int n = kFirstPort; n <= kLastPort; ++n) {
            CString portName = CString("COM") + CString(std::to_string(n));
            CString reply = port.Transact(portName, "ATI3", kProbeWaitMs, "\r");
            CString entry = portName;
            if (std::strstr(reply, maker) != nullptr) {
                entry = portName + " - " + maker + " " + "Modem";
                found = true;
            }
            m_portEntries.Add(entry);
        }

        if (!found) {
            MessageBox(CString("No ") + maker + " Modems Found - Exiting", "No Modem", MB_OK);
            std::exit(0);
        }

        port.ClosePort();
        EndDialog(IDCANCEL);
    }

    CWnd::OnTimer(nIDEvent);
}
