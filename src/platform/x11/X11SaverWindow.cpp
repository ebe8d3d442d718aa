#include "platform/x11/X11SaverWindow.h"

#include "platform/x11/X11Messages.h"
#include "platform/x11/X11PixelsPerInch.h"

X11SaverWindow::X11SaverWindow(Display* display, StopSignals& signals)
    : m_display(display), m_signals(signals), m_screen(DefaultScreen(display)),
      m_root(RootWindow(display, DefaultScreen(display))) {
}

X11SaverWindow::~X11SaverWindow() {
    m_buffer.reset();
    if (m_window != 0)
        XDestroyWindow(m_display, m_window);
    if (m_invisibleCursor != 0)
        XFreeCursor(m_display, m_invisibleCursor);
    XSync(m_display, False);
}

void X11SaverWindow::CreateWindow() {
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(m_display, m_screen);
    attributes.event_mask = KeyPressMask | ButtonPressMask | PointerMotionMask | ExposureMask;
    m_window = XCreateWindow(
        m_display, m_root, 0, 0, static_cast<unsigned>(DisplayWidth(m_display, m_screen)),
        static_cast<unsigned>(DisplayHeight(m_display, m_screen)), 0, CopyFromParent, InputOutput,
        CopyFromParent, CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    XStoreName(m_display, m_window, "glimrascreen");

    // A cursor made of one transparent pixel: X has no call that hides the pointer.
    const char blank = 0;
    const XPixmap mask = XCreateBitmapFromData(m_display, m_window, &blank, 1, 1);
    XColor black{};
    m_invisibleCursor = XCreatePixmapCursor(m_display, mask, mask, &black, &black, 0, 0);
    XFreePixmap(m_display, mask);
}

void X11SaverWindow::GrabInput() {
    // Override-redirect windows get no focus from a window manager; the grabs bring every key and
    // pointer event here wherever the pointer is. A daemon or another client may hold a grab, and
    // then focus is the best that can be had.
    const int keyboard = XGrabKeyboard(m_display, m_window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (keyboard != GrabSuccess)
        XSetInputFocus(m_display, m_window, RevertToParent, CurrentTime);
    XGrabPointer(m_display, m_window, True, ButtonPressMask | PointerMotionMask, GrabModeAsync, GrabModeAsync,
                 XNone, XNone, CurrentTime);
}

bool X11SaverWindow::Run() {
    if (!IsSurfaceVisual(DefaultVisual(m_display, m_screen), DefaultDepth(m_display, m_screen)))
        return false;
    CreateWindow();
    FollowPixelsPerInch(m_display);
    Tglimrascreen form(*this);
    form.FormCreate();
    XMapRaised(m_display, m_window);
    GrabInput();

    while (!m_closed) {
        while (!m_closed && XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            Dispatch(form, event);
        }
        if (m_closed)
            break;
        if (m_signals.Raised()) {
            form.StopSaver();
            break;
        }
        FireTimers(form);
        if (m_closed)
            break;
        WaitForX(m_display, m_signals, m_timers.TimeoutMs(PollTimers::Clock::now()));
        FireTimers(form);
    }
    form.FormClose();
    XUngrabPointer(m_display, CurrentTime);
    XUngrabKeyboard(m_display, CurrentTime);
    return true;
}

void X11SaverWindow::Dispatch(Tglimrascreen& form, const XEvent& event) {
    if (event.type == Expose && event.xexpose.window == m_window && m_buffer) {
        m_buffer->Repaint(event.xexpose.x, event.xexpose.y, event.xexpose.width, event.xexpose.height);
        return;
    }
    if (IsClick(event)) {
        form.screenpaintClick();
        return;
    }
    if (!m_filterInstalled)
        return;
    if (const std::optional<GlimraMessage> message = MessageFromEvent(event))
        form.AppMessage(*message);
}

void X11SaverWindow::FireTimers(Tglimrascreen& form) {
    for (GlimraTimer timer : m_timers.TakeDue(PollTimers::Clock::now())) {
        // A handler may stop a timer that is due in the same round, or close the window.
        if (m_closed || !m_timers.IsRunning(timer))
            continue;
        form.TimerFired(timer);
    }
}

GlimraScreenMetrics X11SaverWindow::ScreenMetrics() {
    // The root window spans every monitor; as one monitor the window is simply made that size.
    GlimraScreenMetrics metrics;
    metrics.PrimaryWidth = DisplayWidth(m_display, m_screen);
    metrics.PrimaryHeight = DisplayHeight(m_display, m_screen);
    metrics.MonitorCount = 1;
    metrics.VirtualWidth = metrics.PrimaryWidth;
    metrics.VirtualHeight = metrics.PrimaryHeight;
    return metrics;
}

void X11SaverWindow::MaximiseWindow() {
    SetWindowBounds(0, 0, DisplayWidth(m_display, m_screen), DisplayHeight(m_display, m_screen));
}

void X11SaverWindow::SetWindowBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0)
        return;
    XMoveResizeWindow(m_display, m_window, left, top, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
    m_origin = {left, top};
}

GlimraPoint X11SaverWindow::CursorPosition() {
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
    unsigned mask = 0;
    if (!XQueryPointer(m_display, m_root, &root, &child, &rootX, &rootY, &windowX, &windowY, &mask))
        return {};
    return {rootX, rootY};
}

void X11SaverWindow::ShowPointer(bool show) {
    m_pointerShown += show ? 1 : -1;
    if (m_pointerShown < 0)
        XDefineCursor(m_display, m_window, m_invisibleCursor);
    else
        XUndefineCursor(m_display, m_window);
}

Pixmap& X11SaverWindow::Surface(int32_t width, int32_t height) {
    if (m_buffer && m_buffer->Surface().Width() == width && m_buffer->Surface().Height() == height)
        return m_buffer->Surface();
    m_buffer = X11BackBuffer::Create(m_display, m_window, DefaultVisual(m_display, m_screen),
                                     DefaultDepth(m_display, m_screen), width, height);
    if (m_buffer)
        return m_buffer->Surface();
    if (m_spareSurface.Width() != width || m_spareSurface.Height() != height)
        m_spareSurface = Pixmap(width, height);
    return m_spareSurface;
}

void X11SaverWindow::Present() {
    if (m_buffer)
        m_buffer->PresentDamage();
}

void X11SaverWindow::StartTimer(GlimraTimer timer, int32_t intervalMs) {
    m_timers.Start(timer, intervalMs, PollTimers::Clock::now());
}

void X11SaverWindow::StopTimer(GlimraTimer timer) {
    m_timers.Stop(timer);
}

void X11SaverWindow::CloseWindow() {
    m_closed = true;
    XUnmapWindow(m_display, m_window);
    XFlush(m_display);
}
