#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <vector>

#include "platform/linux/StopSignals.h"
#include "platform/wayland/WaylandOutputScreen.h"
#include "platform/wayland/WaylandPointerAnchor.h"

// The saver on a Wayland desktop: one WaylandOutputScreen per output, each with its own logic and
// engine, for as long as the output exists. The desktop wakes as a whole: a key or pointer motion
// anywhere reaches every output's logic, as the application-wide message filter would, and the
// first output that closes, or a stop signal, ends them all.
class WaylandSaver {
public:
    explicit WaylandSaver(StopSignals& signals);
    ~WaylandSaver();
    WaylandSaver(const WaylandSaver&) = delete;
    WaylandSaver& operator=(const WaylandSaver&) = delete;

    // Shows the saver until it wakes or a stop signal comes. False, with nothing shown, when GTK
    // cannot reach a Wayland compositor.
    bool Run();

    // What the outputs report.
    void KeyPressed(const GlimraMessage& message);
    // The pointer at a position in the compositor's layout, in logical pixels.
    void PointerAt(double x, double y);
    void OutputClosed();

private:
    // Binds what the outputs' presenters need; what the compositor lacks stays nil.
    void BindShmGlobals(GdkDisplay* display);
    void ReleaseShmGlobals();
    void WatchMonitor(GdkMonitor* monitor);
    // Brings the outputs in line with the monitors: one surface for each monitor, at its size.
    void Rearrange();
    static void ScheduleRearrange(WaylandSaver* saver);
    void RemoveOutput(GdkMonitor* monitor);
    void Broadcast(const GlimraMessage& message);
    void EndAll();

    static void OnMonitorAdded(GdkDisplay* display, GdkMonitor* monitor, WaylandSaver* saver);
    static void OnMonitorRemoved(GdkDisplay* display, GdkMonitor* monitor, WaylandSaver* saver);
    static gboolean OnStopSignal(gint fd, GIOCondition condition, WaylandSaver* saver);

    StopSignals& m_signals;
    GMainLoop* m_loop = nullptr;
    bool m_layerShell = false;
    WaylandShmGlobals m_shm;
    bool m_ending = false;
    guint m_rearrange = 0;
    WaylandPointerAnchor m_pointer;
    std::vector<std::unique_ptr<WaylandOutputScreen>> m_outputs;
};
