#include "platform/wayland/WaylandSaver.h"

#include <gdk/gdkwayland.h>
#include <glib-unix.h>
#include <gtk-layer-shell.h>

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

WaylandSaver::WaylandSaver(StopSignals& signals) : m_signals(signals) {
}

WaylandSaver::~WaylandSaver() {
    m_outputs.clear();
    if (m_loop != nullptr)
        g_main_loop_unref(m_loop);
}

bool WaylandSaver::Run() {
    // An X connection would only give a window inside the compositor, not above it.
    gdk_set_allowed_backends("wayland");
    if (!gtk_init_check(nullptr, nullptr))
        return false;
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || !GDK_IS_WAYLAND_DISPLAY(display))
        return false;
    m_layerShell = gtk_layer_is_supported();
    BindShmGlobals(display);
    m_loop = g_main_loop_new(nullptr, FALSE);

    const gulong added = g_signal_connect(display, "monitor-added", G_CALLBACK(OnMonitorAdded), this);
    const gulong removed = g_signal_connect(display, "monitor-removed", G_CALLBACK(OnMonitorRemoved), this);
    guint stopWatch = 0;
    if (m_signals.Fd() >= 0)
        stopWatch =
            g_unix_fd_add(m_signals.Fd(), G_IO_IN, reinterpret_cast<GUnixFDSourceFunc>(OnStopSignal), this);

    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i)
        WatchMonitor(gdk_display_get_monitor(display, i));
    Rearrange();
    if (!m_ending && !m_signals.Raised())
        g_main_loop_run(m_loop);
    EndAll();

    if (stopWatch != 0)
        g_source_remove(stopWatch);
    if (m_rearrange != 0)
        g_source_remove(m_rearrange);
    g_signal_handler_disconnect(display, added);
    g_signal_handler_disconnect(display, removed);
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i)
        g_signal_handlers_disconnect_by_data(gdk_display_get_monitor(display, i), this);
    for (const std::unique_ptr<WaylandOutputScreen>& output : m_outputs)
        output->Form().FormClose();
    m_outputs.clear();
    ReleaseShmGlobals();
    // The compositor takes the surfaces away only once it has heard of their end.
    gdk_display_flush(display);
    return true;
}

void WaylandSaver::BindShmGlobals(GdkDisplay* display) {
    wl_display* connection = gdk_wayland_display_get_wl_display(display);
    m_shm.Display = connection;
    m_shm.Compositor = gdk_wayland_display_get_wl_compositor(display);
    static const wl_registry_listener Listener = {
        +[](void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
            auto* shm = static_cast<WaylandShmGlobals*>(data);
            if (std::strcmp(interface, wl_subcompositor_interface.name) == 0 && shm->Subcompositor == nullptr)
                shm->Subcompositor = static_cast<wl_subcompositor*>(
                    wl_registry_bind(registry, name, &wl_subcompositor_interface, 1));
            else if (std::strcmp(interface, wl_shm_interface.name) == 0 && shm->Shm == nullptr)
                shm->Shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
        },
        +[](void*, wl_registry*, uint32_t) {},
    };
    // A queue of our own, so that waiting for the globals dispatches none of GTK's events.
    wl_event_queue* queue = wl_display_create_queue(connection);
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(connection));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    wl_registry* registry = wl_display_get_registry(wrapper);
    wl_registry_add_listener(registry, &Listener, &m_shm);
    wl_display_roundtrip_queue(connection, queue);
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(wrapper);
    // The bound globals' own events (wl_shm's formats) would still arrive on this queue: move them
    // to GTK's, whose dispatch ignores objects without listeners.
    if (m_shm.Subcompositor != nullptr)
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(m_shm.Subcompositor), nullptr);
    if (m_shm.Shm != nullptr)
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(m_shm.Shm), nullptr);
    wl_event_queue_destroy(queue);
}

void WaylandSaver::ReleaseShmGlobals() {
    if (m_shm.Subcompositor != nullptr)
        wl_subcompositor_destroy(m_shm.Subcompositor);
    if (m_shm.Shm != nullptr)
        wl_shm_destroy(m_shm.Shm);
    m_shm = {};
}

void WaylandSaver::WatchMonitor(GdkMonitor* monitor) {
    g_signal_connect_swapped(monitor, "notify::geometry", G_CALLBACK(ScheduleRearrange), this);
    g_signal_connect_swapped(monitor, "notify::scale-factor", G_CALLBACK(ScheduleRearrange), this);
}

void WaylandSaver::ScheduleRearrange(WaylandSaver* saver) {
    // A mode change reports the size and the scale one after the other; act on the outcome.
    if (saver->m_rearrange == 0)
        saver->m_rearrange = g_idle_add(
            +[](gpointer data) {
                auto* self = static_cast<WaylandSaver*>(data);
                self->m_rearrange = 0;
                self->Rearrange();
                return G_SOURCE_REMOVE;
            },
            saver);
}

void WaylandSaver::Rearrange() {
    if (m_ending)
        return;
    // An output whose size or scale changed gets a new surface and a new engine at the new size;
    // one that is not yet described (a compositor tells a new output's size a moment after the
    // output itself) waits for its description.
    std::erase_if(m_outputs,
                  [](const std::unique_ptr<WaylandOutputScreen>& output) { return !output->Fits(); });
    GdkDisplay* display = gdk_display_get_default();
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
        GdkMonitor* monitor = gdk_display_get_monitor(display, i);
        const bool shown = std::any_of(m_outputs.begin(), m_outputs.end(), [monitor](const auto& output) {
            return output->Monitor() == monitor;
        });
        if (shown || !WaylandOutputScreen::Describes(monitor))
            continue;
        m_outputs.push_back(std::make_unique<WaylandOutputScreen>(*this, monitor, m_layerShell, m_shm));
        m_outputs.back()->Show();
    }
}

void WaylandSaver::RemoveOutput(GdkMonitor* monitor) {
    // The output is gone, not the saver: its surface and engine go without a wake-up.
    g_signal_handlers_disconnect_by_data(monitor, this);
    std::erase_if(m_outputs, [monitor](const std::unique_ptr<WaylandOutputScreen>& output) {
        return output->Monitor() == monitor;
    });
}

void WaylandSaver::KeyPressed(const GlimraMessage& message) {
    Broadcast(message);
}

void WaylandSaver::PointerAt(double x, double y) {
    if (const std::optional<GlimraMessage> message = m_pointer.PointerAt(x, y))
        Broadcast(*message);
}

void WaylandSaver::Broadcast(const GlimraMessage& message) {
    // By index: a handler may end the saver, but it never adds or removes outputs.
    for (size_t i = 0; i < m_outputs.size() && !m_ending; ++i)
        if (m_outputs[i]->FilterInstalled())
            m_outputs[i]->Form().AppMessage(message);
}

void WaylandSaver::OutputClosed() {
    EndAll();
}

void WaylandSaver::EndAll() {
    if (m_ending)
        return;
    m_ending = true;
    for (const std::unique_ptr<WaylandOutputScreen>& output : m_outputs)
        if (output->Form().engine() != nullptr)
            output->Form().StopSaver();
    if (m_loop != nullptr)
        g_main_loop_quit(m_loop);
}

void WaylandSaver::OnMonitorAdded(GdkDisplay*, GdkMonitor* monitor, WaylandSaver* saver) {
    saver->WatchMonitor(monitor);
    ScheduleRearrange(saver);
}

void WaylandSaver::OnMonitorRemoved(GdkDisplay*, GdkMonitor* monitor, WaylandSaver* saver) {
    saver->RemoveOutput(monitor);
}

gboolean WaylandSaver::OnStopSignal(gint, GIOCondition, WaylandSaver* saver) {
    if (saver->m_signals.Raised())
        saver->EndAll();
    return G_SOURCE_CONTINUE;
}
