// The class library the dialogs are written against: command targets with
// message maps, windows, dialogs, controls, menus and the application object.
// Window state itself lives in the window manager (Window.h); a CWnd is a
// handle-holding object that routes a window's messages to its handlers.
#pragma once

#include "platform/base/WinTypes.h"
#include "platform/ui/Messages.h"
#include "platform/ui/Resource.h"
#include "platform/ui/String.h"

namespace ui {
struct Window;
struct Menu;
struct Icon;
}  // namespace ui

using HWND = ui::Window*;
using HMENU = ui::Menu*;
using HICON = const ui::Icon*;
using HCURSOR = HICON;
using HDC = void*;
using INT_PTR = std::intptr_t;

struct RECT {
    LONG left = 0, top = 0, right = 0, bottom = 0;
};
using LPRECT = RECT*;

class CCmdTarget;
class CWnd;

// ---------------------------------------------------------------------------
// Message maps. Each class that handles messages declares DECLARE_MESSAGE_MAP()
// and defines its entries between BEGIN_MESSAGE_MAP and END_MESSAGE_MAP beside
// its handlers; lookups walk from the class's map to its base's.

using AFX_PMSG = LRESULT (*)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // 0 ends the map
    UINT nCode;     // notification code, for WM_COMMAND entries
    UINT nID;       // control or command id, for WM_COMMAND entries
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                            \
public:                                                  \
    static const AFX_MSGMAP* GetThisMessageMap();        \
    const AFX_MSGMAP* GetMessageMap() const override;    \
                                                         \
private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                         \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                    \
    {                                                                                  \
        using ThisClass [[maybe_unused]] = theClass;                                                  \
        using TheBaseClass = baseClass;                                                \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                        \
    { 0, 0, 0, nullptr }                                                         \
    };                                                                           \
    static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries}; \
    return &map;                                                                 \
    }

#define ON_WM_SYSCOMMAND()                                                                        \
    {WM_SYSCOMMAND, 0, 0, [](CCmdTarget* t, WPARAM w, LPARAM l) -> LRESULT {                     \
         static_cast<ThisClass*>(t)->OnSysCommand(static_cast<UINT>(w), l);                       \
         return 0;                                                                                \
     }},
#define ON_WM_PAINT()                                                     \
    {WM_PAINT, 0, 0, [](CCmdTarget* t, WPARAM, LPARAM) -> LRESULT {      \
         static_cast<ThisClass*>(t)->OnPaint();                           \
         return 0;                                                        \
     }},
#define ON_WM_QUERYDRAGICON()                                                                   \
    {WM_QUERYDRAGICON, 0, 0, [](CCmdTarget* t, WPARAM, LPARAM) -> LRESULT {                    \
         return reinterpret_cast<LRESULT>(static_cast<ThisClass*>(t)->OnQueryDragIcon());       \
     }},
#define ON_WM_TIMER()                                                      \
    {WM_TIMER, 0, 0, [](CCmdTarget* t, WPARAM w, LPARAM) -> LRESULT {     \
         static_cast<ThisClass*>(t)->OnTimer(static_cast<UINT>(w));        \
         return 0;                                                         \
     }},
#define ON_COMMAND(id, memberFxn)                                                   \
    {WM_COMMAND, 0, static_cast<UINT>(id), [](CCmdTarget* t, WPARAM, LPARAM) -> LRESULT { \
         static_cast<ThisClass*>(t)->memberFxn();                                   \
         return 0;                                                                  \
     }},
#define ON_CONTROL(code, id, memberFxn)                                                            \
    {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id), [](CCmdTarget* t, WPARAM, LPARAM) -> LRESULT { \
         static_cast<ThisClass*>(t)->memberFxn();                                                  \
         return 0;                                                                                 \
     }},
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)

#define afx_msg

// ---------------------------------------------------------------------------

class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // Looks message up in the map chain and calls its handler; true when one ran.
    bool DispatchMapped(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
};

class CMenu;
class CDataExchange;

// Calls wnd's window procedure for one message, remembering the message for
// CWnd::Default.
LRESULT AfxCallWndProc(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam);

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    // The object attached to hWnd, or a wrapper the window owns; null for null.
    static CWnd* FromHandle(HWND hWnd);
    // Attaches this object to hWnd so that its messages reach this object's map.
    BOOL SubclassWindow(HWND hWnd);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    void SetWindowText(LPCSTR text);
    void GetWindowText(CString& text) const;
    void SetDlgItemText(int nID, LPCSTR text);
    int GetDlgItemText(int nID, CString& text) const;
    CWnd* SetFocus();

    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, void* lpfnTimer);
    BOOL KillTimer(UINT_PTR nIDEvent);

    int MessageBox(LPCSTR text, LPCSTR caption = nullptr, UINT type = MB_OK);
    CMenu* GetSystemMenu(BOOL bRevert) const;
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    BOOL IsIconic() const;
    void GetClientRect(LPRECT rect) const;

    // The message being handled, as Default() passes it on.
    LRESULT Default();
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    static const AFX_MSGMAP* GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override;

protected:
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg void OnTimer(UINT nIDEvent);
    afx_msg HCURSOR OnQueryDragIcon();

    // The command message from a control or the keyboard; false when no
    // handler took it.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

private:
    friend LRESULT AfxCallWndProc(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam);
    UINT m_lastMessage = 0;
    WPARAM m_lastWParam = 0;
    LPARAM m_lastLParam = 0;
};

class CDataExchange {
public:
    CDataExchange(CWnd* dlg, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dlg) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

// Binds control to the dialog's control nIDC (the first time only).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the dialog from its template, runs it modally and returns the
    // value given to EndDialog, or -1 when the window could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    virtual BOOL OnInitDialog();

    static const AFX_MSGMAP* GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override;

protected:
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);

    // A dialog built from a template in memory (message boxes, help viewer).
    CDialog(const DLGTEMPLATE* lpTemplate, CWnd* pParentWnd);

    UINT m_nIDHelp = 0;

private:
    UINT m_nIDTemplate;
    const DLGTEMPLATE* m_lpTemplate = nullptr;
    CWnd* m_pParentWnd;
};

class CStatic : public CWnd {
};

class CListBox : public CWnd {
public:
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index);
    int AddString(LPCSTR text);
    void ResetContent();
    // The text of line index; LB_ERR when there is no such line.
    int GetText(int index, CString& text) const;
};

class CAnimateCtrl : public CWnd {
public:
    BOOL Open(UINT nID);
};

class CMenu {
public:
    HMENU m_hMenu = nullptr;
    static CMenu* FromHandle(HMENU hMenu);
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR text = nullptr);
};

// AppendMenuA, as the system's code calls it on the menu object.
#define AppendMenuA AppendMenu

class CPaintDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon);
    HDC m_hDC;

private:
    CWnd* m_pWnd;
};

int GetSystemMetrics(int index);

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    // Icon nID of the application's resources, at the standard icon size.
    HICON LoadIcon(UINT nIDResource) const;
    BOOL Enable3dControlsStatic() { return TRUE; }

    CWnd* m_pMainWnd = nullptr;
    // The display name: the one given to the constructor, else the
    // executable's file name without its extension.
    CString m_strAppName;
    // The help file: the executable's path with the extension ".HLP".
    CString m_strHelpFilePath;

    static const AFX_MSGMAP* GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override;

    afx_msg void OnHelp();

private:
    LPCSTR m_pszGivenName;
    friend int AfxWinMain(int argc, char** argv);
};

CWinApp* AfxGetApp();
inline void AfxEnableControlContainer() {}

// Start-up: sets the application's names from argv[0], registers nothing
// else, calls InitInstance and returns the exit status.
int AfxWinMain(int argc, char** argv);
