#pragma once

#include <chrono>
#include <functional>
#include <optional>

// Tells whether the machine slept while a timer ran. Qt's timers count on a clock that stops while
// the machine sleeps, so a timer set before a suspend fires only after its whole interval of waking
// time, while the wall clock went on. A timer that fires far later by the wall clock than it was
// set for has slept on the way (or the clock was put forward, as good a reason to look again): that
// counts as a resume wherever no signal of the system said so.
class CClockJumpDetector {
public:
    using WallClock = std::function<std::chrono::system_clock::time_point()>;

    // How much later than set a timer may fire by the wall clock and still be on time: a busy
    // machine, or the clock's own corrections.
    static constexpr std::chrono::seconds kSlack{30};

    explicit CClockJumpDetector(WallClock now = &std::chrono::system_clock::now) : m_now(std::move(now)) {}

    // A timer of `interval` starts now.
    void TimerStarted(std::chrono::milliseconds interval) { m_due = m_now() + interval; }
    // The timer fired now: whether that was far later by the wall clock than it was set for.
    bool FiredAfterJump() const { return m_due && m_now() > *m_due + kSlack; }

private:
    WallClock m_now;
    std::optional<std::chrono::system_clock::time_point> m_due;
};
