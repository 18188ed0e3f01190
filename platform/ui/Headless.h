// The window layer without a renderer, for tests: a recorder that lists
// every observable change in order, and a driver that plays the part of the
// user whenever the GUI thread would wait for input, in virtual time.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/base/Clock.h"
#include "platform/ui/Window.h"

namespace ui {

// Lists changes as short lines, e.g.
//   text 1006 Testing For Dialtone      (control id, new text)
//   text dlg Korvane Modem Test         (a dialog's caption)
//   enable 1 0                           (IDOK disabled)
//   list+ 1000 COM1                      (line added)
//   list- 1000                           (list emptied)
//   sel 1000 2                           (selection)
//   msgbox No Modem|No Korvane Modems Found - Exiting
//   drawicon -15 -15
//   show 102 1 / show msgbox 1           (a dialog by template id)
// Animation frames and focus moves are not listed (see Changes()).
class CRecorder : public IObserver {
public:
    CRecorder() { AddObserver(this); }
    ~CRecorder() override { RemoveObserver(this); }
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;

    void OnChange(const Change& change) override;

    const std::vector<std::string>& Events() const { return m_events; }
    // The events that start with prefix (e.g. "text 1006").
    std::vector<std::string> Events(const std::string& prefix) const;
    const std::vector<Change>& Changes() const { return m_changes; }
    void Clear()
    {
        m_events.clear();
        m_changes.clear();
    }

private:
    std::vector<std::string> m_events;
    std::vector<Change> m_changes;
};

// Installs a virtual clock and itself as the event source. Whenever the
// modal loop has nothing to do, the driver runs the first pending step whose
// condition holds; when none holds, it moves the virtual clock to the next
// timer. When no step can run and no timer is pending, the test has failed:
// the driver records why and ends every modal loop.
class CHeadless : public IEventSource {
public:
    CHeadless();
    ~CHeadless() override;
    CHeadless(const CHeadless&) = delete;
    CHeadless& operator=(const CHeadless&) = delete;

    void WaitForEvents(std::optional<plat::TimeMs> deadline) override;

    // Runs action once condition holds (checked each time the loop idles).
    void When(std::function<bool()> condition, std::function<void()> action);
    // Runs action the next time the loop idles.
    void Then(std::function<void()> action);

    plat::CVirtualClock& Clock() { return m_clock; }
    CRecorder& Recorder() { return m_recorder; }
    // Empty unless the loop went idle with nothing left to do.
    const std::string& Failure() const { return m_failure; }

private:
    struct Step {
        std::function<bool()> condition;
        std::function<void()> action;
    };
    plat::CVirtualClock m_clock;
    plat::CScopedClock m_scopedClock;
    CRecorder m_recorder;
    std::vector<Step> m_steps;
    std::string m_failure;
};

// Helpers for tests.
HWND FindDialog(int templateId);          // the newest dialog made from templateId
HWND FindMessageBox();                     // the newest message box
std::string ControlText(HWND dialog, int id);
bool ControlEnabled(HWND dialog, int id);
std::vector<std::string> ListLines(HWND dialog, int id);

}  // namespace ui
