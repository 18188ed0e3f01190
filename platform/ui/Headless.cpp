#include "platform/ui/Headless.h"

namespace ui {

namespace {

std::string Who(HWND hwnd)
{
    if (!hwnd) return "?";
    if (hwnd->IsDialog()) {
        if (hwnd->isMessageBox) return "msgbox";
        return hwnd->templateId ? std::to_string(hwnd->templateId) : "dlg";
    }
    return std::to_string(hwnd->id);
}

}  // namespace

void CRecorder::OnChange(const Change& c)
{
    m_changes.push_back(c);
    switch (c.kind) {
    case Change::Text:
        m_events.push_back("text " + (c.hwnd->IsDialog() ? std::string("dlg") : Who(c.hwnd)) + " " + c.text);
        break;
    case Change::Enabled:
        m_events.push_back("enable " + Who(c.hwnd) + " " + std::to_string(c.value));
        break;
    case Change::ListAdd:
        m_events.push_back("list+ " + Who(c.hwnd) + " " + c.text);
        break;
    case Change::ListReset:
        m_events.push_back("list- " + Who(c.hwnd));
        break;
    case Change::Selection:
        m_events.push_back("sel " + Who(c.hwnd) + " " + std::to_string(c.value));
        break;
    case Change::MessageBox:
        m_events.push_back("msgbox " + c.text2 + "|" + c.text);
        break;
    case Change::DrawIcon:
        m_events.push_back("drawicon " + std::to_string(c.value) + " " + std::to_string(c.value2));
        break;
    case Change::Shown:
        m_events.push_back("show " + Who(c.hwnd) + " " + std::to_string(c.value));
        break;
    default:
        break;
    }
}

std::vector<std::string> CRecorder::Events(const std::string& prefix) const
{
    std::vector<std::string> v;
    for (const auto& e : m_events)
        if (e.compare(0, prefix.size(), prefix) == 0) v.push_back(e);
    return v;
}

CHeadless::CHeadless() : m_scopedClock(m_clock)
{
    ResetWindowManager();
    SetEventSource(this);
}

CHeadless::~CHeadless()
{
    SetEventSource(nullptr);
    ResetWindowManager();
}

void CHeadless::When(std::function<bool()> condition, std::function<void()> action)
{
    m_steps.push_back({std::move(condition), std::move(action)});
}

void CHeadless::Then(std::function<void()> action)
{
    When([] { return true; }, std::move(action));
}

void CHeadless::WaitForEvents(std::optional<plat::TimeMs> deadline)
{
    // Steps run in order: only the first pending step is considered, so a
    // script reads top to bottom.
    if (!m_steps.empty() && m_steps.front().condition()) {
        auto action = std::move(m_steps.front().action);
        m_steps.erase(m_steps.begin());
        action();
        return;
    }
    if (deadline) {
        m_clock.SetNow(*deadline);
        return;
    }
    m_failure = m_steps.empty() ? "the program waited for input after the last step"
                                : "a step's condition never came true";
    AbortAllModalLoops();
}

HWND FindDialog(int templateId)
{
    HWND found = nullptr;
    for (HWND h : TopLevelWindows())
        if (h->templateId == templateId && !h->isMessageBox) found = h;
    return found;
}

HWND FindMessageBox()
{
    HWND found = nullptr;
    for (HWND h : TopLevelWindows())
        if (h->isMessageBox) found = h;
    return found;
}

std::string ControlText(HWND dialog, int id)
{
    HWND c = dialog ? dialog->Child(id) : nullptr;
    return c ? c->text : std::string();
}

bool ControlEnabled(HWND dialog, int id)
{
    HWND c = dialog ? dialog->Child(id) : nullptr;
    return c && c->enabled;
}

std::vector<std::string> ListLines(HWND dialog, int id)
{
    HWND c = dialog ? dialog->Child(id) : nullptr;
    return c ? c->lines : std::vector<std::string>();
}

}  // namespace ui
