#include "platform/win32/SaverWindow.h"

#include "platform/win32/SystemLibrary.h"
#include "shell/GlimraSaverMain.h"

namespace {

// SetTimer identifiers; 0 is what SetTimer reports on failure, so the timers count from 1.
UINT_PTR TimerId(GlimraTimer timer) {
    return static_cast<UINT_PTR>(timer) + 1;
}

} // namespace

SaverWindow::~SaverWindow() {
    // Only reached with a live window when the message loop never ran to the end, as in tests.
    m_screen = nullptr;
    if (m_window != nullptr) {
        DestroyWindow(m_window);
        // The quit request belongs to this window's loop; left behind, it would end the next one.
        MSG quit{};
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }
    FreeSurface();
}

bool SaverWindow::Create(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(100));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = ClassName;
    if (RegisterClassExA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    m_window = CreateWindowExA(WS_EX_TOPMOST, ClassName, Title, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               instance, this);
    return m_window != nullptr;
}

void SaverWindow::Show() {
    if (m_window == nullptr)
        return;
    ShowWindow(m_window, m_showCommand);
    UpdateWindow(m_window);
    // Keys go to the foreground window; the saver must be the one that hears them.
    SetForegroundWindow(m_window);
}

void SaverWindow::RunMessageLoop() {
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (m_filterInstalled)
            FilterMessage(message);
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void SaverWindow::FilterMessage(const MSG& message) {
    if (m_screen == nullptr)
        return;
    m_screen->AppMessage(
        {message.message, static_cast<uintptr_t>(message.wParam), static_cast<intptr_t>(message.lParam)});
}

LRESULT CALLBACK SaverWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* self = static_cast<SaverWindow*>(create->lpCreateParams);
        self->m_window = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<SaverWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    // WM_GETMINMAXINFO comes before WM_NCCREATE, when there is no object to ask yet.
    if (self == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT SaverWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETMINMAXINFO: {
        // Maximised, a popup would stop at the work area's edge and leave the taskbar uncovered.
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMaxPosition = {0, 0};
        info->ptMaxSize = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        return 0;
    }
    case WM_ERASEBKGND:
        // The back buffer covers the client area, so erasing first would only flicker.
        if (m_surfaceDc != nullptr)
            return 1;
        break;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_TIMER:
        if (m_screen == nullptr)
            return 0;
        for (GlimraTimer timer : {GlimraTimer::Main, GlimraTimer::PasswordDialog, GlimraTimer::Mouse})
            if (wParam == TimerId(timer))
                m_screen->TimerFired(timer);
        return 0;
    case WM_LBUTTONDOWN:
        m_buttonDown = true;
        return 0;
    case WM_LBUTTONUP:
        // A click is a press and a release on the window, as the paint surface counted one.
        if (!m_buttonDown)
            return 0;
        m_buttonDown = false;
        if (m_screen != nullptr)
            m_screen->screenpaintClick();
        return 0;
    case WM_CLOSE:
        if (m_screen != nullptr)
            m_screen->FormClose();
        DestroyWindow(m_window);
        return 0;
    case WM_DESTROY:
        for (GlimraTimer timer : {GlimraTimer::Main, GlimraTimer::PasswordDialog, GlimraTimer::Mouse})
            StopTimer(timer);
        // A window closed by someone else (the system, a task manager) skips StopSaver; the flag
        // must not outlive the saver even then.
        if (m_flagSet)
            SetScreenSaverRunning(false);
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        HWND window = m_window;
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        m_window = nullptr;
        m_filterInstalled = false;
        m_timersRunning = {};
        return DefWindowProcA(window, message, wParam, lParam);
    }
    default:
        break;
    }
    return DefWindowProcA(m_window, message, wParam, lParam);
}

void SaverWindow::Paint() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(m_window, &paint);
    if (dc == nullptr)
        return;
    const RECT& area = paint.rcPaint;
    if (m_surfaceDc != nullptr)
        BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, m_surfaceDc,
               area.left, area.top, SRCCOPY);
    else
        FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(m_window, &paint);
}

GlimraScreenMetrics SaverWindow::ScreenMetrics() {
    GlimraScreenMetrics metrics;
    metrics.PrimaryWidth = GetSystemMetrics(SM_CXSCREEN);
    metrics.PrimaryHeight = GetSystemMetrics(SM_CYSCREEN);
    // Windows 95 and NT 4 know no monitor count and answer 0: one monitor.
    metrics.MonitorCount = GetSystemMetrics(SM_CMONITORS);
    metrics.VirtualLeft = GetSystemMetrics(SM_XVIRTUALSCREEN);
    metrics.VirtualTop = GetSystemMetrics(SM_YVIRTUALSCREEN);
    metrics.VirtualWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    metrics.VirtualHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    return metrics;
}

void SaverWindow::MaximiseWindow() {
    m_showCommand = SW_SHOWMAXIMIZED;
    if (m_window == nullptr)
        return;
    // The normal bounds matter too: they are what the window has until it is first shown.
    SetWindowPos(m_window, HWND_TOPMOST, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 SWP_NOACTIVATE);
    if (IsWindowVisible(m_window))
        ShowWindow(m_window, SW_SHOWMAXIMIZED);
}

void SaverWindow::SetWindowBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    m_showCommand = SW_SHOWNORMAL;
    if (m_window == nullptr)
        return;
    SetWindowPos(m_window, HWND_TOPMOST, left, top, width, height, SWP_NOACTIVATE);
}

GlimraPoint SaverWindow::WindowOrigin() {
    POINT origin{0, 0};
    if (m_window == nullptr || !ClientToScreen(m_window, &origin))
        return {};
    return {origin.x, origin.y};
}

void SaverWindow::SetScreenSaverRunning(bool running) {
    UINT scratch = 0;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running ? 1 : 0, &scratch, 0);
    m_flagSet = running;
}

GlimraPoint SaverWindow::CursorPosition() {
    POINT position{0, 0};
    if (!GetCursorPos(&position))
        return {};
    return {position.x, position.y};
}

void SaverWindow::ShowPointer(bool show) {
    ShowCursor(show ? TRUE : FALSE);
}

bool SaverWindow::MakeSurface(int32_t width, int32_t height) {
    FreeSurface();
    if (width <= 0 || height <= 0)
        return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    // Negative: rows run top-down, as a Pixmap's do.
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_surfaceBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (m_surfaceBitmap == nullptr || bits == nullptr) {
        FreeSurface();
        return false;
    }
    m_surfaceDc = CreateCompatibleDC(nullptr);
    if (m_surfaceDc == nullptr) {
        FreeSurface();
        return false;
    }
    m_previousBitmap = SelectObject(m_surfaceDc, m_surfaceBitmap);
    m_surface = Pixmap::Wrap(static_cast<uint32_t*>(bits), width, height, width);
    m_surface.TrackDamage(true);
    return true;
}

void SaverWindow::FreeSurface() {
    m_surface = Pixmap();
    if (m_surfaceDc != nullptr) {
        SelectObject(m_surfaceDc, m_previousBitmap);
        DeleteDC(m_surfaceDc);
        m_surfaceDc = nullptr;
    }
    if (m_surfaceBitmap != nullptr) {
        DeleteObject(m_surfaceBitmap);
        m_surfaceBitmap = nullptr;
    }
}

Pixmap& SaverWindow::Surface(int32_t width, int32_t height) {
    if (m_surfaceDc != nullptr && m_surface.Width() == width && m_surface.Height() == height)
        return m_surface;
    // Without a DIB the engine draws on an empty pixmap, where every copy clips to nothing: the
    // screen stays black and the saver can still be woken.
    if (!MakeSurface(width, height))
        m_surface = Pixmap();
    return m_surface;
}

void SaverWindow::Present() {
    if (m_window == nullptr || m_surfaceDc == nullptr)
        return;
    if (m_surface.Damage().empty())
        return;
    HDC dc = GetDC(m_window);
    if (dc == nullptr) {
        m_surface.ClearDamage();
        return;
    }
    // One copy per changed rectangle: the bounding box of a tick's scattered cells would be most of
    // the screen.
    for (const PixRect& changed : m_surface.Damage())
        BitBlt(dc, changed.X, changed.Y, changed.Width, changed.Height, m_surfaceDc, changed.X, changed.Y,
               SRCCOPY);
    m_surface.ClearDamage();
    ReleaseDC(m_window, dc);
    // GDI may batch the copies; the engine must not write the DIB's pixels before they have been read.
    GdiFlush();
}

void SaverWindow::StartTimer(GlimraTimer timer, int32_t intervalMs) {
    if (m_window == nullptr)
        return;
    const auto index = static_cast<size_t>(timer);
    if (intervalMs <= 0) {
        StopTimer(timer);
        return;
    }
    m_timersRunning[index] = SetTimer(m_window, TimerId(timer), static_cast<UINT>(intervalMs), nullptr) != 0;
}

void SaverWindow::StopTimer(GlimraTimer timer) {
    const auto index = static_cast<size_t>(timer);
    if (m_window == nullptr || !m_timersRunning[index])
        return;
    KillTimer(m_window, TimerId(timer));
    m_timersRunning[index] = false;
}

void SaverWindow::InstallMessageFilter(bool installed) {
    m_filterInstalled = installed;
}

bool SaverWindow::IsWin9x() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    // A failed call leaves the platform 0, which is not NT: the password step then runs and finds
    // no password to ask for on a system without one.
    GetVersionExA(&version);
    return version.dwPlatformId != VER_PLATFORM_WIN32_NT;
}

std::optional<uint32_t> SaverWindow::ScreenSaveUsePassword() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG status = RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, &type,
                                         reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
        return std::nullopt;
    return value;
}

std::optional<bool> SaverWindow::VerifyScreenSavePassword() {
    using VerifyScreenSavePwd = BOOL(WINAPI*)(HWND);
    const ScopedLibrary library(LoadSystemLibrary("PASSWORD.CPL"));
    const auto verify = library.Find<VerifyScreenSavePwd>("VerifyScreenSavePwd");
    if (verify == nullptr)
        return std::nullopt;
    return verify(m_window) != FALSE;
}

void SaverWindow::CloseWindow() {
    if (m_window != nullptr)
        SendMessageA(m_window, WM_CLOSE, 0, 0);
}

void SaverWindow::ShrinkWindow() {
    if (m_window == nullptr)
        return;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (GetWindowPlacement(m_window, &placement)) {
        placement.showCmd = IsWindowVisible(m_window) ? SW_SHOWNORMAL : SW_HIDE;
        SetWindowPlacement(m_window, &placement);
    }
    RECT bounds{};
    if (!GetWindowRect(m_window, &bounds))
        return;
    const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(m_window, nullptr, 0, 0, 0, bounds.bottom - bounds.top, flags);
    SetWindowPos(m_window, nullptr, 0, 0, 0, 0, flags);
}
