#include <glib-unix.h>
#include <glib.h>
#include <wayland-client.h>

#include <poll.h>

#include <cerrno>
#include <cstring>

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"
#include "platform/idle/IdleSource.h"

namespace {

// Compositors tell idleness themselves, for a timeout the client names, and hold it back while a
// client inhibits idling (a video played full screen): the standard protocol where it exists, and
// KDE's older one, which KWin and sway before 1.8 offer.
class WaylandIdleSource final : public IdleSource {
public:
    WaylandIdleSource(wl_display* display, wl_registry* registry, wl_seat* seat,
                      ext_idle_notifier_v1* notifier, org_kde_kwin_idle* kdeIdle)
        : m_display(display), m_registry(registry), m_seat(seat), m_notifier(notifier), m_kdeIdle(kdeIdle) {}

    ~WaylandIdleSource() override {
        if (m_watch != 0)
            g_source_remove(m_watch);
        DropNotification();
        if (m_notifier != nullptr)
            ext_idle_notifier_v1_destroy(m_notifier);
        if (m_kdeIdle != nullptr)
            org_kde_kwin_idle_destroy(m_kdeIdle);
        wl_seat_destroy(m_seat);
        wl_registry_destroy(m_registry);
        wl_display_disconnect(m_display);
    }

    void Start(std::chrono::milliseconds threshold, Listener listener) override {
        m_threshold = threshold;
        m_listener = std::move(listener);
        m_watch = g_unix_fd_add(wl_display_get_fd(m_display),
                                static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                                &WaylandIdleSource::OnEvents, this);
        MakeNotification();
    }

    // A new notification counts its timeout from the moment it is made.
    void Rearm() override {
        if (!Failure().empty())
            return;
        DropNotification();
        Tell(false);
        MakeNotification();
    }

    const char* Name() const override {
        return m_notifier != nullptr ? "Wayland ext-idle-notify-v1" : "Wayland org_kde_kwin_idle";
    }

private:
    static std::string ClosedReason() {
        return std::string("the Wayland compositor closed the connection (") + std::strerror(errno) + ")";
    }

    void MakeNotification() {
        const auto timeout = static_cast<uint32_t>(m_threshold.count());
        if (m_notifier != nullptr) {
            static const ext_idle_notification_v1_listener listener = {
                .idled = [](void* self,
                            ext_idle_notification_v1*) { static_cast<WaylandIdleSource*>(self)->Tell(true); },
                .resumed =
                    [](void* self, ext_idle_notification_v1*) {
                        static_cast<WaylandIdleSource*>(self)->Tell(false);
                    },
            };
            m_notification = ext_idle_notifier_v1_get_idle_notification(m_notifier, timeout, m_seat);
            ext_idle_notification_v1_add_listener(m_notification, &listener, this);
        } else {
            static const org_kde_kwin_idle_timeout_listener listener = {
                .idle = [](void* self,
                           org_kde_kwin_idle_timeout*) { static_cast<WaylandIdleSource*>(self)->Tell(true); },
                .resumed =
                    [](void* self, org_kde_kwin_idle_timeout*) {
                        static_cast<WaylandIdleSource*>(self)->Tell(false);
                    },
            };
            m_kdeTimeout = org_kde_kwin_idle_get_idle_timeout(m_kdeIdle, m_seat, timeout);
            org_kde_kwin_idle_timeout_add_listener(m_kdeTimeout, &listener, this);
        }
        Flush();
    }

    void DropNotification() {
        if (m_notification != nullptr)
            ext_idle_notification_v1_destroy(m_notification);
        if (m_kdeTimeout != nullptr)
            org_kde_kwin_idle_timeout_release(m_kdeTimeout);
        m_notification = nullptr;
        m_kdeTimeout = nullptr;
    }

    void Flush() {
        if (wl_display_flush(m_display) < 0 && errno != EAGAIN)
            Fail(ClosedReason());
    }

    static gboolean OnEvents(gint, GIOCondition condition, gpointer self) {
        auto* source = static_cast<WaylandIdleSource*>(self);
        if ((condition & (G_IO_HUP | G_IO_ERR)) != 0 || wl_display_dispatch(source->m_display) < 0) {
            source->m_watch = 0;
            source->Fail(ClosedReason());
            return G_SOURCE_REMOVE;
        }
        source->Flush();
        return G_SOURCE_CONTINUE;
    }

    wl_display* m_display;
    wl_registry* m_registry;
    wl_seat* m_seat;
    ext_idle_notifier_v1* m_notifier;
    org_kde_kwin_idle* m_kdeIdle;
    ext_idle_notification_v1* m_notification = nullptr;
    org_kde_kwin_idle_timeout* m_kdeTimeout = nullptr;
    std::chrono::milliseconds m_threshold{};
    guint m_watch = 0;
};

struct Globals {
    wl_seat* Seat = nullptr;
    ext_idle_notifier_v1* Notifier = nullptr;
    org_kde_kwin_idle* KdeIdle = nullptr;
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    // Idleness is per seat; a session has one in practice, and the first is the default seat.
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->Seat == nullptr)
        globals->Seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0)
        globals->Notifier = static_cast<ext_idle_notifier_v1*>(
            wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
    else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0)
        globals->KdeIdle = static_cast<org_kde_kwin_idle*>(
            wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {
}

// wl_display_roundtrip with a deadline: a socket that accepts the connection and never answers (a
// compositor that hangs, a WAYLAND_SOCKET that names some other descriptor) must not hang the
// watcher's start. SIGTERM keeps its default meaning meanwhile.
bool RoundtripWithin(wl_display* display, gint64 timeoutMicroseconds) {
    bool done = false;
    static const wl_callback_listener listener = {
        .done = [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; },
    };
    wl_callback* callback = wl_display_sync(display);
    wl_callback_add_listener(callback, &listener, &done);
    const gint64 deadline = g_get_monotonic_time() + timeoutMicroseconds;
    bool failed = false;
    while (!done && !failed) {
        while (wl_display_prepare_read(display) != 0)
            if (wl_display_dispatch_pending(display) < 0) {
                wl_callback_destroy(callback);
                return false;
            }
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display);
            break;
        }
        pollfd ready{.fd = wl_display_get_fd(display), .events = POLLIN, .revents = 0};
        const gint64 left = (deadline - g_get_monotonic_time()) / 1000;
        const int polled = left > 0 ? poll(&ready, 1, static_cast<int>(left)) : 0;
        if (polled <= 0) {
            wl_display_cancel_read(display);
            failed = polled == 0 || errno != EINTR;
            continue;
        }
        failed = wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0;
    }
    wl_callback_destroy(callback);
    return done;
}

constexpr gint64 AnswerTimeout = 3 * G_USEC_PER_SEC;

} // namespace

std::unique_ptr<IdleSource> OpenWaylandIdleSource() {
    if (g_getenv("WAYLAND_DISPLAY") == nullptr)
        return nullptr;
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr)
        return nullptr;
    static const wl_registry_listener listener = {.global = OnGlobal, .global_remove = OnGlobalRemove};
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &globals);
    const bool answered = RoundtripWithin(display, AnswerTimeout);
    if (!answered)
        g_printerr("glimracode: the Wayland compositor did not answer within %d s\n",
                   static_cast<int>(AnswerTimeout / G_USEC_PER_SEC));
    if (answered && globals.Seat != nullptr && (globals.Notifier != nullptr || globals.KdeIdle != nullptr)) {
        // Either protocol will do; the standard one is preferred.
        if (globals.Notifier != nullptr && globals.KdeIdle != nullptr) {
            org_kde_kwin_idle_destroy(globals.KdeIdle);
            globals.KdeIdle = nullptr;
        }
        return std::make_unique<WaylandIdleSource>(display, registry, globals.Seat, globals.Notifier,
                                                   globals.KdeIdle);
    }
    if (globals.Seat != nullptr)
        wl_seat_destroy(globals.Seat);
    if (globals.Notifier != nullptr)
        ext_idle_notifier_v1_destroy(globals.Notifier);
    if (globals.KdeIdle != nullptr)
        org_kde_kwin_idle_destroy(globals.KdeIdle);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return nullptr;
}
