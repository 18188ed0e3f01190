// The model and firmware query, run on every selection in the port list.
#include <cstring>

#include "maindlg/DiagDlg.h"
#include "maindlg/ModemIdentity.h"
#include "port/ModemPort.h"

namespace {
constexpr int kQueryWaitMs = 2000;
}

void CDiagDlg::OnSelchangePortList()
{
    GetDlgItem(IDOK)->EnableWindow(FALSE);

    CModemPort modem;
    CString maker;
    maker.LoadString(IDS_MAKER);

    // With no line selected there is nothing to query: the fields must not
    // keep a modem that is no longer selected.
    int index = static_cast<int>(m_ctlPortList.SendMessage(LB_GETCURSEL));
    CString entry;
    if (index == LB_ERR || m_ctlPortList.GetText(index, entry) == LB_ERR) {
        m_ctlModel.SetWindowText("");
        m_ctlRevision.SetWindowText("");
        return;
    }

    if (std::strstr(entry, maker) == nullptr) {
        m_ctlModel.SetWindowText("");
        m_ctlRevision.SetWindowText("");
        return;
    }

    m_ctlStatus.SetWindowText("Please wait - Querying Modem");
    CString portName = entry.Left(4);
    CString reply = modem.Transact(portName, "ATI3", kQueryWaitMs, "\r");

    if (std::strstr(reply, "Error") != nullptr) {
        MessageBox(reply, nullptr, MB_OK);
        return;
    }

    CModemIdentity id = IdentifyModem(reply, maker);
    if (id.speedClass != CModemIdentity::NoSpeedClass) m_ctlModel.SetWindowText(id.model);
    if (id.markRuleRan) {
        m_ctlRevision.SetWindowText(id.markRevision);
        m_ctlStatus.SetWindowText("");
        GetDlgItem(IDOK)->EnableWindow(TRUE);
    }
    if (id.revisionRuleRan) {
        m_ctlRevision.SetWindowText(id.revision);
        m_ctlStatus.SetWindowText("");
        GetDlgItem(IDOK)->EnableWindow(TRUE);
    }

    // A reply that was not recognised leaves no earlier modem's texts behind.
    if (!id.Recognised()) {
        if (id.speedClass == CModemIdentity::NoSpeedClass) m_ctlModel.SetWindowText("");
        m_ctlRevision.SetWindowText("");
    }
}
