// The modal search window shown at start-up and on every rescan: it probes
// COM1 to COM8 with "ATI3" one second after it appears and leaves one list
// entry per port in m_portEntries.
#pragma once

#include "platform/ui/Wnd.h"
#include "res/resource.h"

class CSearchDlg : public CDialog {
public:
    explicit CSearchDlg(CWnd* pParent = nullptr);

    enum { IDD = IDD_SEARCH };

    // The entries the scan produced, in port order: "COM3" or "COM3 - Korvane Modem".
    CStringArray m_portEntries;
    CAnimateCtrl m_animate;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    afx_msg void OnTimer(UINT nIDEvent);

    DECLARE_MESSAGE_MAP()
};
