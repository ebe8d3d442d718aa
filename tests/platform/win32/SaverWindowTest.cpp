#include "platform/win32/SaverWindow.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "raster/Blit.h"
#include "settings/GlimraSettings.h"
#include "shell/GlimraModules.h"
#include "shell/GlimraSaverMain.h"
#include "support/FakeRasteriser.h"
#include "support/MemorySettingsStore.h"
#include "support/PixmapExpect.h"

namespace {

constexpr uint32_t Red = 0xFF0000; // as a surface pixel, 0x00RRGGBB
constexpr uint32_t Green = 0x00FF00;
constexpr uint32_t Blue = 0x0000FF;

// A window on a desktop of several monitors, when the test asks for one; Xvfb has a single screen.
class FakeDesktopWindow : public SaverWindow {
public:
    GlimraScreenMetrics ScreenMetrics() override {
        return fakeMetrics ? *fakeMetrics : SaverWindow::ScreenMetrics();
    }
    std::optional<GlimraScreenMetrics> fakeMetrics;
};

// Notes the order in which the loop hands messages to the filter and to the window.
class WatchedWindow : public FakeDesktopWindow {
public:
    std::vector<std::string> events;
    // Called by the filter when it sees WM_APP, while the loop still runs.
    std::function<void()> onMarker;

protected:
    void FilterMessage(const MSG& message) override {
        if (message.message == WM_APP && onMarker)
            onMarker();
        if (Watched(message.message))
            events.push_back("filter " + std::to_string(message.message));
        FakeDesktopWindow::FilterMessage(message);
    }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (Watched(message))
            events.push_back("dispatch " + std::to_string(message));
        return FakeDesktopWindow::HandleMessage(message, wParam, lParam);
    }

private:
    static bool Watched(UINT message) { return message == WM_KEYDOWN || message == WM_APP; }
};

LPARAM PointParam(int x, int y) {
    return MAKELPARAM(x, y);
}

// What the window shows, read back through its device context as a screen grab would.
Pixmap Capture(HWND window, int32_t width, int32_t height) {
    Pixmap picture(width, height);
    HDC dc = GetDC(window);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const COLORREF colour = GetPixel(dc, x, y);
            picture.SetPixel(x, y, (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour));
        }
    ReleaseDC(window, dc);
    return picture;
}

uint32_t WindowPixel(HWND window, int x, int y) {
    return Capture(window, x + 1, y + 1).Pixel(x, y);
}

bool ScreenSaverRunning() {
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    return running != FALSE;
}

TEST(SaverWindowGeometry, OneMonitorMaximisesOverThePrimaryScreen) {
    WatchedWindow window;
    ASSERT_TRUE(window.Create(GetModuleHandleA(nullptr)));
    const GlimraScreenMetrics metrics = window.ScreenMetrics();
    ASSERT_LE(metrics.MonitorCount, 1) << "the test display has one screen";
    Tglimrascreen screen(window);
    screen.SetGeometry();
    window.Show();

    RECT bounds{};
    ASSERT_TRUE(GetWindowRect(window.Window(), &bounds));
    EXPECT_TRUE(IsZoomed(window.Window()));
    EXPECT_EQ(bounds.left, 0);
    EXPECT_EQ(bounds.top, 0);
    EXPECT_EQ(bounds.right, metrics.PrimaryWidth);
    EXPECT_EQ(bounds.bottom, metrics.PrimaryHeight);
    EXPECT_EQ(screen.screenwidth(), metrics.PrimaryWidth);
    EXPECT_EQ(screen.screenheight(), metrics.PrimaryHeight);
    EXPECT_EQ(window.WindowOrigin(), (GlimraPoint{0, 0}));

    char title[32] = {};
    GetWindowTextA(window.Window(), title, sizeof title);
    EXPECT_STREQ(title, "glimrascreen");
    const LONG_PTR style = GetWindowLongPtrA(window.Window(), GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER));
    EXPECT_TRUE(GetWindowLongPtrA(window.Window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST(SaverWindowGeometry, SeveralMonitorsCoverTheVirtualDesktopEvenLeftOfAndAboveThePrimary) {
    WatchedWindow window;
    window.fakeMetrics = GlimraScreenMetrics{640, 480, 2, -320, -200, 960, 680};
    ASSERT_TRUE(window.Create(GetModuleHandleA(nullptr)));
    Tglimrascreen screen(window);
    screen.SetGeometry();
    window.Show();

    RECT bounds{};
    ASSERT_TRUE(GetWindowRect(window.Window(), &bounds));
    EXPECT_FALSE(IsZoomed(window.Window()));
    EXPECT_EQ(bounds.left, -320);
    EXPECT_EQ(bounds.top, -200);
    EXPECT_EQ(bounds.right, 640);
    EXPECT_EQ(bounds.bottom, 480);
    EXPECT_EQ(screen.screenwidth(), 960);
    EXPECT_EQ(screen.screenheight(), 680);
    // Pointer messages come relative to this corner; the saver adds it before comparing.
    EXPECT_EQ(window.WindowOrigin(), (GlimraPoint{-320, -200}));
}

TEST(SaverWindowGeometry, ClosingShrinksTheWindowToNothingFromNormalState) {
    WatchedWindow window;
    ASSERT_TRUE(window.Create(GetModuleHandleA(nullptr)));
    window.MaximiseWindow();
    window.Show();
    ASSERT_TRUE(IsZoomed(window.Window()));
    window.ShrinkWindow();
    RECT bounds{};
    ASSERT_TRUE(GetWindowRect(window.Window(), &bounds));
    EXPECT_FALSE(IsZoomed(window.Window()));
    EXPECT_EQ(bounds.right - bounds.left, 0);
    EXPECT_EQ(bounds.bottom - bounds.top, 0);
}

TEST(SaverWindowMessageLoop, TheFilterSeesEachQueuedMessageBeforeTheWindowDoes) {
    WatchedWindow window;
    ASSERT_TRUE(window.Create(GetModuleHandleA(nullptr)));
    window.InstallMessageFilter(true);
    PostMessageA(window.Window(), WM_KEYDOWN, 'A', 0);
    PostMessageA(window.Window(), WM_APP, 0, 0);
    PostMessageA(window.Window(), WM_CLOSE, 0, 0);
    window.RunMessageLoop();
    EXPECT_EQ(window.events,
              (std::vector<std::string>{"filter 256", "dispatch 256", "filter 32768", "dispatch 32768"}));
    EXPECT_EQ(window.Window(), nullptr) << "WM_CLOSE destroys the window and ends the loop";
}

TEST(SaverWindowMessageLoop, WithoutTheFilterMessagesAreOnlyDispatched) {
    WatchedWindow window;
    ASSERT_TRUE(window.Create(GetModuleHandleA(nullptr)));
    window.InstallMessageFilter(true);
    window.InstallMessageFilter(false);
    PostMessageA(window.Window(), WM_KEYDOWN, 'A', 0);
    PostMessageA(window.Window(), WM_CLOSE, 0, 0);
    window.RunMessageLoop();
    EXPECT_EQ(window.events, (std::vector<std::string>{"dispatch 256"}));
}

TEST(SaverWindowPresentation, APixelDrawnIntoTheSurfaceReachesTheWindow) {
    WatchedWindow window;
    ASSERT_TRUE(window.Create(GetModuleHandleA(nullptr)));
    window.SetWindowBounds(0, 0, 64, 48);
    window.Show();
    Pixmap& surface = window.Surface(64, 48);
    ASSERT_EQ(surface.Width(), 64);
    ASSERT_EQ(surface.Height(), 48);
    FillBlack(surface, 0, 0, 64, 48);
    window.Present();

    CopyRect(surface, 10, 20, 2, 2, Solid(2, 2, Red), 0, 0);
    window.Present();
    EXPECT_EQ(WindowPixel(window.Window(), 10, 20), Red);
    EXPECT_EQ(WindowPixel(window.Window(), 11, 21), Red);
    EXPECT_EQ(WindowPixel(window.Window(), 12, 20), 0u);
    EXPECT_EQ(WindowPixel(window.Window(), 63, 47), 0u);
    EXPECT_TRUE(surface.Damage().empty()) << "presenting clears the damage";
}

// A shown 64 x 48 window whose black surface has been presented once.
class PresentedWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.Create(GetModuleHandleA(nullptr)));
        window.SetWindowBounds(0, 0, 64, 48);
        window.Show();
        Pixmap& black = window.Surface(64, 48);
        FillBlack(black, 0, 0, 64, 48);
        window.Present();
    }

    WatchedWindow window;
};

TEST_F(PresentedWindow, OnlyTheChangedAreaIsCopiedAndARepaintShowsTheWholeBackBuffer) {
    Pixmap& surface = window.Surface(64, 48);

    // Single pixels are not tracked, so this one stays behind until the window is repainted.
    surface.SetPixel(50, 40, Green);
    CopyRect(surface, 5, 5, 3, 3, Solid(3, 3, Blue), 0, 0);
    window.Present();
    EXPECT_EQ(WindowPixel(window.Window(), 6, 6), Blue);
    EXPECT_EQ(WindowPixel(window.Window(), 50, 40), 0u);

    InvalidateRect(window.Window(), nullptr, FALSE);
    UpdateWindow(window.Window());
    EXPECT_EQ(WindowPixel(window.Window(), 50, 40), Green);
    EXPECT_EQ(WindowPixel(window.Window(), 6, 6), Blue);
}

TEST_F(PresentedWindow, ScatteredChangesAreCopiedAsTheirOwnRectanglesNotTheirBounds) {
    Pixmap& surface = window.Surface(64, 48);

    // The untracked pixel lies inside the two cells' bounding box but in neither cell.
    surface.SetPixel(30, 20, Green);
    CopyRect(surface, 2, 2, 3, 3, Solid(3, 3, Blue), 0, 0);
    CopyRect(surface, 58, 40, 3, 3, Solid(3, 3, Red), 0, 0);
    window.Present();
    EXPECT_EQ(WindowPixel(window.Window(), 4, 4), Blue);
    EXPECT_EQ(WindowPixel(window.Window(), 58, 40), Red);
    EXPECT_EQ(WindowPixel(window.Window(), 30, 20), 0u);
    EXPECT_TRUE(surface.Damage().empty());
}

// The real saver logic on the real window, with the fake rasteriser and settings in memory.
class SaverWindowWithEngine : public ::testing::Test {
protected:
    void SetUp() override {
        InstallSettingsStore(&store);
        StartupModules(".\\");
        vGlimraSettings settings;
        settings.Saturation = 100;
        settings.Save(store);
        window.fakeMetrics = GlimraScreenMetrics{1280, 1024, 2, 0, 0, 160, 120};
        ASSERT_TRUE(window.Create(GetModuleHandleA(nullptr)));
        screen = std::make_unique<Tglimrascreen>(window);
        window.Attach(screen.get());
        screen->FormCreate();
        window.Show();
    }
    void TearDown() override {
        window.Attach(nullptr);
        screen.reset();
        ShutdownModules();
        InstallSettingsStore(nullptr);
    }

    ScopedFakeRasteriser fake;
    MemorySettingsStore store;
    WatchedWindow window;
    std::unique_ptr<Tglimrascreen> screen;
};

TEST_F(SaverWindowWithEngine, EveryTickReachesTheWindow) {
    ASSERT_NE(screen->engine(), nullptr);
    for (int tick = 0; tick < 40; ++tick)
        screen->timerTimer();
    Pixmap& surface = window.Surface(160, 120);
    ASSERT_NE(surface, Pixmap(160, 120)) << "the engine drew nothing";
    EXPECT_EQ(Capture(window.Window(), 160, 120), surface);
}

TEST_F(SaverWindowWithEngine, AKeyEndsTheSaverButASystemKeyAButtonPressAndAnEarlyMouseMoveDoNot) {
    bool runningAtMarker = false;
    bool flagAtMarker = false;
    window.onMarker = [&] {
        runningAtMarker =
            screen->engine() != nullptr && window.Window() != nullptr && window.FilterInstalled();
        flagAtMarker = ScreenSaverRunning();
        PostMessageA(window.Window(), WM_KEYDOWN, 'A', 0);
    };
    PostMessageA(window.Window(), WM_SYSKEYDOWN, VK_MENU, 0);
    PostMessageA(window.Window(), WM_MOUSEMOVE, 0, PointParam(150, 110));
    PostMessageA(window.Window(), WM_RBUTTONDOWN, 0, PointParam(3, 3));
    PostMessageA(window.Window(), WM_APP, 0, 0);
    window.RunMessageLoop();

    EXPECT_TRUE(runningAtMarker);
    EXPECT_TRUE(flagAtMarker);
    EXPECT_EQ(screen->engine(), nullptr);
    EXPECT_EQ(window.Window(), nullptr);
    EXPECT_FALSE(ScreenSaverRunning());
}

TEST_F(SaverWindowWithEngine, AClickOnTheWindowEndsTheSaver) {
    PostMessageA(window.Window(), WM_LBUTTONDOWN, MK_LBUTTON, PointParam(20, 20));
    PostMessageA(window.Window(), WM_LBUTTONUP, 0, PointParam(20, 20));
    window.RunMessageLoop();
    EXPECT_EQ(screen->engine(), nullptr);
    EXPECT_EQ(window.Window(), nullptr);
}

} // namespace
