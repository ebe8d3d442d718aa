#pragma once

#include "platform/x11/X11Headers.h"

#include <memory>

#include "platform/linux/PollTimers.h"
#include "platform/x11/X11BackBuffer.h"
#include "platform/x11/X11EventWait.h"
#include "shell/GlimraSaverMain.h"

// The saver window on X11: an override-redirect window over the whole root window (every monitor),
// with the pointer hidden and keyboard and pointer grabbed, so that input anywhere reaches it.
//
// Timers and input share the one thread: Run sleeps in poll() on the X connection until the nearest
// timer's deadline, then hands events and firings to Tglimrascreen. There is no password step on
// Linux; locking the session is the screen locker's business.
class X11SaverWindow final : public GlimraSaverHost {
public:
    X11SaverWindow(Display* display, StopSignals& signals);
    ~X11SaverWindow() override;
    X11SaverWindow(const X11SaverWindow&) = delete;
    X11SaverWindow& operator=(const X11SaverWindow&) = delete;

    // Shows the saver until the logic closes it or a stop signal comes. False, with nothing shown,
    // when the screen's visual is not one the surface can be presented to.
    bool Run();

    GlimraScreenMetrics ScreenMetrics() override;
    void MaximiseWindow() override;
    void SetWindowBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
    GlimraPoint WindowOrigin() override { return m_origin; }
    GlimraPoint CursorPosition() override;
    void ShowPointer(bool show) override;
    Pixmap& Surface(int32_t width, int32_t height) override;
    void Present() override;
    void StartTimer(GlimraTimer timer, int32_t intervalMs) override;
    void StopTimer(GlimraTimer timer) override;
    void InstallMessageFilter(bool installed) override { m_filterInstalled = installed; }
    void CloseWindow() override;

private:
    void CreateWindow();
    void GrabInput();
    void Dispatch(Tglimrascreen& form, const XEvent& event);
    void FireTimers(Tglimrascreen& form);

    Display* m_display;
    StopSignals& m_signals;
    int m_screen;
    Window m_root;
    Window m_window = 0;
    Cursor m_invisibleCursor = 0;
    int m_pointerShown = 0;
    GlimraPoint m_origin;
    std::unique_ptr<X11BackBuffer> m_buffer;
    // Answers the logic when no back buffer could be made, so that it still runs and stays wakeable.
    Pixmap m_spareSurface;
    PollTimers m_timers;
    bool m_filterInstalled = false;
    bool m_closed = false;
};
