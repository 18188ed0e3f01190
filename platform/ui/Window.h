// The window manager: the state of every window (class, id, text, style,
// enabled and visible state, rectangle, owner, focus, list lines and
// selection, animation frame, system menu), the message queue, timers and
// nested modal loops, and the dialog manager's handling of keys and clicks.
// It draws nothing: renderers observe its changes (IObserver) and feed input
// in through an event source (IEventSource).
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/Clock.h"
#include "platform/ui/Wnd.h"

class CAviClip;

namespace ui {

struct MenuItem {
    UINT flags = MF_STRING;  // MF_STRING or MF_SEPARATOR
    UINT_PTR id = 0;
    std::string text;        // with '&' before the mnemonic
};

struct Menu {
    std::vector<MenuItem> items;
};

struct Icon {
    int resourceId = 0;
    int size = 32;  // pixels across and down
};

struct Window {
    // Identity and template data.
    std::string windowClass;  // "#32770" for dialogs, else the control class
    int id = 0;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units; controls relative to their dialog,
                                       // dialogs relative to their owner (or the screen)
    int resourceOrdinal = 0;           // icon of an SS_ICON static
    int templateId = 0;                // dialogs: the template's resource id (0 for built ones)
    const DLGTEMPLATE* dlgTemplate = nullptr;  // dialogs: the template they came from

    // Relations.
    Window* parent = nullptr;  // controls: their dialog
    Window* owner = nullptr;   // dialogs: the window that owns them
    std::vector<std::unique_ptr<Window>> children;  // controls, in template order

    // State.
    bool enabled = true;
    bool visible = false;
    bool iconic = false;
    Window* focus = nullptr;  // dialogs: the control with the focus
    CWnd* object = nullptr;   // the attached object, if any
    std::unique_ptr<CWnd> wrapper;  // the temporary object FromHandle made

    // List boxes.
    std::vector<std::string> lines;
    int curSel = -1;
    int topIndex = 0;

    // Dialogs.
    std::unique_ptr<Menu> sysMenu;
    bool menuOpen = false;
    int menuSel = 0;
    bool moving = false;  // keyboard move from the system menu's Move
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    int clientWidthPx = 0, clientHeightPx = 0;  // client area in pixels while iconic
    bool needsPaint = false;
    bool endRequested = false;  // EndDialog was called
    int endResult = 0;
    bool isMessageBox = false;
    std::unique_ptr<DLGTEMPLATE> ownTemplate;  // message boxes and the help viewer

    // Animation controls.
    std::shared_ptr<const CAviClip> clip;
    int frame = 0;

    bool IsDialog() const { return windowClass == "#32770"; }
    DWORD StaticType() const { return style & SS_TYPEMASK; }
    bool IsPushButton() const { return windowClass == WC_BUTTON; }
    bool IsDefPushButton() const { return IsPushButton() && (style & 0xF) == BS_DEFPUSHBUTTON; }
    Window* Child(int childId) const;
};

// What changed; observers get one of these right after the change, with the
// window manager's lock held (UiLock()).
struct Change {
    enum Kind {
        Created,     // a dialog and its controls were created (hidden)
        Destroyed,   // a dialog is about to be destroyed
        Shown,       // visible state changed (value: 1 shown, 0 hidden)
        Text,        // text: the new text
        Enabled,     // value: 1 enabled, 0 disabled
        ListAdd,     // value: the new line's index; text: the line
        ListReset,   // all lines removed
        Selection,   // value: the new selection (-1 none)
        Scrolled,    // value: a list box's new top line
        Focus,       // hwnd: the dialog; other: the control with the focus
        Frame,       // value: the animation frame now shown (from the animation thread)
        Menu,        // the system menu opened, closed or moved its highlight
        Moved,       // a dialog's position changed
        DrawIcon,    // value: x; other2: y (pixels), an icon drawn by a paint handler
        MessageBox,  // a message box was created: text, caption in text2
        Modal,       // value: 1 a modal loop started for hwnd, 0 it ended
    };
    Change(Kind k, HWND h = nullptr, int v = 0, int v2 = 0, std::string t = {}, std::string t2 = {}, HWND o = nullptr)
        : kind(k), hwnd(h), value(v), value2(v2), text(std::move(t)), text2(std::move(t2)), other(o)
    {
    }
    Kind kind;
    HWND hwnd = nullptr;
    int value = 0;
    int value2 = 0;
    std::string text;
    std::string text2;
    HWND other = nullptr;
};

class IObserver {
public:
    virtual ~IObserver() = default;
    virtual void OnChange(const Change& change) = 0;
};

// Where input comes from while the message queue is empty. WaitForEvents
// blocks until input arrives (and posts it, through the input functions
// below) or until deadline, when there is one (a timer is pending).
class IEventSource {
public:
    virtual ~IEventSource() = default;
    virtual void WaitForEvents(std::optional<plat::TimeMs> deadline) = 0;
};

// The lock that serialises window state changes and drawing between the GUI
// thread and the animation thread.
std::recursive_mutex& UiLock();

void AddObserver(IObserver* observer);
void RemoveObserver(IObserver* observer);
void SetEventSource(IEventSource* source);

// Dialogs from bottom to top, and the active one (the top enabled dialog).
std::vector<HWND> TopLevelWindows();
HWND ActiveWindow();
// The push button that Enter presses in dialog: the template's default push
// button; null when there is none.
HWND DefaultButton(HWND dialog);

// Input, as the renderers and tests deliver it. Each posts a message that is
// handled in order when the GUI thread next reads its queue; the target is the
// active dialog at that moment.
void PostKey(UINT vk, UINT modifiers = 0);
void PostClick(HWND control);                 // a button or a control that takes the focus
void PostListClick(HWND listBox, int line);  // a list line
// Scrolls a list box's view by lines (negative: up) without selecting, as
// its scroll bar does.
void PostListScroll(HWND listBox, int lines);
void PostSysMenuBoxClick(HWND dialog);
void PostCloseBoxClick(HWND dialog);
void PostMenuChoice(HWND dialog, int item);  // a system-menu item, by index
void PostQuit(int exitCode);                  // ends every modal loop

// Lines a list box shows at once (its page), from its height.
int ListPageSize(HWND listBox);

// Runs fn when the process exits (also through exit() from inside a modal
// loop), after the animation threads have stopped. Renderers restore the
// terminal here.
void AtExit(std::function<void()> fn);

// Test hooks.
void SetIconic(HWND hwnd, bool iconic, int clientWidthPx = 0, int clientHeightPx = 0);
// Forces every modal loop to end with result -1 (a headless test that failed).
void AbortAllModalLoops();
// Destroys every window and resets the queue and timers, between tests.
void ResetWindowManager();

// The message box the window layer builds for CWnd::MessageBox: caption,
// text and one OK button, modal, owned by owner. Returns IDOK or IDCANCEL.
int AfxMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

// A modal viewer for a text file (the help file): its lines in a scrolling
// list and an OK button.
void ShowTextViewer(HWND owner, const std::string& caption, std::istream& text);

// ---------------------------------------------------------------------------
// Used by the class library (Wnd.cpp) and the animation control.

HWND CreateDialogWindow(const DLGTEMPLATE& tmpl, int templateId, HWND owner, CWnd* object);
void DestroyDialog(HWND dialog);
void SetText(HWND hwnd, const std::string& text);
void SetEnabled(HWND hwnd, bool enabled);
void SetVisible(HWND hwnd, bool visible);
void SetInitialFocus(HWND dialog);
void FocusControl(HWND control);
void NotifyChange(const Change& change);
LRESULT DefaultWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageTo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostMessageTo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void SetTimerFor(HWND hwnd, UINT_PTR id, UINT elapse);
bool KillTimerFor(HWND hwnd, UINT_PTR id);
// Runs hwnd's modal loop until EndModalLoop; returns the result.
int RunModalLoop(HWND dialog);
void EndModalLoop(HWND dialog, int result);
bool Quitting();
// The exit status given to PostQuit (0 when none was).
int QuitCode();

}  // namespace ui
