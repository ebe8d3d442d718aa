#pragma once

class WaylandOutputScreen;

// What the saver on one output tells whoever holds it (the WaylandSaver, which speaks for the whole
// desktop), and asks of it. Called from the output's own events and timers, on the one thread.
class WaylandOutputOwner {
public:
    // The output's mode, scale or surface size changed: the screens are to be brought in line once
    // the events at hand are dispatched, since a surface's own events must not destroy it.
    virtual void ScheduleRearrange() = 0;
    // The logic showed or hid the pointer over this output.
    virtual void PointerShownChanged(WaylandOutputScreen& screen) = 0;
    // True once the saver is ending: no timer may fire into a logic that is closing.
    [[nodiscard]] virtual bool Ending() const = 0;
    // The output's logic closed its window: the desktop wakes as a whole, so every output ends.
    virtual void OutputClosed() = 0;

protected:
    ~WaylandOutputOwner() = default;
};
