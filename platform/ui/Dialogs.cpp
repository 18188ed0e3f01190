// The dialogs the window layer builds itself: message boxes and the text
// viewer of the help handler.
#include <algorithm>
#include <istream>

#include "platform/ui/Window.h"

namespace ui {

namespace {

constexpr int kMaxTextColumns = 60;  // a message box wraps longer lines
constexpr int kMaxTextRows = 12;

class CBuiltDialog : public CDialog {
public:
    CBuiltDialog(std::unique_ptr<DLGTEMPLATE> tmpl, HWND owner, bool messageBox)
        : CDialog(tmpl.get(), CWnd::FromHandle(owner)), m_tmpl(std::move(tmpl)), m_messageBox(messageBox)
    {
    }
    std::vector<std::string> m_lines;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_hWnd->isMessageBox = m_messageBox;
        if (m_messageBox) {
            const std::string& text = m_tmpl->items.front().text;
            NotifyChange({Change::MessageBox, m_hWnd, 0, 0, text, m_tmpl->caption});
        }
        if (HWND list = m_hWnd->Child(100)) {
            for (const auto& line : m_lines) SendMessageTo(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        }
        return TRUE;
    }

private:
    std::unique_ptr<DLGTEMPLATE> m_tmpl;
    bool m_messageBox;
};

std::unique_ptr<DLGTEMPLATE> Frame(const std::string& caption, int cx, int cy, HWND owner)
{
    auto t = std::make_unique<DLGTEMPLATE>();
    t->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    t->caption = caption;
    t->typeface = "MS Sans Serif";
    t->cx = cx;
    t->cy = cy;
    // Centred over the owner.
    if (owner) {
        t->x = (owner->cx - cx) / 2;
        t->y = (owner->cy - cy) / 2;
    }
    return t;
}

DLGITEMTEMPLATE OkButton(int cx, int y)
{
    return {IDOK, WC_BUTTON, "OK", 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, (cx - 40) / 2, y, 40, 14};
}

}  // namespace

int AfxMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT)
{
    // Lay the text out in rows of at most kMaxTextColumns characters.
    int longest = 0, rows = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        int len = static_cast<int>(end - start);
        longest = std::max(longest, len);
        rows += std::max(1, (len + kMaxTextColumns - 1) / kMaxTextColumns);
        start = end + 1;
    }
    int columns = std::clamp(std::max(longest, static_cast<int>(caption.size()) + 6), 12, kMaxTextColumns);
    rows = std::clamp(rows, 1, kMaxTextRows);
    int textCx = columns * 4;
    int cx = textCx + 16;
    int cy = rows * 8 + 38;
    auto t = Frame(caption, cx, cy, owner);
    t->items.push_back({IDC_STATIC, WC_STATIC, text, 0, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 8, 8, textCx, rows * 8});
    t->items.push_back(OkButton(cx, rows * 8 + 16));
    CBuiltDialog box(std::move(t), owner, true);
    INT_PTR result = box.DoModal();
    return result == IDCANCEL ? IDCANCEL : IDOK;
}

void ShowTextViewer(HWND owner, const std::string& caption, std::istream& text)
{
    constexpr size_t kMaxLines = 2000;
    constexpr int cx = 296, cy = 168;
    auto t = Frame(caption, cx, cy, owner);
    t->items.push_back({100, WC_LISTBOX, "", 0, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT, 0, 0, 4, 4, cx - 8, cy - 30});
    t->items.push_back(OkButton(cx, cy - 20));
    CBuiltDialog viewer(std::move(t), owner, false);
    std::string line;
    while (viewer.m_lines.size() < kMaxLines && std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        viewer.m_lines.push_back(line);
    }
    viewer.DoModal();
}

}  // namespace ui
