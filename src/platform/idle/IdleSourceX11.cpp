#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <glib-unix.h>
#include <glib.h>

#include <algorithm>

#include "platform/idle/IdleSource.h"

namespace {

using std::chrono::milliseconds;

milliseconds Now() {
    return milliseconds(g_get_monotonic_time() / 1000);
}

// The screen saver extension tells the time since the last input, but it sends nothing when that time
// passes a mark of ours (its notify events come only from the server's own saver, which is the
// user's to configure). So the source sleeps until the moment the idle time would reach the
// threshold and asks again: input in the meantime pushes that moment back, and an active session
// costs one wake-up per threshold.
class X11IdleSource final : public IdleSource {
public:
    X11IdleSource(Display* display, int eventBase) : m_display(display), m_eventBase(eventBase) {
        m_info = XScreenSaverAllocInfo();
    }

    ~X11IdleSource() override {
        if (m_timer != 0)
            g_source_remove(m_timer);
        if (m_watch != 0)
            g_source_remove(m_watch);
        XFree(m_info);
        XCloseDisplay(m_display);
    }

    void Start(milliseconds threshold, Listener listener) override {
        m_threshold = threshold;
        m_listener = std::move(listener);
        // The server's own saver coming on is idleness the user asked for: it wakes the source early.
        XScreenSaverSelectInput(m_display, DefaultRootWindow(m_display), ScreenSaverNotifyMask);
        XFlush(m_display);
        m_watch = g_unix_fd_add(ConnectionNumber(m_display),
                                static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                                &X11IdleSource::OnEvents, this);
        Check();
    }

    void Rearm() override {
        m_since = Now();
        Check();
    }

    const char* Name() const override { return "X11 screen saver extension"; }

private:
    static gboolean OnEvents(gint, GIOCondition condition, gpointer self) {
        auto* source = static_cast<X11IdleSource*>(self);
        if ((condition & (G_IO_HUP | G_IO_ERR)) != 0) {
            // Removed by the answer below: the destructor must not remove it again.
            source->m_watch = 0;
            source->Fail("the X display closed the connection");
            return G_SOURCE_REMOVE;
        }
        bool saverOn = false;
        while (XPending(source->m_display) > 0) {
            XEvent event;
            XNextEvent(source->m_display, &event);
            if (event.type == source->m_eventBase + ScreenSaverNotify)
                saverOn =
                    saverOn || reinterpret_cast<XScreenSaverNotifyEvent*>(&event)->state == ScreenSaverOn;
        }
        if (saverOn)
            source->Check();
        return G_SOURCE_CONTINUE;
    }

    static gboolean OnTimer(gpointer self) {
        auto* source = static_cast<X11IdleSource*>(self);
        source->m_timer = 0;
        source->Check();
        return G_SOURCE_REMOVE;
    }

    void Check() {
        if (m_timer != 0) {
            g_source_remove(m_timer);
            m_timer = 0;
        }
        if (!Failure().empty())
            return;
        if (XScreenSaverQueryInfo(m_display, DefaultRootWindow(m_display), m_info) == 0) {
            Fail("the X server stopped answering the screen saver extension");
            return;
        }
        const milliseconds idle = std::min(milliseconds(m_info->idle), Now() - m_since);
        Tell(idle >= m_threshold);
        if (m_idle)
            return; // until the saver has ended and Rearm counts afresh
        // A few milliseconds late rather than early: an early wake-up would find the session a
        // hair short of the threshold and sleep again for that hair.
        const auto wait = m_threshold - idle + milliseconds(20);
        m_timer = g_timeout_add(static_cast<guint>(wait.count()), &X11IdleSource::OnTimer, this);
    }

    Display* m_display;
    int m_eventBase;
    XScreenSaverInfo* m_info = nullptr;
    milliseconds m_threshold{};
    milliseconds m_since{milliseconds::min() / 2};
    guint m_timer = 0;
    guint m_watch = 0;
};

} // namespace

std::unique_ptr<IdleSource> OpenX11IdleSource() {
    if (g_getenv("DISPLAY") == nullptr)
        return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return nullptr;
    int eventBase = 0;
    int errorBase = 0;
    if (XScreenSaverQueryExtension(display, &eventBase, &errorBase) == 0) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::make_unique<X11IdleSource>(display, eventBase);
}
