#include "platform/base/Clock.h"

#include <cerrno>
#include <ctime>

namespace plat {

namespace {
CRealClock g_realClock;
IClock* g_clock = &g_realClock;
}  // namespace

IClock& Clock() { return *g_clock; }

void SetClock(IClock* clock) { g_clock = clock ? clock : &g_realClock; }

TimeMs CRealClock::Now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<TimeMs>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void CRealClock::SleepMs(TimeMs ms)
{
    if (ms <= 0) return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    timespec until = now;
    until.tv_sec += static_cast<time_t>(ms / 1000);
    until.tv_nsec += static_cast<long>((ms % 1000) * 1000000);
    if (until.tv_nsec >= 1000000000L) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000L;
    }
    // An absolute deadline survives EINTR without drifting.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

}  // namespace plat
