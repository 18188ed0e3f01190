// The main dialog: the port list (later the results list), the model and
// firmware revision of the selected modem, the status line and the Test
// Modem / Reset button.
#pragma once

#include "platform/ui/Wnd.h"
#include "res/resource.h"

class CModemPort;
class CSearchDlg;

class CDiagDlg : public CDialog {
public:
    explicit CDiagDlg(CWnd* pParent = nullptr);

    enum { IDD = IDD_DIAG_DIALOG };

protected:
    CStatic m_ctlListLabel;
    CStatic m_ctlStatus;
    CStatic m_ctlTestPort;
    CStatic m_ctlModel;
    CStatic m_ctlRevision;
    CListBox m_ctlPortList;
    HICON m_hIcon;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnSelchangePortList();

    DECLARE_MESSAGE_MAP()

private:
    void Rescan();
    // Adds the search's entries to the port list, verbatim and in order.
    void CopyPortEntries(const CSearchDlg& dlg);
    // The loopback stage that ends every test run.
    void TestLoopback(CModemPort& modem, const CString& portName);
};
