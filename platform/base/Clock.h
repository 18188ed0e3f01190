// The one clock through which everything that waits goes: transaction waits,
// Sleep, read and write timeouts, and window timers. Tests install a virtual
// clock so that a minute-long test run takes no real time.
#pragma once

#include <cstdint>

namespace plat {

// Milliseconds on a monotonic time line.
using TimeMs = std::int64_t;

class IClock {
public:
    virtual ~IClock() = default;
    virtual TimeMs Now() = 0;
    // Suspends the calling thread for ms milliseconds (virtual clocks just advance).
    virtual void SleepMs(TimeMs ms) = 0;
    // True for a clock whose time only moves when told to.
    virtual bool IsVirtual() const { return false; }
};

// The clock in force; the real monotonic clock unless a test installed another.
IClock& Clock();

// Installs clock (nullptr restores the real one). Not thread-safe: install
// before starting anything that waits.
void SetClock(IClock* clock);

// The real clock: CLOCK_MONOTONIC, sleeping with clock_nanosleep.
class CRealClock final : public IClock {
public:
    TimeMs Now() override;
    void SleepMs(TimeMs ms) override;
};

// A clock that moves only when slept on or advanced. Each SleepMs adds to the
// time at once; tests read Now() to see how long the code under test waited.
class CVirtualClock final : public IClock {
public:
    explicit CVirtualClock(TimeMs start = 0) : m_now(start) {}
    TimeMs Now() override { return m_now; }
    void SleepMs(TimeMs ms) override { if (ms > 0) m_now += ms; }
    bool IsVirtual() const override { return true; }
    void Advance(TimeMs ms) { SleepMs(ms); }
    void SetNow(TimeMs t) { if (t > m_now) m_now = t; }

private:
    TimeMs m_now;
};

// Installs a clock for the life of a scope (tests).
class CScopedClock {
public:
    explicit CScopedClock(IClock& clock) { SetClock(&clock); }
    ~CScopedClock() { SetClock(nullptr); }
    CScopedClock(const CScopedClock&) = delete;
    CScopedClock& operator=(const CScopedClock&) = delete;
};

}  // namespace plat
