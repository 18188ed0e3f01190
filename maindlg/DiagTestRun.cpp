// The Test Modem button: the rescan when it reads "Reset", otherwise a test
// run on the selected port: dialtone, ROM, then the loopback stage, which
// ends every run.
#include <cstring>

#include "maindlg/DiagDlg.h"
#include "platform/comm/Comm.h"
#include "port/ModemPort.h"

namespace {
constexpr int kEchoWaitMs = 700;
constexpr int kModeWaitMs = 700;
constexpr int kDialWaitMs = 18000;
constexpr DWORD kAfterDialMs = 19500;
constexpr DWORD kBeforeRomMs = 5000;
constexpr int kRomWaitMs = 2000;
constexpr DWORD kAfterRomMs = 3000;
}  // namespace

void CDiagDlg::OnOK()
{
    CString buttonText;
    GetDlgItemText(IDOK, buttonText);
    if (std::strcmp(buttonText, "Reset") == 0) {
        Rescan();
        return;
    }

    // The button is enabled only while a port line is selected; without a
    // selection there is no port to test.
    int index = static_cast<int>(m_ctlPortList.SendMessage(LB_GETCURSEL));
    CString entry;
    if (index == LB_ERR || m_ctlPortList.GetText(index, entry) == LB_ERR) return;

    SetDlgItemText(IDOK, "Testing");
    GetDlgItem(IDOK)->EnableWindow(FALSE);
    CString portName = entry.Left(4);
    SetDlgItemText(IDC_TEST_PORT, CString("Please Wait - Testing ") + portName);
    SetDlgItemText(IDC_STATUS, "Testing For Dialtone");
    m_ctlListLabel.SetWindowText("Results:");

    CModemPort modem;

    // A port that cannot be opened ends the run at once, with the button
    // ready for a rescan.
    CString reply = modem.Transact(portName, "ATE1", kEchoWaitMs, "\r");
    if (std::strstr(reply, "Invalid Port Error") != nullptr) {
        SetDlgItemText(IDC_STATUS, "Communicatons Error, Modem Offline");
        m_ctlPortList.SendMessage(LB_RESETCONTENT);
        SetDlgItemText(IDC_TEST_PORT, "");
        SetDlgItemText(IDOK, "Reset");
        GetDlgItem(IDOK)->EnableWindow(TRUE);
        return;
    }

    // Dialtone.
    modem.Transact(portName, "ATM0", kModeWaitMs, "\r");
    reply = modem.Transact(portName, "ATDT;", kDialWaitMs, "\r");
    Sleep(kAfterDialMs);
    if (std::strstr(reply, "OK") != nullptr) {
        m_ctlPortList.SendMessage(LB_RESETCONTENT);
        m_ctlPortList.SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Dialtone Detected"));
        SetDlgItemText(IDC_STATUS, "Dialtone Test Passed");
    } else {
        const char* line = std::strstr(reply, "NO DIALTONE") != nullptr ? "Dialtone Detection Failure" : "No Dialtone Detected";
        SetDlgItemText(IDC_STATUS, "Dialtone Test Failed");
        m_ctlPortList.SendMessage(LB_RESETCONTENT);
        m_ctlPortList.SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }

    modem.ClosePort();
    Sleep(kBeforeRomMs);

    // ROM.
    SetDlgItemText(IDC_STATUS, "Testing ROM");
    reply = modem.Transact(portName, "ATI2", kRomWaitMs, "\r");
    if (std::strstr(reply, "OK") != nullptr) {
        m_ctlPortList.SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("ROM Test Passed"));
        SetDlgItemText(IDC_STATUS, "ROM Test Passed");
    } else {
        SetDlgItemText(IDC_STATUS, "ROM Test Failed");
        m_ctlPortList.SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("ROM Test Failed"));
    }
    Sleep(kAfterRomMs);

    TestLoopback(modem, portName);
}
