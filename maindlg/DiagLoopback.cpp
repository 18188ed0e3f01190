// The loopback stage: the modem echoes every character it is sent while in
// its loopback test ("AT&T3"); the run lists what was sent and what came
// back, then leaves the test with "+++" and "AT&T0".
#include <cstring>
#include <vector>

#include "maindlg/DiagDlg.h"
#include "platform/comm/Comm.h"
#include "port/ModemPort.h"

namespace {
constexpr int kLoopbackWaitMs = 3000;
constexpr DWORD kAfterConnectMs = 3000;
constexpr DWORD kShowConnectMs = 2000;
constexpr int kEchoWaitMs = 1;
constexpr DWORD kProgressStepMs = 100;
constexpr int kEscapeWaitMs = 1700;
constexpr int kLeaveWaitMs = 700;
// The first two elements, "A" and "T", are sent and compared but not listed.
constexpr int kFirstListed = 2;

std::vector<CString> LoopbackSequence()
{
    std::vector<CString> sequence = {"A", "T"};
    for (char c = 'A'; c <= 'Z'; ++c) sequence.emplace_back(c);
    for (char c = '0'; c <= '9'; ++c) sequence.emplace_back(c);
    return sequence;
}

void AddLine(CListBox& list, const char* line)
{
    list.SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
}
}  // namespace

void CDiagDlg::TestLoopback(CModemPort& modem, const CString& portName)
{
    SetDlgItemText(IDC_STATUS, "Testing Modem Loopback");
    CString reply;
    reply = modem.Transact(portName, "AT&T3", kLoopbackWaitMs, "\r");

    if (std::strstr(reply, "CONNECT") == nullptr) {
        AddLine(m_ctlPortList, "Loopback Test Unavailable");
        SetDlgItemText(IDC_STATUS, "Test Unavailable");
        SetDlgItemText(IDOK, "Reset");
        GetDlgItem(IDOK)->EnableWindow(TRUE);
        m_ctlModel.SetWindowText("");
        m_ctlRevision.SetWindowText("");
        m_ctlTestPort.SetWindowText("");
        return;
    }

    Sleep(kAfterConnectMs);
    // The tail of the reply, p + 10 characters long, where p is the position
    // of "CONNECT".
    CString connectText = reply.Right(reply.Find("CONNECT") + 10);
    connectText.TrimLeft();
    SetDlgItemText(IDC_STATUS, connectText);
    Sleep(kShowConnectMs);

    // Every element goes out in its own transaction; an echo counts when it
    // is exactly the element. The listed texts keep sent and received
    // characters of the same positions side by side.
    CString sentText, receivedText;
    std::vector<CString> sequence = LoopbackSequence();
    for (size_t i = 0; i < sequence.size(); ++i) {
        CString echo = modem.Transact(portName, sequence[i], kEchoWaitMs, "");
        if (static_cast<int>(i) < kFirstListed) continue;
        sentText += sequence[i];
        if (std::strcmp(echo, sequence[i]) == 0) receivedText += echo;
    }

    CString progress;
    for (int i = 0; i < receivedText.GetLength(); ++i) {
        Sleep(kProgressStepMs);
        progress += receivedText.GetAt(i);
        SetDlgItemText(IDC_STATUS, progress);
    }

    AddLine(m_ctlPortList, "Loopback - Sent To Modem:");
    AddLine(m_ctlPortList, sentText);
    AddLine(m_ctlPortList, "Loopback - Received From Modem:");
    AddLine(m_ctlPortList, receivedText);

    SetDlgItemText(IDOK, "Reset");
    SetDlgItemText(IDC_TEST_PORT, "");
    modem.Transact(portName, "+++", kEscapeWaitMs, "");
    modem.Transact(portName, "AT&T0", kLeaveWaitMs, "\r");
    GetDlgItem(IDOK)->EnableWindow(TRUE);
    SetDlgItemText(IDC_STATUS, "");
}
