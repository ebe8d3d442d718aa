#include <gio/gio.h>

#include "platform/idle/IdleSource.h"

namespace {

constexpr const char* MonitorName = "org.gnome.Mutter.IdleMonitor";
constexpr const char* MonitorPath = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr const char* SessionName = "org.gnome.SessionManager";
constexpr const char* SessionPath = "/org/gnome/SessionManager";
// The session manager's inhibition flag for "the session must not be marked idle".
constexpr guint32 InhibitIdle = 8;

// GNOME's compositor counts idleness itself and fires a watch when it passes a mark; its session
// manager keeps the inhibitions (a video played full screen asks it not to go idle). The compositor's
// idle watch fires whether or not something inhibits, so the source asks the session manager before
// it tells, and asks again when an inhibitor goes.
class MutterIdleSource final : public IdleSource {
public:
    explicit MutterIdleSource(GDBusConnection* bus) : m_bus(bus), m_cancel(g_cancellable_new()) {}

    ~MutterIdleSource() override {
        g_cancellable_cancel(m_cancel);
        for (guint subscription : {m_fired, m_inhibitorRemoved})
            if (subscription != 0)
                g_dbus_connection_signal_unsubscribe(m_bus, subscription);
        if (m_ownerWatch != 0)
            g_bus_unwatch_name(m_ownerWatch);
        for (guint watch : {m_idleWatch, m_activeWatch})
            if (watch != 0)
                Call(MonitorName, MonitorPath, MonitorName, "RemoveWatch", g_variant_new("(u)", watch),
                     nullptr);
        g_dbus_connection_flush_sync(m_bus, nullptr, nullptr);
        g_object_unref(m_cancel);
        g_object_unref(m_bus);
    }

    void Start(std::chrono::milliseconds threshold, Listener listener) override {
        m_threshold = threshold;
        m_listener = std::move(listener);
        m_fired = g_dbus_connection_signal_subscribe(m_bus, MonitorName, MonitorName, "WatchFired",
                                                     MonitorPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                     &MutterIdleSource::OnFired, this, nullptr);
        m_inhibitorRemoved = g_dbus_connection_signal_subscribe(
            m_bus, SessionName, SessionName, "InhibitorRemoved", SessionPath, nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
               gpointer self) { static_cast<MutterIdleSource*>(self)->OnInhibitorRemoved(); },
            this, nullptr);
        m_ownerWatch = g_bus_watch_name_on_connection(
            m_bus, MonitorName, G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr,
            [](GDBusConnection*, const gchar*, gpointer self) {
                static_cast<MutterIdleSource*>(self)->Fail("the compositor left the session bus");
            },
            this, nullptr);
        Call(MonitorName, MonitorPath, MonitorName, "AddIdleWatch",
             g_variant_new("(t)", static_cast<guint64>(threshold.count())),
             &MutterIdleSource::OnIdleWatchAdded);
    }

    // The compositor's watch fires again only after input and another threshold of idleness: a saver
    // that ended without input waits for the user to come and go again.
    void Rearm() override {
        m_pending = false;
        Tell(false);
    }

    const char* Name() const override { return "GNOME Mutter idle monitor"; }

private:
    // Once idle, the monitor is asked to say when the user is back.
    void TellIdle() {
        if (!m_idle && m_activeWatch == 0)
            Call(MonitorName, MonitorPath, MonitorName, "AddUserActiveWatch", nullptr,
                 &MutterIdleSource::OnActiveWatchAdded);
        Tell(true);
    }

    void Call(const char* name, const char* path, const char* interface, const char* method,
              GVariant* arguments, GAsyncReadyCallback done) {
        g_dbus_connection_call(m_bus, name, path, interface, method, arguments, nullptr,
                               G_DBUS_CALL_FLAGS_NONE, -1, done != nullptr ? m_cancel : nullptr, done,
                               done != nullptr ? this : nullptr);
    }

    // A reply's only value, or nil when the call failed; a cancelled call (the source is being
    // destroyed) sets cancelled, and then self must not be touched.
    static GVariant* Reply(GObject* bus, GAsyncResult* result, bool& cancelled) {
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
        cancelled = error != nullptr && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
        g_clear_error(&error);
        return reply;
    }

    static void OnIdleWatchAdded(GObject* bus, GAsyncResult* result, gpointer data) {
        bool cancelled = false;
        GVariant* reply = Reply(bus, result, cancelled);
        if (cancelled)
            return;
        auto* self = static_cast<MutterIdleSource*>(data);
        if (reply == nullptr) {
            self->Fail("the compositor refused an idle watch");
            return;
        }
        g_variant_get(reply, "(u)", &self->m_idleWatch);
        g_variant_unref(reply);
    }

    static void OnActiveWatchAdded(GObject* bus, GAsyncResult* result, gpointer data) {
        bool cancelled = false;
        GVariant* reply = Reply(bus, result, cancelled);
        if (cancelled || reply == nullptr)
            return;
        g_variant_get(reply, "(u)", &static_cast<MutterIdleSource*>(data)->m_activeWatch);
        g_variant_unref(reply);
    }

    static void OnFired(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                        GVariant* arguments, gpointer data) {
        auto* self = static_cast<MutterIdleSource*>(data);
        guint32 watch = 0;
        g_variant_get(arguments, "(u)", &watch);
        if (watch != 0 && watch == self->m_idleWatch) {
            self->m_pending = true;
            self->AskInhibited();
        } else if (watch != 0 && watch == self->m_activeWatch) {
            // A user-active watch fires once and is gone.
            self->m_activeWatch = 0;
            self->m_pending = false;
            self->Tell(false);
        }
    }

    void OnInhibitorRemoved() {
        if (!m_pending)
            return;
        Call(MonitorName, MonitorPath, MonitorName, "GetIdletime", nullptr,
             [](GObject* bus, GAsyncResult* result, gpointer data) {
                 bool cancelled = false;
                 GVariant* reply = Reply(bus, result, cancelled);
                 if (cancelled || reply == nullptr)
                     return;
                 auto* self = static_cast<MutterIdleSource*>(data);
                 guint64 idle = 0;
                 g_variant_get(reply, "(t)", &idle);
                 g_variant_unref(reply);
                 // Input since the watch fired: the watch fires again after the next idle spell.
                 if (idle < static_cast<guint64>(self->m_threshold.count()))
                     self->m_pending = false;
                 else
                     self->AskInhibited();
             });
    }

    void AskInhibited() {
        Call(SessionName, SessionPath, SessionName, "IsInhibited", g_variant_new("(u)", InhibitIdle),
             [](GObject* bus, GAsyncResult* result, gpointer data) {
                 bool cancelled = false;
                 GVariant* reply = Reply(bus, result, cancelled);
                 if (cancelled)
                     return;
                 auto* self = static_cast<MutterIdleSource*>(data);
                 // Without a session manager (mutter alone) nothing can inhibit.
                 gboolean inhibited = FALSE;
                 if (reply != nullptr) {
                     g_variant_get(reply, "(b)", &inhibited);
                     g_variant_unref(reply);
                 }
                 if (!self->m_pending || inhibited)
                     return;
                 self->m_pending = false;
                 self->TellIdle();
             });
    }

    GDBusConnection* m_bus;
    GCancellable* m_cancel;
    std::chrono::milliseconds m_threshold{};
    guint m_fired = 0;
    guint m_inhibitorRemoved = 0;
    guint m_ownerWatch = 0;
    guint32 m_idleWatch = 0;
    guint32 m_activeWatch = 0;
    bool m_pending = false; // the idle watch fired and the answer on inhibition is awaited
};

// A bus or a compositor that does not answer within this is taken for absent.
constexpr guint AnswerTimeoutMs = 3000;

bool HasOwner(GDBusConnection* bus, const char* name) {
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "NameHasOwner",
                                                  g_variant_new("(s)", name), G_VARIANT_TYPE("(b)"),
                                                  G_DBUS_CALL_FLAGS_NONE, AnswerTimeoutMs, nullptr, nullptr);
    if (reply == nullptr)
        return false;
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned != FALSE;
}

// g_bus_get_sync with a deadline: a bus that accepts the connection and never answers would hold the
// watcher's start for ever. The connection is made on GIO's thread while this one turns the default
// context; past the deadline it is cancelled. A connection that ignores even that is left to finish
// on its own, with its answer going to a record that outlives this call.
GDBusConnection* SessionBusWithin(guint timeoutMs) {
    struct Pending {
        GDBusConnection* Bus = nullptr;
        bool Done = false;
        bool Abandoned = false;
        bool TimedOut = false;
    };
    auto* pending = new Pending;
    GCancellable* cancel = g_cancellable_new();
    g_bus_get(
        G_BUS_TYPE_SESSION, cancel,
        [](GObject*, GAsyncResult* result, gpointer data) {
            auto* pending = static_cast<Pending*>(data);
            pending->Bus = g_bus_get_finish(result, nullptr);
            pending->Done = true;
            if (!pending->Abandoned)
                return;
            if (pending->Bus != nullptr)
                g_object_unref(pending->Bus);
            delete pending;
        },
        pending);
    const auto timedOut = [](gpointer data) -> gboolean {
        static_cast<Pending*>(data)->TimedOut = true;
        return G_SOURCE_REMOVE;
    };
    guint timer = g_timeout_add(timeoutMs, timedOut, pending);
    while (!pending->Done && !pending->TimedOut)
        g_main_context_iteration(nullptr, TRUE);
    if (!pending->Done) {
        g_cancellable_cancel(cancel);
        pending->TimedOut = false;
        timer = g_timeout_add(500, timedOut, pending);
        while (!pending->Done && !pending->TimedOut)
            g_main_context_iteration(nullptr, TRUE);
        g_printerr("glimracode: the session bus did not answer within %u s\n", timeoutMs / 1000);
    }
    if (!pending->TimedOut)
        g_source_remove(timer);
    g_object_unref(cancel);
    if (!pending->Done) {
        pending->Abandoned = true;
        return nullptr;
    }
    GDBusConnection* bus = pending->Bus;
    delete pending;
    return bus;
}

} // namespace

std::unique_ptr<IdleSource> OpenMutterIdleSource() {
    // Without an address GIO would try to launch a bus through X11; a session that has none has no
    // GNOME either.
    if (g_getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr && g_getenv("XDG_RUNTIME_DIR") == nullptr)
        return nullptr;
    GDBusConnection* bus = SessionBusWithin(AnswerTimeoutMs);
    if (bus == nullptr)
        return nullptr;
    if (!HasOwner(bus, MonitorName)) {
        g_object_unref(bus);
        return nullptr;
    }
    return std::make_unique<MutterIdleSource>(bus);
}
