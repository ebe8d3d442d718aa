#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "shell/GlimraSaverHost.h"

// A saver window's three periodic timers, kept as deadlines so that one poll() on the display
// connection (X11 or Wayland) can sleep until the nearest of them: the saver never wakes up just
// to look.
//
// Time is passed in rather than read, so the schedule can be tested without waiting. A timer that
// falls behind (a slow tick, a suspended machine) fires once and is rescheduled from now, never in
// a burst that catches up on every missed period.
class PollTimers {
public:
    using Clock = std::chrono::steady_clock;

    // An interval of 0 or less stops the timer, as such a timer never fires.
    void Start(GlimraTimer timer, int32_t intervalMs, Clock::time_point now);
    void Stop(GlimraTimer timer);
    bool IsRunning(GlimraTimer timer) const { return Slot(timer).IntervalMs > 0; }

    // Milliseconds until the nearest deadline, rounded up so that a wake-up never comes early;
    // -1 (wait for ever, as poll() reads it) when no timer runs.
    int TimeoutMs(Clock::time_point now) const;

    // The timers whose deadline has passed, in the order Main, PasswordDialog, Mouse, each
    // rescheduled one interval on.
    std::vector<GlimraTimer> TakeDue(Clock::time_point now);

private:
    struct Entry {
        int32_t IntervalMs = 0;
        Clock::time_point Deadline;
    };
    Entry& Slot(GlimraTimer timer) { return m_entries[static_cast<size_t>(timer)]; }
    const Entry& Slot(GlimraTimer timer) const { return m_entries[static_cast<size_t>(timer)]; }

    std::array<Entry, 3> m_entries{};
};
