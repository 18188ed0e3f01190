#include "platform/ui/Animation.h"

#include <condition_variable>
#include <map>
#include <thread>

#include "platform/ui/Avi.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {

// One playing clip: a thread that shows the next frame every frame period
// until it is told to stop.
class CPlayer {
public:
    explicit CPlayer(HWND control) : m_control(control), m_thread([this] { Run(); }) {}
    ~CPlayer()
    {
        {
            std::lock_guard guard(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    CPlayer(const CPlayer&) = delete;
    CPlayer& operator=(const CPlayer&) = delete;

private:
    void Run()
    {
        auto period = std::chrono::microseconds(m_control->clip->MicroSecPerFrame());
        if (period.count() <= 0) period = std::chrono::milliseconds(100);
        auto next = std::chrono::steady_clock::now();
        std::unique_lock lock(m_mutex);
        for (;;) {
            next += period;
            if (m_wake.wait_until(lock, next, [this] { return m_stop; })) return;
            std::lock_guard ui(UiLock());
            m_control->frame = (m_control->frame + 1) % m_control->clip->FrameCount();
            NotifyChange({Change::Frame, m_control, m_control->frame});
        }
    }

    HWND m_control;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;  // last: starts once the rest is ready
};

std::map<HWND, std::unique_ptr<CPlayer>>& Players()
{
    static auto* players = new std::map<HWND, std::unique_ptr<CPlayer>>;
    return *players;
}

}  // namespace

bool OpenAnimation(HWND control, int resourceId)
{
    StopAnimation(control);
    auto& avis = ::AfxGetResourceModule().avis;
    auto it = avis.find(resourceId);
    if (it == avis.end()) return false;
    auto clip = CAviClip::Parse(it->second);
    if (!clip || clip->FrameCount() == 0) return false;
    {
        std::lock_guard guard(UiLock());
        control->clip = std::make_shared<const CAviClip>(std::move(*clip));
        control->frame = 0;
        NotifyChange({Change::Frame, control, 0});
    }
    if (control->style & ACS_AUTOPLAY) StartAnimation(control);
    return true;
}

bool StartAnimation(HWND control)
{
    if (!control->clip) return false;
    // Under a virtual clock (headless tests) the clip stands still on its
    // first frame: nothing may move in real time there.
    if (plat::Clock().IsVirtual()) return true;
    auto& players = Players();
    if (!players.count(control)) players[control] = std::make_unique<CPlayer>(control);
    return true;
}

void StopAnimation(HWND control)
{
    auto& players = Players();
    auto it = players.find(control);
    if (it == players.end()) return;
    auto player = std::move(it->second);
    players.erase(it);
    player.reset();  // joins the thread; the UI lock is not held here
}

void StopAllAnimations()
{
    auto& players = Players();
    while (!players.empty()) StopAnimation(players.begin()->first);
}

}  // namespace ui
