#include "platform/ui/Wnd.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "platform/ui/Window.h"

// ---------------------------------------------------------------------------
// Message maps.

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

bool CCmdTarget::DispatchMapped(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nMessage; ++e) {
            if (e->nMessage != message) continue;
            if (message == WM_COMMAND && (e->nID != LOWORD(wParam) || e->nCode != HIWORD(wParam))) continue;
            result = e->pfn(this, wParam, lParam);
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// CWnd

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::~CWnd()
{
    if (m_hWnd) {
        if (m_hWnd->object == this) m_hWnd->object = nullptr;
        m_hWnd = nullptr;
    }
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (!hWnd) return nullptr;
    if (hWnd->object) return hWnd->object;
    if (!hWnd->wrapper) {
        hWnd->wrapper = std::make_unique<CWnd>();
        hWnd->wrapper->m_hWnd = hWnd;
    }
    return hWnd->wrapper.get();
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!hWnd || hWnd->object) return FALSE;
    hWnd->object = this;
    m_hWnd = hWnd;
    return TRUE;
}

LRESULT AfxCallWndProc(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    UINT oldMessage = wnd->m_lastMessage;
    WPARAM oldW = wnd->m_lastWParam;
    LPARAM oldL = wnd->m_lastLParam;
    wnd->m_lastMessage = message;
    wnd->m_lastWParam = wParam;
    wnd->m_lastLParam = lParam;
    LRESULT result = wnd->WindowProc(message, wParam, lParam);
    wnd->m_lastMessage = oldMessage;
    wnd->m_lastWParam = oldW;
    wnd->m_lastLParam = oldL;
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam)) return DefWindowProc(message, wParam, lParam);
        return 0;
    }
    LRESULT result = 0;
    if (DispatchMapped(message, wParam, lParam, result)) return result;
    return DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (DispatchMapped(WM_COMMAND, wParam, lParam, result)) return TRUE;
    // Commands no window handles go on to the application (F1's ID_HELP).
    if (m_hWnd && m_hWnd->IsDialog())
        if (CWinApp* app = AfxGetApp(); app && app->DispatchMapped(WM_COMMAND, wParam, lParam, result)) return TRUE;
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return m_hWnd ? ui::DefaultWindowProc(m_hWnd, message, wParam, lParam) : 0;
}

LRESULT CWnd::Default() { return DefWindowProc(m_lastMessage, m_lastWParam, m_lastLParam); }

void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
void CWnd::OnPaint() { Default(); }
void CWnd::OnTimer(UINT) { Default(); }
HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ui::SendMessageTo(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    if (!m_hWnd) return FALSE;
    ui::PostMessageTo(m_hWnd, message, wParam, lParam);
    return TRUE;
}

CWnd* CWnd::GetDlgItem(int nID) const { return m_hWnd ? FromHandle(m_hWnd->Child(nID)) : nullptr; }

int CWnd::GetDlgCtrlID() const { return m_hWnd ? m_hWnd->id : 0; }

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    if (!m_hWnd) return FALSE;
    BOOL wasDisabled = m_hWnd->enabled ? FALSE : TRUE;
    ui::SetEnabled(m_hWnd, bEnable != FALSE);
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const { return m_hWnd && m_hWnd->enabled ? TRUE : FALSE; }

void CWnd::SetWindowText(LPCSTR text)
{
    if (m_hWnd) ui::SetText(m_hWnd, text ? text : "");
}

void CWnd::GetWindowText(CString& text) const { text = m_hWnd ? CString(m_hWnd->text) : CString(); }

void CWnd::SetDlgItemText(int nID, LPCSTR text)
{
    if (CWnd* item = GetDlgItem(nID)) item->SetWindowText(text);
}

int CWnd::GetDlgItemText(int nID, CString& text) const
{
    text.Empty();
    if (CWnd* item = GetDlgItem(nID)) item->GetWindowText(text);
    return text.GetLength();
}

CWnd* CWnd::SetFocus()
{
    if (!m_hWnd) return nullptr;
    ui::Window* dialog = m_hWnd->parent;
    CWnd* old = dialog ? FromHandle(dialog->focus) : nullptr;
    ui::FocusControl(m_hWnd);
    return old;
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, void*)
{
    if (!m_hWnd) return 0;
    ui::SetTimerFor(m_hWnd, nIDEvent, nElapse);
    return nIDEvent;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) { return m_hWnd && ui::KillTimerFor(m_hWnd, nIDEvent) ? TRUE : FALSE; }

int CWnd::MessageBox(LPCSTR text, LPCSTR caption, UINT type)
{
    std::string title = caption ? caption : (AfxGetApp() ? AfxGetApp()->m_strAppName.Str() : std::string());
    return ui::AfxMessageBox(m_hWnd, text ? text : "", title, type);
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const
{
    if (!m_hWnd || !m_hWnd->sysMenu) return nullptr;
    if (bRevert) {
        m_hWnd->sysMenu->items = {{MF_STRING, SC_MOVE, "&Move"}, {MF_STRING, SC_CLOSE, "&Close"}};
        return nullptr;
    }
    return CMenu::FromHandle(m_hWnd->sysMenu.get());
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

BOOL CWnd::IsIconic() const { return m_hWnd && m_hWnd->iconic ? TRUE : FALSE; }

void CWnd::GetClientRect(LPRECT rect) const
{
    *rect = RECT{};
    if (!m_hWnd) return;
    if (m_hWnd->iconic) {
        rect->right = m_hWnd->clientWidthPx;
        rect->bottom = m_hWnd->clientHeightPx;
    } else {
        // Dialog units in pixels of the 8-point system font: 4 units are
        // 6 pixels across and 8 units 13 pixels down.
        rect->right = m_hWnd->cx * 6 / 4;
        rect->bottom = m_hWnd->cy * 13 / 8;
    }
}

// ---------------------------------------------------------------------------
// Dialogs

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd || !pDX || !pDX->m_pDlgWnd || !pDX->m_pDlgWnd->m_hWnd) return;
    if (HWND item = pDX->m_pDlgWnd->m_hWnd->Child(nIDC)) {
        if (item->wrapper) item->wrapper->m_hWnd = nullptr, item->wrapper.reset();
        rControl.SubclassWindow(item);
    }
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::CDialog(const DLGTEMPLATE* lpTemplate, CWnd* pParentWnd) : m_nIDTemplate(0), m_lpTemplate(lpTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog()
{
    if (m_hWnd) ui::DestroyDialog(m_hWnd);
}

INT_PTR CDialog::DoModal()
{
    const DLGTEMPLATE* tmpl = m_lpTemplate;
    if (!tmpl) {
        auto& dialogs = ::AfxGetResourceModule().dialogs;
        auto it = dialogs.find(static_cast<int>(m_nIDTemplate));
        if (it == dialogs.end()) return -1;
        tmpl = &it->second;
    }
    if (ui::Quitting()) return -1;

    // A dialog without a parent is owned by the application's main window
    // (or, while that is not created yet, by the active dialog).
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner) {
        CWinApp* app = AfxGetApp();
        if (app && app->m_pMainWnd && app->m_pMainWnd != this) owner = app->m_pMainWnd->m_hWnd;
        if (!owner) owner = ui::ActiveWindow();
    }

    HWND hwnd = ui::CreateDialogWindow(*tmpl, static_cast<int>(m_nIDTemplate), owner, this);
    bool ownerWasEnabled = owner && owner->enabled;
    if (owner) ui::SetEnabled(owner, false);

    if (OnInitDialog() && m_hWnd) ui::SetInitialFocus(m_hWnd);
    int result = -1;
    if (m_hWnd) {
        // A modal dialog is shown once it is initialised, with or without
        // WS_VISIBLE in its template.
        if (!hwnd->endRequested) ui::SetVisible(hwnd, true);
        result = ui::RunModalLoop(hwnd);
    }
    if (owner && ownerWasEnabled) {
        // The owner may have gone meanwhile; re-enable only a live one.
        for (HWND h : ui::TopLevelWindows())
            if (h == owner) ui::SetEnabled(owner, true);
    }
    if (m_hWnd) ui::DestroyDialog(m_hWnd);
    return result;
}

void CDialog::EndDialog(int nResult)
{
    if (m_hWnd) ui::EndModalLoop(m_hWnd, nResult);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

// ---------------------------------------------------------------------------
// Controls

int CListBox::GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
int CListBox::GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
int CListBox::SetCurSel(int index) { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index))); }
int CListBox::AddString(LPCSTR text) { return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
void CListBox::ResetContent() { SendMessage(LB_RESETCONTENT); }

int CListBox::GetText(int index, CString& text) const
{
    text.Empty();
    if (!m_hWnd || index < 0 || index >= static_cast<int>(m_hWnd->lines.size())) return static_cast<int>(LB_ERR);
    text = CString(m_hWnd->lines[static_cast<size_t>(index)]);
    return text.GetLength();
}

BOOL CAnimateCtrl::Open(UINT nID) { return static_cast<BOOL>(SendMessage(ACM_OPEN, 0, MAKEINTRESOURCE(static_cast<int>(nID)))); }

// ---------------------------------------------------------------------------
// Menus and painting

CMenu* CMenu::FromHandle(HMENU hMenu)
{
    // One object per menu, kept for the life of the process like the
    // library's permanent handle map.
    static std::vector<std::unique_ptr<CMenu>> objects;
    if (!hMenu) return nullptr;
    for (auto& m : objects)
        if (m->m_hMenu == hMenu) return m.get();
    objects.push_back(std::make_unique<CMenu>());
    objects.back()->m_hMenu = hMenu;
    return objects.back().get();
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR text)
{
    if (!m_hMenu) return FALSE;
    m_hMenu->items.push_back({nFlags, nIDNewItem, (nFlags & MF_SEPARATOR) || !text ? std::string() : std::string(text)});
    return TRUE;
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hDC(wnd), m_pWnd(wnd) {}

CPaintDC::~CPaintDC() = default;

BOOL CPaintDC::DrawIcon(int x, int y, HICON hIcon)
{
    if (!m_pWnd || !m_pWnd->m_hWnd || !hIcon) return FALSE;
    ui::NotifyChange({ui::Change::DrawIcon, m_pWnd->m_hWnd, x, y});
    return TRUE;
}

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------
// The application

namespace {
CWinApp* g_app = nullptr;
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName) : m_pszGivenName(lpszAppName) { g_app = this; }

CWinApp::~CWinApp()
{
    if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    static std::vector<std::unique_ptr<ui::Icon>> icons;
    if (!::AfxGetResourceModule().icons.count(static_cast<int>(nIDResource))) return nullptr;
    int size = GetSystemMetrics(SM_CXICON);
    for (auto& i : icons)
        if (i->resourceId == static_cast<int>(nIDResource) && i->size == size) return i.get();
    icons.push_back(std::make_unique<ui::Icon>(ui::Icon{static_cast<int>(nIDResource), size}));
    return icons.back().get();
}

void CWinApp::OnHelp()
{
    HWND owner = ui::ActiveWindow();
    std::ifstream in(m_strHelpFilePath.Str(), std::ios::binary);
    if (!in) {
        std::string name = m_strHelpFilePath.Str().substr(m_strHelpFilePath.Str().find_last_of('/') + 1);
        ui::AfxMessageBox(owner, "Cannot find the " + name + " file.", m_strAppName.Str(), MB_OK);
        return;
    }
    ui::ShowTextViewer(owner, m_strAppName.Str() + " Help", in);
}

int AfxWinMain(int argc, char** argv)
{
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    // The executable's own path, as the kernel knows it; argv[0] when that fails.
    std::string exe = argc > 0 && argv[0] ? argv[0] : "plovex";
    char self[4096];
    if (ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1); n > 0) exe.assign(self, static_cast<size_t>(n));
    std::string base = exe.substr(exe.find_last_of('/') + 1);
    std::string stem = base.substr(0, base.find('.'));
    app->m_strAppName = app->m_pszGivenName ? CString(app->m_pszGivenName) : CString(stem);
    std::string dir = exe.find('/') == std::string::npos ? std::string(".") : exe.substr(0, exe.find_last_of('/'));
    app->m_strHelpFilePath = CString(dir + "/" + stem + ".HLP");
    app->InitInstance();
    int status = app->ExitInstance();
    // An end forced from outside (the terminal gone) keeps its own status.
    return ui::Quitting() ? ui::QuitCode() : status;
}

// ---------------------------------------------------------------------------
// Strings from the string table

BOOL CString::LoadString(UINT id)
{
    auto& strings = ::AfxGetResourceModule().strings;
    auto it = strings.find(id);
    if (it == strings.end()) {
        Empty();
        return FALSE;
    }
    *this = CString(it->second);
    return TRUE;
}
