#include "platform/linux/PollTimers.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::array<GlimraTimer, 3> AllTimers{GlimraTimer::Main, GlimraTimer::PasswordDialog,
                                               GlimraTimer::Mouse};

} // namespace

void PollTimers::Start(GlimraTimer timer, int32_t intervalMs, Clock::time_point now) {
    Entry& entry = Slot(timer);
    entry.IntervalMs = std::max(intervalMs, 0);
    entry.Deadline = now + std::chrono::milliseconds(entry.IntervalMs);
}

void PollTimers::Stop(GlimraTimer timer) {
    Slot(timer).IntervalMs = 0;
}

int PollTimers::TimeoutMs(Clock::time_point now) const {
    bool any = false;
    Clock::time_point nearest = Clock::time_point::max();
    for (const Entry& entry : m_entries) {
        if (entry.IntervalMs <= 0)
            continue;
        any = true;
        nearest = std::min(nearest, entry.Deadline);
    }
    if (!any)
        return -1;
    if (nearest <= now)
        return 0;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nearest - now).count();
    return static_cast<int>(std::min<int64_t>(wait, std::numeric_limits<int>::max()));
}

std::vector<GlimraTimer> PollTimers::TakeDue(Clock::time_point now) {
    std::vector<GlimraTimer> due;
    for (GlimraTimer timer : AllTimers) {
        Entry& entry = Slot(timer);
        if (entry.IntervalMs <= 0 || entry.Deadline > now)
            continue;
        due.push_back(timer);
        const auto interval = std::chrono::milliseconds(entry.IntervalMs);
        entry.Deadline += interval;
        if (entry.Deadline <= now)
            entry.Deadline = now + interval;
    }
    return due;
}
