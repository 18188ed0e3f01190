#include "platform/ui/Window.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <deque>

#include "platform/ui/Animation.h"

namespace ui {

namespace {

// One entry of the message queue. Input is resolved to its target when it is
// handled, so that keys typed while a handler blocked go to the dialog that is
// active once the handler has returned.
struct QueuedMsg {
    enum Kind { Message, Key, Click, ListClick, ListScroll, SysMenuBox, CloseBox, MenuChoice, Quit } kind = Message;
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    int value = 0;
    UINT modifiers = 0;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    plat::TimeMs period;
    plat::TimeMs next;
};

struct ModalState {
    HWND hwnd;
    bool ended = false;
    int result = 0;
};

struct WindowManager {
    std::recursive_mutex lock;
    std::vector<std::unique_ptr<Window>> dialogs;  // bottom to top
    std::deque<QueuedMsg> queue;
    std::vector<Timer> timers;
    std::vector<IObserver*> observers;
    IEventSource* source = nullptr;
    std::vector<ModalState*> modal;
    std::vector<std::function<void()>> exitHooks;
    bool quitting = false;
    int quitCode = 0;  // the exit status PostQuit asked for
};

void RunExitHooks();

WindowManager& WM()
{
    // Never destroyed: exit() may be called from inside a modal loop, with
    // windows still alive, and the exit hooks need the manager.
    static WindowManager* wm = [] {
        auto* m = new WindowManager;
        std::atexit(RunExitHooks);
        return m;
    }();
    return *wm;
}

void RunExitHooks()
{
    StopAllAnimations();
    auto& wm = WM();
    for (auto it = wm.exitHooks.rbegin(); it != wm.exitHooks.rend(); ++it) (*it)();
    wm.exitHooks.clear();
}

void Notify(const Change& change)
{
    auto& wm = WM();
    std::lock_guard guard(wm.lock);
    for (IObserver* o : std::vector<IObserver*>(wm.observers)) o->OnChange(change);
}

bool IsTabStop(const Window* w) { return w->visible && w->enabled && (w->style & WS_TABSTOP); }

Window* DialogOf(Window* w) { return w && w->parent ? w->parent : w; }

void SetFocusTo(Window* dialog, Window* control)
{
    if (!dialog || dialog->focus == control) return;
    std::lock_guard guard(WM().lock);
    dialog->focus = control;
    Notify({Change::Focus, dialog, 0, 0, {}, {}, control});
}

// The next (or previous) tab stop after from, wrapping; null when there is none.
Window* NextTabStop(Window* dialog, Window* from, bool backwards)
{
    auto& kids = dialog->children;
    if (kids.empty()) return nullptr;
    int n = static_cast<int>(kids.size());
    int start = -1;
    for (int i = 0; i < n; ++i)
        if (kids[static_cast<size_t>(i)].get() == from) start = i;
    for (int step = 1; step <= n; ++step) {
        int i = start < 0 ? (backwards ? n - step : step - 1) : ((start + (backwards ? -step : step)) % n + n) % n;
        Window* w = kids[static_cast<size_t>(i)].get();
        if (IsTabStop(w)) return w;
    }
    return nullptr;
}

void ScrollIntoView(Window* list)
{
    int page = ListPageSize(list);
    int count = static_cast<int>(list->lines.size());
    if (list->curSel >= 0) {
        if (list->curSel < list->topIndex) list->topIndex = list->curSel;
        if (list->curSel >= list->topIndex + page) list->topIndex = list->curSel - page + 1;
    }
    list->topIndex = std::clamp(list->topIndex, 0, std::max(0, count - page));
}

// Moves the view of a list box to top (clamped), leaving the selection.
void ScrollTo(Window* list, int top)
{
    int count = static_cast<int>(list->lines.size());
    top = std::clamp(top, 0, std::max(0, count - ListPageSize(list)));
    std::lock_guard guard(WM().lock);
    if (top == list->topIndex) return;
    list->topIndex = top;
    Notify({Change::Scrolled, list, top});
}

void SetSelection(Window* list, int index)
{
    std::lock_guard guard(WM().lock);
    list->curSel = index;
    ScrollIntoView(list);
    Notify({Change::Selection, list, index});
}

void SendCommand(Window* dialog, int id, WORD code, Window* control)
{
    SendMessageTo(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), code), reinterpret_cast<LPARAM>(control));
}

void PressButton(Window* button)
{
    Window* dialog = button->parent;
    if (!dialog || !button->enabled) return;
    SendCommand(dialog, button->id, BN_CLICKED, button);
}

// A user's selection in a list box: moves the selection and tells the dialog.
void UserSelect(Window* list, int index, bool notifyAlways)
{
    if (!list->enabled || list->lines.empty()) return;
    index = std::clamp(index, 0, static_cast<int>(list->lines.size()) - 1);
    bool changed = index != list->curSel;
    SetSelection(list, index);
    if ((changed || notifyAlways) && (list->style & LBS_NOTIFY) && list->parent)
        SendCommand(list->parent, list->id, LBN_SELCHANGE, list);
}

char Mnemonic(const std::string& text)
{
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '&') {
            if (text[i + 1] == '&') {
                ++i;
                continue;
            }
            return static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
        }
    }
    return 0;
}

std::vector<int> MenuChoices(const Menu& menu)
{
    std::vector<int> items;
    for (size_t i = 0; i < menu.items.size(); ++i)
        if (!(menu.items[i].flags & MF_SEPARATOR)) items.push_back(static_cast<int>(i));
    return items;
}

void CloseMenu(Window* dialog)
{
    std::lock_guard guard(WM().lock);
    dialog->menuOpen = false;
    Notify({Change::Menu, dialog, 0});
}

void ChooseMenuItem(Window* dialog, int index)
{
    if (!dialog->sysMenu || index < 0 || index >= static_cast<int>(dialog->sysMenu->items.size())) return;
    const MenuItem item = dialog->sysMenu->items[static_cast<size_t>(index)];
    CloseMenu(dialog);
    if (item.flags & MF_SEPARATOR) return;
    SendMessageTo(dialog, WM_SYSCOMMAND, item.id, 0);
}

void OpenMenu(Window* dialog)
{
    if (!(dialog->style & WS_SYSMENU) || !dialog->sysMenu) return;
    auto choices = MenuChoices(*dialog->sysMenu);
    std::lock_guard guard(WM().lock);
    dialog->menuOpen = true;
    dialog->menuSel = choices.empty() ? 0 : choices.front();
    Notify({Change::Menu, dialog, 1});
}

void MenuKey(Window* dialog, UINT vk)
{
    auto choices = MenuChoices(*dialog->sysMenu);
    if (vk == VK_ESCAPE) {
        CloseMenu(dialog);
        return;
    }
    if (vk == VK_RETURN) {
        ChooseMenuItem(dialog, dialog->menuSel);
        return;
    }
    if ((vk == VK_UP || vk == VK_DOWN) && !choices.empty()) {
        auto it = std::find(choices.begin(), choices.end(), dialog->menuSel);
        int pos = it == choices.end() ? 0 : static_cast<int>(it - choices.begin());
        int n = static_cast<int>(choices.size());
        pos = ((pos + (vk == VK_DOWN ? 1 : -1)) % n + n) % n;
        std::lock_guard guard(WM().lock);
        dialog->menuSel = choices[static_cast<size_t>(pos)];
        Notify({Change::Menu, dialog, 1});
        return;
    }
    for (int i : choices) {
        char m = Mnemonic(dialog->sysMenu->items[static_cast<size_t>(i)].text);
        if (m && static_cast<UINT>(m) == vk) {
            ChooseMenuItem(dialog, i);
            return;
        }
    }
}

void MoveKey(Window* dialog, UINT vk)
{
    int dx = 0, dy = 0;
    switch (vk) {
    case VK_LEFT: dx = -4; break;
    case VK_RIGHT: dx = 4; break;
    case VK_UP: dy = -8; break;
    case VK_DOWN: dy = 8; break;
    case VK_RETURN:
    case VK_ESCAPE: dialog->moving = false; return;
    default: return;
    }
    std::lock_guard guard(WM().lock);
    dialog->x += dx;
    dialog->y += dy;
    Notify({Change::Moved, dialog});
}

Window* ListForKeys(Window* dialog)
{
    if (dialog->focus && dialog->focus->windowClass == WC_LISTBOX && dialog->focus->enabled) return dialog->focus;
    for (auto& c : dialog->children)
        if (c->windowClass == WC_LISTBOX && c->visible && c->enabled) return c.get();
    return nullptr;
}

void HandleKey(Window* dialog, UINT vk, UINT mods)
{
    if (dialog->menuOpen && dialog->sysMenu) {
        MenuKey(dialog, vk);
        return;
    }
    if (dialog->moving) {
        MoveKey(dialog, vk);
        return;
    }
    if (mods & KMOD_ALT) {
        if (vk == VK_F4) {
            SendMessageTo(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (vk == VK_SPACE) {
            OpenMenu(dialog);
        } else {
            for (auto& c : dialog->children)
                if (c->IsPushButton() && c->visible && c->enabled && Mnemonic(c->text) && static_cast<UINT>(Mnemonic(c->text)) == vk) {
                    SetFocusTo(dialog, c.get());
                    PressButton(c.get());
                    return;
                }
        }
        return;
    }
    Window* focus = dialog->focus;
    switch (vk) {
    case VK_TAB:
        if (Window* next = NextTabStop(dialog, focus, (mods & KMOD_SHIFT) != 0)) SetFocusTo(dialog, next);
        return;
    case VK_RETURN: {
        // Enter is the default push button's, wherever the focus is (Space
        // presses the focused button): on the main dialog Enter never
        // becomes Cancel. A disabled default button takes no Enter.
        Window* def = DefaultButton(dialog);
        if (!def) {
            SendCommand(dialog, IDOK, BN_CLICKED, nullptr);
        } else if (def->enabled) {
            PressButton(def);
        }
        return;
    }
    case VK_ESCAPE:
        SendCommand(dialog, IDCANCEL, BN_CLICKED, nullptr);
        return;
    case VK_SPACE:
        if (focus && focus->IsPushButton()) PressButton(focus);
        return;
    case VK_F1:
        if (mods == 0) SendCommand(dialog, static_cast<int>(ID_HELP), 0, nullptr);
        return;
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT: {
        Window* list = ListForKeys(dialog);
        if (!list || list->lines.empty()) return;
        int count = static_cast<int>(list->lines.size());
        int page = std::max(1, ListPageSize(list) - 1);
        if (mods & (KMOD_SHIFT | KMOD_CTRL)) {
            // With Shift or Ctrl the keys move the view only, as the scroll
            // bar does: a selection would start a query.
            int top = list->topIndex;
            if (vk == VK_UP) top -= 1;
            if (vk == VK_DOWN) top += 1;
            if (vk == VK_PRIOR) top -= page;
            if (vk == VK_NEXT) top += page;
            if (vk == VK_HOME) top = 0;
            if (vk == VK_END) top = count;
            ScrollTo(list, top);
            return;
        }
        SetFocusTo(dialog, list);
        int sel = list->curSel;
        int target = sel;
        if (vk == VK_UP) target = sel < 0 ? 0 : sel - 1;
        if (vk == VK_DOWN) target = sel < 0 ? 0 : sel + 1;
        if (vk == VK_HOME) target = 0;
        if (vk == VK_END) target = count - 1;
        if (vk == VK_PRIOR) target = sel < 0 ? 0 : sel - page;
        if (vk == VK_NEXT) target = sel < 0 ? 0 : sel + page;
        target = std::clamp(target, 0, count - 1);
        if (target != sel) UserSelect(list, target, false);
        return;
    }
    default:
        return;
    }
}

bool BelongsToActive(Window* w)
{
    Window* dialog = DialogOf(w);
    return dialog && dialog == ActiveWindow();
}

void HandleInput(const QueuedMsg& m)
{
    Window* active = ActiveWindow();
    switch (m.kind) {
    case QueuedMsg::Key:
        if (active) HandleKey(active, static_cast<UINT>(m.value), m.modifiers);
        return;
    case QueuedMsg::Click:
        if (!m.hwnd || !BelongsToActive(m.hwnd) || !m.hwnd->enabled || !m.hwnd->visible || active->menuOpen) return;
        if (m.hwnd->style & WS_TABSTOP) SetFocusTo(active, m.hwnd);
        if (m.hwnd->IsPushButton()) PressButton(m.hwnd);
        return;
    case QueuedMsg::ListClick:
        if (!m.hwnd || !BelongsToActive(m.hwnd) || !m.hwnd->enabled || !m.hwnd->visible || active->menuOpen) return;
        if (m.value < 0 || m.value >= static_cast<int>(m.hwnd->lines.size())) return;
        SetFocusTo(active, m.hwnd);
        UserSelect(m.hwnd, m.value, true);
        return;
    case QueuedMsg::ListScroll:
        if (!m.hwnd || !BelongsToActive(m.hwnd) || !m.hwnd->enabled || !m.hwnd->visible || active->menuOpen) return;
        ScrollTo(m.hwnd, m.hwnd->topIndex + m.value);
        return;
    case QueuedMsg::SysMenuBox:
        if (m.hwnd && m.hwnd == active) {
            if (active->menuOpen)
                CloseMenu(active);
            else
                OpenMenu(active);
        }
        return;
    case QueuedMsg::CloseBox:
        if (m.hwnd && m.hwnd == active && (active->style & WS_SYSMENU)) SendMessageTo(active, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    case QueuedMsg::MenuChoice:
        if (m.hwnd && m.hwnd == active && active->menuOpen) ChooseMenuItem(active, m.value);
        return;
    default:
        return;
    }
}

void Post(QueuedMsg m)
{
    WM().queue.push_back(m);
}

ModalState* FindModal(HWND hwnd)
{
    for (ModalState* s : WM().modal)
        if (s->hwnd == hwnd) return s;
    return nullptr;
}

// Style, rectangle and enabled state, as a template gives them.
template <class Template>
void TakeFrame(Window& w, const Template& t)
{
    w.style = t.style;
    w.exStyle = t.exStyle;
    w.x = t.x;
    w.y = t.y;
    w.cx = t.cx;
    w.cy = t.cy;
    w.enabled = !(t.style & WS_DISABLED);
}

std::unique_ptr<Window> MakeControl(Window* dialog, const DLGITEMTEMPLATE& item)
{
    auto c = std::make_unique<Window>();
    TakeFrame(*c, item);
    c->windowClass = item.windowClass;
    c->id = item.id;
    c->text = item.text;
    c->resourceOrdinal = item.resourceOrdinal;
    c->parent = dialog;
    c->visible = (item.style & WS_VISIBLE) != 0;
    return c;
}

}  // namespace

Window* Window::Child(int childId) const
{
    for (auto& c : children)
        if (c->id == childId) return c.get();
    return nullptr;
}

std::recursive_mutex& UiLock() { return WM().lock; }

void AddObserver(IObserver* observer)
{
    std::lock_guard guard(WM().lock);
    WM().observers.push_back(observer);
}

void RemoveObserver(IObserver* observer)
{
    std::lock_guard guard(WM().lock);
    auto& v = WM().observers;
    v.erase(std::remove(v.begin(), v.end(), observer), v.end());
}

void SetEventSource(IEventSource* source) { WM().source = source; }

void AtExit(std::function<void()> fn) { WM().exitHooks.push_back(std::move(fn)); }

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> v;
    for (auto& d : WM().dialogs) v.push_back(d.get());
    return v;
}

HWND ActiveWindow()
{
    auto& d = WM().dialogs;
    for (auto it = d.rbegin(); it != d.rend(); ++it)
        if ((*it)->visible && (*it)->enabled) return it->get();
    return nullptr;
}

HWND DefaultButton(HWND dialog)
{
    if (!dialog) return nullptr;
    for (auto& c : dialog->children)
        if (c->IsDefPushButton()) return c.get();
    return nullptr;
}

int ListPageSize(HWND listBox)
{
    // Eight dialog units make a text row; a border takes a row above and below.
    int rows = (listBox->cy + 4) / 8;
    if (listBox->style & WS_BORDER) rows -= 2;
    return std::max(1, rows);
}

void PostKey(UINT vk, UINT modifiers) { Post({QueuedMsg::Key, nullptr, 0, 0, 0, static_cast<int>(vk), modifiers}); }
void PostClick(HWND control) { Post({QueuedMsg::Click, control}); }
void PostListClick(HWND listBox, int line) { Post({QueuedMsg::ListClick, listBox, 0, 0, 0, line}); }
void PostListScroll(HWND listBox, int lines) { Post({QueuedMsg::ListScroll, listBox, 0, 0, 0, lines}); }
void PostSysMenuBoxClick(HWND dialog) { Post({QueuedMsg::SysMenuBox, dialog}); }
void PostCloseBoxClick(HWND dialog) { Post({QueuedMsg::CloseBox, dialog}); }
void PostMenuChoice(HWND dialog, int item) { Post({QueuedMsg::MenuChoice, dialog, 0, 0, 0, item}); }
void PostQuit(int exitCode) { Post({QueuedMsg::Quit, nullptr, 0, 0, 0, exitCode}); }

void PostMessageTo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Post({QueuedMsg::Message, hwnd, message, wParam, lParam});
}

void SetIconic(HWND hwnd, bool iconic, int clientWidthPx, int clientHeightPx)
{
    hwnd->iconic = iconic;
    hwnd->clientWidthPx = clientWidthPx;
    hwnd->clientHeightPx = clientHeightPx;
    hwnd->needsPaint = true;
}

void AbortAllModalLoops()
{
    auto& wm = WM();
    wm.quitting = true;
    for (ModalState* s : wm.modal) {
        s->ended = true;
        s->result = -1;
    }
}

void ResetWindowManager()
{
    auto& wm = WM();
    while (!wm.dialogs.empty()) DestroyDialog(wm.dialogs.back().get());
    wm.queue.clear();
    wm.timers.clear();
    wm.modal.clear();
    wm.quitting = false;
    wm.quitCode = 0;
}

// ---------------------------------------------------------------------------
// Window creation, state changes and messages (used by the class library).

HWND CreateDialogWindow(const DLGTEMPLATE& tmpl, int templateId, HWND owner, CWnd* object)
{
    auto d = std::make_unique<Window>();
    TakeFrame(*d, tmpl);
    d->windowClass = "#32770";
    d->templateId = templateId;
    d->dlgTemplate = &tmpl;
    d->text = tmpl.caption;
    d->owner = owner;
    d->object = object;
    if (tmpl.style & WS_SYSMENU) {
        d->sysMenu = std::make_unique<Menu>();
        d->sysMenu->items = {{MF_STRING, SC_MOVE, "&Move"}, {MF_STRING, SC_CLOSE, "&Close"}};
    }
    for (const auto& item : tmpl.items) d->children.push_back(MakeControl(d.get(), item));
    Window* w = d.get();
    {
        std::lock_guard guard(WM().lock);
        WM().dialogs.push_back(std::move(d));
        Notify({Change::Created, w});
    }
    if (object) object->m_hWnd = w;
    return w;
}

void DestroyDialog(HWND dialog)
{
    auto& wm = WM();
    for (auto& c : dialog->children) StopAnimation(c.get());
    {
        std::lock_guard guard(wm.lock);
        Notify({Change::Destroyed, dialog});
    }
    // Objects attached to the dialog or its controls lose their window.
    auto detach = [](Window* w) {
        if (w->object && w->object->m_hWnd == w) w->object->m_hWnd = nullptr;
        if (w->wrapper) w->wrapper->m_hWnd = nullptr;
    };
    for (auto& c : dialog->children) detach(c.get());
    detach(dialog);
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd && app->m_pMainWnd == dialog->object) app->m_pMainWnd = nullptr;
    auto gone = [dialog](HWND h) { return h == dialog || (h && h->parent == dialog); };
    std::erase_if(wm.queue, [&](const QueuedMsg& m) { return gone(m.hwnd); });
    std::erase_if(wm.timers, [&](const Timer& t) { return t.hwnd == dialog; });
    for (auto& d : wm.dialogs)
        if (d->owner == dialog) d->owner = nullptr;
    std::lock_guard guard(wm.lock);
    std::erase_if(wm.dialogs, [dialog](const std::unique_ptr<Window>& d) { return d.get() == dialog; });
}

void SetText(HWND hwnd, const std::string& text)
{
    std::lock_guard guard(WM().lock);
    if (hwnd->text == text) return;
    hwnd->text = text;
    Notify({Change::Text, hwnd, 0, 0, text});
}

void SetEnabled(HWND hwnd, bool enabled)
{
    {
        std::lock_guard guard(WM().lock);
        if (hwnd->enabled == enabled) return;
        hwnd->enabled = enabled;
        Notify({Change::Enabled, hwnd, enabled ? 1 : 0});
    }
    // A control that loses its enabled state hands the focus on.
    Window* dialog = hwnd->parent;
    if (!enabled && dialog && dialog->focus == hwnd) SetFocusTo(dialog, NextTabStop(dialog, hwnd, false));
}

void SetVisible(HWND hwnd, bool visible)
{
    std::lock_guard guard(WM().lock);
    if (hwnd->visible == visible) return;
    hwnd->visible = visible;
    if (visible && hwnd->IsDialog()) hwnd->needsPaint = true;
    Notify({Change::Shown, hwnd, visible ? 1 : 0});
}

void SetInitialFocus(HWND dialog)
{
    for (auto& c : dialog->children)
        if (IsTabStop(c.get())) {
            SetFocusTo(dialog, c.get());
            return;
        }
}

void FocusControl(HWND control)
{
    if (control && control->parent) SetFocusTo(control->parent, control);
}

void NotifyChange(const Change& change) { Notify(change); }

// The default behaviour of each window class.
LRESULT DefaultWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hwnd->IsDialog()) {
        switch (message) {
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageTo(hwnd, WM_CLOSE, 0, 0);
            if ((wParam & 0xFFF0) == SC_MOVE) hwnd->moving = true;
            return 0;
        case WM_CLOSE:
            SendCommand(hwnd, IDCANCEL, BN_CLICKED, nullptr);
            return 0;
        case WM_SETICON: {
            HICON old = wParam == ICON_BIG ? hwnd->bigIcon : hwnd->smallIcon;
            (wParam == ICON_BIG ? hwnd->bigIcon : hwnd->smallIcon) = reinterpret_cast<HICON>(lParam);
            return reinterpret_cast<LRESULT>(old);
        }
        default:
            return 0;
        }
    }
    if (hwnd->windowClass == WC_LISTBOX) {
        std::lock_guard guard(WM().lock);
        int count = static_cast<int>(hwnd->lines.size());
        switch (message) {
        case LB_ADDSTRING: {
            const char* text = reinterpret_cast<const char*>(lParam);
            hwnd->lines.emplace_back(text ? text : "");
            Notify({Change::ListAdd, hwnd, count, 0, hwnd->lines.back()});
            return count;
        }
        case LB_RESETCONTENT:
            hwnd->lines.clear();
            hwnd->curSel = -1;
            hwnd->topIndex = 0;
            Notify({Change::ListReset, hwnd});
            return 0;
        case LB_GETCOUNT:
            return count;
        case LB_GETCURSEL:
            return hwnd->curSel;
        case LB_SETCURSEL: {
            auto index = static_cast<int>(static_cast<std::intptr_t>(wParam));
            if (index < -1 || index >= count) {
                SetSelection(hwnd, -1);
                return LB_ERR;
            }
            SetSelection(hwnd, index);
            return index;
        }
        case LB_GETTEXTLEN: {
            auto index = static_cast<int>(static_cast<std::intptr_t>(wParam));
            return index < 0 || index >= count ? LB_ERR : static_cast<LRESULT>(hwnd->lines[static_cast<size_t>(index)].size());
        }
        case LB_GETTOPINDEX:
            return hwnd->topIndex;
        case LB_SETTOPINDEX:
            ScrollTo(hwnd, static_cast<int>(wParam));
            return 0;
        default:
            return 0;
        }
    }
    if (hwnd->windowClass == ANIMATE_CLASS) {
        switch (message) {
        case ACM_OPEN:
            return OpenAnimation(hwnd, static_cast<int>(lParam)) ? TRUE : FALSE;
        case ACM_PLAY:
            return StartAnimation(hwnd) ? TRUE : FALSE;
        case ACM_STOP:
            StopAnimation(hwnd);
            return TRUE;
        default:
            return 0;
        }
    }
    return 0;
}

LRESULT SendMessageTo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!hwnd) return 0;
    if (hwnd->object) return ::AfxCallWndProc(hwnd->object, message, wParam, lParam);
    if (hwnd->wrapper) return ::AfxCallWndProc(hwnd->wrapper.get(), message, wParam, lParam);
    return DefaultWindowProc(hwnd, message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Timers and the modal loop.

void SetTimerFor(HWND hwnd, UINT_PTR id, UINT elapse)
{
    auto& t = WM().timers;
    std::erase_if(t, [&](const Timer& x) { return x.hwnd == hwnd && x.id == id; });
    plat::TimeMs period = std::max<plat::TimeMs>(1, elapse);
    t.push_back({hwnd, id, period, plat::Clock().Now() + period});
}

bool KillTimerFor(HWND hwnd, UINT_PTR id)
{
    auto& t = WM().timers;
    auto before = t.size();
    std::erase_if(t, [&](const Timer& x) { return x.hwnd == hwnd && x.id == id; });
    return t.size() != before;
}

namespace {

// Sends the next WM_PAINT a window waits for; false when none waits.
bool PaintOne()
{
    for (auto& d : WM().dialogs)
        if (d->needsPaint && d->visible) {
            d->needsPaint = false;
            SendMessageTo(d.get(), WM_PAINT, 0, 0);
            return true;
        }
    return false;
}

// Fires the earliest due timer; false when none is due.
bool FireTimer(plat::TimeMs now)
{
    auto& timers = WM().timers;
    auto due = timers.end();
    for (auto it = timers.begin(); it != timers.end(); ++it)
        if (it->next <= now && (due == timers.end() || it->next < due->next)) due = it;
    if (due == timers.end()) return false;
    due->next = now + due->period;
    HWND hwnd = due->hwnd;
    UINT_PTR id = due->id;
    SendMessageTo(hwnd, WM_TIMER, id, 0);
    return true;
}

std::optional<plat::TimeMs> NextDeadline()
{
    std::optional<plat::TimeMs> next;
    for (auto& t : WM().timers)
        if (!next || t.next < *next) next = t.next;
    return next;
}

}  // namespace

int RunModalLoop(HWND dialog)
{
    auto& wm = WM();
    ModalState state{dialog};
    if (dialog->endRequested) return dialog->endResult;
    wm.modal.push_back(&state);
    Notify({Change::Modal, dialog, 1});
    while (!state.ended && !wm.quitting) {
        if (!wm.queue.empty()) {
            QueuedMsg m = wm.queue.front();
            wm.queue.pop_front();
            if (m.kind == QueuedMsg::Message)
                SendMessageTo(m.hwnd, m.message, m.wParam, m.lParam);
            else if (m.kind == QueuedMsg::Quit) {
                wm.quitCode = m.value;
                AbortAllModalLoops();
            }
            else
                HandleInput(m);
            continue;
        }
        if (PaintOne()) continue;
        if (FireTimer(plat::Clock().Now())) continue;
        auto deadline = NextDeadline();
        if (wm.source) {
            wm.source->WaitForEvents(deadline);
        } else if (deadline) {
            plat::Clock().SleepMs(*deadline - plat::Clock().Now());
        } else {
            // Nothing can ever arrive: end rather than block for good.
            state.ended = true;
            state.result = -1;
        }
    }
    std::erase(wm.modal, &state);
    Notify({Change::Modal, dialog, 0});
    return state.ended ? state.result : -1;
}

void EndModalLoop(HWND dialog, int result)
{
    dialog->endRequested = true;
    dialog->endResult = result;
    if (ModalState* s = FindModal(dialog)) {
        s->ended = true;
        s->result = result;
    }
}

bool Quitting() { return WM().quitting; }

int QuitCode() { return WM().quitCode; }

}  // namespace ui
