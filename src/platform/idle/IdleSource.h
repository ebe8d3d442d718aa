#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>

// What the desktop tells about the session's idleness, as the idle watcher needs it: one answer,
// "idle for the threshold, and nothing asks the saver to stay away", told when it changes.
//
// A source is made by its Open function, which answers nil when the desktop does not offer it
// (no display, no such protocol, no such bus name). It works on the default GLib main context:
// it calls back from there, and never blocks it. A source never locks the screen or starts
// anything itself.
class IdleSource {
public:
    // true: the session has been idle for the threshold and nothing inhibits the saver.
    // false: the user is active again.
    using Listener = std::function<void(bool idle)>;

    virtual ~IdleSource() = default;

    // Begins watching; called once, before the main loop runs.
    virtual void Start(std::chrono::milliseconds threshold, Listener listener) = 0;
    // The saver has ended: count idleness afresh from now, so that a saver that ended without input
    // (a signal, a crash) starts again only after another whole threshold.
    virtual void Rearm() = 0;
    // Why the source stopped working (the display or the bus went away); empty while it works. The
    // source calls its listener with false when it fails.
    [[nodiscard]] const std::string& Failure() const { return m_failure; }
    [[nodiscard]] virtual const char* Name() const = 0;

protected:
    // Tells the listener a change; the same answer twice is told once.
    void Tell(bool idle) {
        if (idle == m_idle)
            return;
        m_idle = idle;
        m_listener(idle);
    }
    // Keeps the first reason and tells the listener false, even when the session was not idle: the
    // watcher learns of a failure only so.
    void Fail(std::string why) {
        if (!m_failure.empty())
            return;
        m_failure = std::move(why);
        m_idle = false;
        m_listener(false);
    }

    Listener m_listener;
    bool m_idle = false;

private:
    std::string m_failure;
};

// Each source lives in a file of its own; these answer nil when their desktop is not there.
std::unique_ptr<IdleSource> OpenMutterIdleSource();
std::unique_ptr<IdleSource> OpenWaylandIdleSource();
std::unique_ptr<IdleSource> OpenX11IdleSource();
