#include "shell/GlimraSaverMain.h"

#include <cstdlib>

#include "glyphs/GlimraGraph.h"
#include "raster/Blit.h"

Tglimrascreen::Tglimrascreen(GlimraSaverHost& host) : m_host(host) {
}

Tglimrascreen::~Tglimrascreen() = default;

void Tglimrascreen::FormCreate() {
    m_pwddlgactive = false;
    m_mouseticks = 0;
    m_mousearmed = false;
    SetGeometry();
    StartSaver();
}

void Tglimrascreen::SetGeometry() {
    const GlimraScreenMetrics metrics = m_host.ScreenMetrics();
    int32_t width = metrics.PrimaryWidth;
    int32_t height = metrics.PrimaryHeight;
    if (metrics.MonitorCount <= 1) {
        m_host.MaximiseWindow();
    } else {
        width = metrics.VirtualWidth;
        height = metrics.VirtualHeight;
        m_host.SetWindowBounds(metrics.VirtualLeft, metrics.VirtualTop, width, height);
    }
    m_screenwidth = width;
    m_screenheight = height;
}

void Tglimrascreen::StartSaver() {
    if (GlimraWindowsDuties* windows = m_host.WindowsDuties())
        windows->SetScreenSaverRunning(true);
    m_startpos = m_host.CursorPosition();
    m_host.ShowPointer(false);
    m_engine = StartEngine(m_host.Surface(m_screenwidth, m_screenheight), m_screenwidth, m_screenheight);
    m_host.StartTimer(GlimraTimer::Main, m_engine->Delay());
    m_host.InstallMessageFilter(true);
    m_host.StartTimer(GlimraTimer::Mouse, MouseTimerMs);
    m_running = true;
    m_host.Present();
}

void Tglimrascreen::timerTimer() {
    if (!m_engine)
        return;
    m_engine->Step(m_host.Surface(m_screenwidth, m_screenheight));
    m_host.Present();
}

void Tglimrascreen::AppMessage(const GlimraMessage& message) {
    switch (message.Message) {
    case WmActivate:
    case WmKeyDown:
    case WmCommand:
    case WmSysCommand:
        if (!m_pwddlgactive)
            TryClose();
        return;
    case WmMouseMove: {
        if (!m_mousearmed || m_pwddlgactive)
            return;
        // The message's position is relative to the window; startpos is a screen position. They
        // are compared on the screen, so a desktop that starts left of or above the primary
        // monitor does not wake the saver by itself.
        const GlimraPoint origin = m_host.WindowOrigin();
        const auto bits = static_cast<uint32_t>(message.LParam);
        const int64_t x = int64_t{bits & 0xFFFF} + origin.X;
        const int64_t y = int64_t{(bits >> 16) & 0xFFFF} + origin.Y;
        if (std::llabs(x - m_startpos.X) > MouseSlack) {
            TryClose();
            return;
        }
        if (std::llabs(y - m_startpos.Y) > MouseSlack)
            TryClose();
        return;
    }
    default:
        return;
    }
}

void Tglimrascreen::mousetimerTimer() {
    ++m_mouseticks;
    if (m_mouseticks > 1) {
        m_host.StopTimer(GlimraTimer::Mouse);
        m_mousearmed = true;
    }
}

void Tglimrascreen::screenpaintClick() {
    if (!m_pwddlgactive)
        TryClose();
}

void Tglimrascreen::TryClose() {
    if (!m_running)
        return;
    if (CheckPassword())
        StopSaver();
}

bool Tglimrascreen::CheckPassword() {
    bool result = true;
    if (!IsWin9x())
        return true;
    m_pwddlgactive = true;
    // A missing or unreadable "ScreenSaveUsePassword" counts as no password: the saver must stay
    // wakeable, and the lock-out timer below is started in every case.
    GlimraWindowsDuties& windows = *m_host.WindowsDuties();
    const std::optional<uint32_t> usePassword = windows.ScreenSaveUsePassword();
    if (usePassword && *usePassword != 0) {
        m_host.ShowPointer(true);
        if (const std::optional<bool> accepted = windows.VerifyScreenSavePassword())
            result = *accepted;
        m_host.ShowPointer(false);
    }
    m_host.StartTimer(GlimraTimer::PasswordDialog, PasswordTimerMs);
    return result;
}

void Tglimrascreen::pwddlgtimerTimer() {
    m_host.StopTimer(GlimraTimer::PasswordDialog);
    m_pwddlgactive = false;
}

void Tglimrascreen::StopSaver() {
    m_running = false;
    m_host.InstallMessageFilter(false);
    m_host.StopTimer(GlimraTimer::Main);
    m_engine.reset();
    if (GlimraWindowsDuties* windows = m_host.WindowsDuties())
        windows->SetScreenSaverRunning(false);
    m_host.CloseWindow();
}

void Tglimrascreen::FormClose() {
    if (IsWin9x())
        m_host.WindowsDuties()->ShrinkWindow();
}

bool Tglimrascreen::IsWin9x() {
    GlimraWindowsDuties* windows = m_host.WindowsDuties();
    return windows != nullptr && windows->IsWin9x();
}

void Tglimrascreen::TimerFired(GlimraTimer timer) {
    switch (timer) {
    case GlimraTimer::Main:
        timerTimer();
        break;
    case GlimraTimer::PasswordDialog:
        pwddlgtimerTimer();
        break;
    case GlimraTimer::Mouse:
        mousetimerTimer();
        break;
    }
}
