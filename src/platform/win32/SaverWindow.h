#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

#include "shell/GlimraSaverHost.h"

class Tglimrascreen;

// The Windows face of the saver window: a borderless, topmost, black popup titled "glimrascreen"
// whose client area is a top-down 32-bit DIB section, the engine's back buffer. It hosts one
// Tglimrascreen: it forwards the window's timers, clicks and close to it, and runs the message loop
// that shows each queued message to Tglimrascreen::AppMessage before dispatching it.
//
// Use: Create, Attach, then the screen's FormCreate, then Show and RunMessageLoop, which returns
// once the window is destroyed.
class SaverWindow : public GlimraSaverHost, public GlimraWindowsDuties {
public:
    static constexpr const char* ClassName = "Tglimrascreen";
    static constexpr const char* Title = "glimrascreen";

    SaverWindow() = default;
    ~SaverWindow() override;
    SaverWindow(const SaverWindow&) = delete;
    SaverWindow& operator=(const SaverWindow&) = delete;

    // Registers the window class and makes the window, still hidden. False when either fails.
    [[nodiscard]] bool Create(HINSTANCE instance);
    // The window's events go to screen from now on; null detaches.
    void Attach(Tglimrascreen* screen) { m_screen = screen; }
    // Shows the window as FormCreate left it: maximised, or at the bounds it was given.
    void Show();
    void RunMessageLoop();

    HWND Window() const { return m_window; }
    bool FilterInstalled() const { return m_filterInstalled; }

    GlimraScreenMetrics ScreenMetrics() override;
    void MaximiseWindow() override;
    void SetWindowBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
    GlimraPoint WindowOrigin() override;
    GlimraPoint CursorPosition() override;
    void ShowPointer(bool show) override;
    Pixmap& Surface(int32_t width, int32_t height) override;
    void Present() override;
    void StartTimer(GlimraTimer timer, int32_t intervalMs) override;
    void StopTimer(GlimraTimer timer) override;
    void InstallMessageFilter(bool installed) override;
    void CloseWindow() override;
    GlimraWindowsDuties* WindowsDuties() override { return this; }

    void SetScreenSaverRunning(bool running) override;
    bool IsWin9x() override;
    std::optional<uint32_t> ScreenSaveUsePassword() override;
    std::optional<bool> VerifyScreenSavePassword() override;
    void ShrinkWindow() override;

protected:
    // The message filter's and the window procedure's work; virtual so that tests can watch the
    // order in which the loop calls them.
    virtual void FilterMessage(const MSG& message);
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    bool MakeSurface(int32_t width, int32_t height);
    void FreeSurface();

    HWND m_window = nullptr;
    Tglimrascreen* m_screen = nullptr;
    int m_showCommand = SW_SHOWNORMAL;
    bool m_filterInstalled = false;
    bool m_flagSet = false;
    bool m_buttonDown = false;
    std::array<bool, 3> m_timersRunning{};

    HDC m_surfaceDc = nullptr;
    HBITMAP m_surfaceBitmap = nullptr;
    HGDIOBJ m_previousBitmap = nullptr;
    Pixmap m_surface;
};
