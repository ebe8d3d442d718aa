// The back buffer against a real X server: what reaches the window is exactly the damaged area.

#include <gtest/gtest.h>

#include "platform/x11/X11BackBuffer.h"
#include "platform/x11/XvfbServer.h"
#include "raster/Blit.h"
#include "support/PixmapExpect.h"

namespace {

class X11BackBufferTest : public ::testing::TestWithParam<bool> {
protected:
    static void SetUpTestSuite() { server = new XvfbServer(320, 200); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    void SetUp() override {
        ASSERT_FALSE(server->DisplayName().empty()) << "Xvfb did not start";
        display = XOpenDisplay(server->DisplayName().c_str());
        ASSERT_NE(display, nullptr);
        const int screen = DefaultScreen(display);
        XSetWindowAttributes attributes{};
        attributes.background_pixel = 0x123456;
        attributes.override_redirect = True;
        window = XCreateWindow(display, RootWindow(display, screen), 0, 0, Width, Height, 0, CopyFromParent,
                               InputOutput, CopyFromParent, CWBackPixel | CWOverrideRedirect, &attributes);
        XMapWindow(display, window);
        XSync(display, False);
        XClearWindow(display, window);
        buffer = X11BackBuffer::Create(display, window, DefaultVisual(display, screen),
                                       DefaultDepth(display, screen), Width, Height, GetParam());
        ASSERT_NE(buffer, nullptr);
    }

    void TearDown() override {
        buffer.reset();
        if (display != nullptr)
            XCloseDisplay(display);
    }

    uint32_t WindowPixel(int x, int y) {
        XSync(display, False);
        XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
        const uint32_t pixel = static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
        XDestroyImage(image);
        return pixel;
    }

    static constexpr int Width = 64;
    static constexpr int Height = 48;
    static XvfbServer* server;
    Display* display = nullptr;
    Window window = 0;
    std::unique_ptr<X11BackBuffer> buffer;
};

XvfbServer* X11BackBufferTest::server = nullptr;

TEST_P(X11BackBufferTest, UsesSharedMemoryOnlyWhenAllowed) {
    // Xvfb on this machine offers MIT-SHM, so the choice is the caller's.
    EXPECT_EQ(buffer->UsesSharedMemory(), GetParam());
    EXPECT_TRUE(buffer->Surface().TracksDamage());
    EXPECT_EQ(buffer->Surface().Width(), Width);
    EXPECT_EQ(buffer->Surface().Pixel(Width - 1, Height - 1), 0u);
}

TEST_P(X11BackBufferTest, PresentsOnlyTheDamagedArea) {
    Pixmap& surface = buffer->Surface();
    const Pixmap red = Solid(10, 8, 0xFF0000);
    surface.ClearDamage();
    CopyRect(surface, 20, 10, 10, 8, red, 0, 0);
    // An undamaged change: written pixel by pixel, it must not reach the window.
    surface.SetPixel(2, 2, 0x00FF00);
    buffer->PresentDamage();
    EXPECT_TRUE(surface.Damage().empty());
    EXPECT_EQ(WindowPixel(20, 10), 0xFF0000u);
    EXPECT_EQ(WindowPixel(29, 17), 0xFF0000u);
    EXPECT_EQ(WindowPixel(30, 17), 0x123456u);
    EXPECT_EQ(WindowPixel(29, 18), 0x123456u);
    EXPECT_EQ(WindowPixel(2, 2), 0x123456u);
    // A repaint, as an Expose asks, copies whatever the buffer holds there.
    buffer->Repaint(0, 0, 4, 4);
    EXPECT_EQ(WindowPixel(2, 2), 0x00FF00u);
    EXPECT_EQ(WindowPixel(3, 3), 0u);
    EXPECT_EQ(WindowPixel(4, 4), 0x123456u);
}

TEST_P(X11BackBufferTest, ScatteredDamageReachesTheWindowAsItsRectanglesNotTheirBounds) {
    Pixmap& surface = buffer->Surface();
    const Pixmap green = Solid(4, 4, 0x00FF00);
    surface.ClearDamage();
    // Two cells in opposite corners and a column of three cells, with an untracked pixel between.
    CopyRect(surface, 0, 0, 4, 4, green, 0, 0);
    CopyRect(surface, Width - 4, Height - 4, 4, 4, green, 0, 0);
    for (int32_t row = 0; row < 3; ++row)
        CopyRect(surface, 30, 10 + row * 4, 4, 4, green, 0, 0);
    EXPECT_EQ(surface.Damage().size(), 3u);
    surface.SetPixel(20, 20, 0xFF0000);
    buffer->PresentDamage();
    EXPECT_EQ(WindowPixel(0, 0), 0x00FF00u);
    EXPECT_EQ(WindowPixel(Width - 1, Height - 1), 0x00FF00u);
    EXPECT_EQ(WindowPixel(33, 21), 0x00FF00u);
    EXPECT_EQ(WindowPixel(20, 20), 0x123456u);
    EXPECT_EQ(WindowPixel(4, 4), 0x123456u);
    // A repaint afterwards is not held back by the clip of the damage.
    buffer->Repaint(18, 18, 4, 4);
    EXPECT_EQ(WindowPixel(20, 20), 0xFF0000u);
}

TEST_P(X11BackBufferTest, ClipsDamageAndRepaintsOutsideTheSurface) {
    buffer->Surface().NoteDamage(-10, -10, 1000, 1000);
    buffer->PresentDamage();
    buffer->Repaint(Width - 2, Height - 2, 50, 50);
    buffer->Repaint(Width, 0, 5, 5);
    EXPECT_EQ(WindowPixel(0, 0), 0u);
    EXPECT_EQ(WindowPixel(Width - 1, Height - 1), 0u);
}

INSTANTIATE_TEST_SUITE_P(Presenting, X11BackBufferTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "SharedMemory" : "PlainImage";
                         });

TEST(X11BackBufferVisual, AcceptsOnlyTheSurfaceLayout) {
    Visual visual{};
    visual.c_class = TrueColor;
    visual.red_mask = 0xFF0000;
    visual.green_mask = 0x00FF00;
    visual.blue_mask = 0x0000FF;
    EXPECT_TRUE(IsSurfaceVisual(&visual, 24));
    EXPECT_TRUE(IsSurfaceVisual(&visual, 32));
    EXPECT_FALSE(IsSurfaceVisual(&visual, 16));
    visual.red_mask = 0x0000FF;
    visual.blue_mask = 0xFF0000;
    EXPECT_FALSE(IsSurfaceVisual(&visual, 24));
    visual.red_mask = 0xFF0000;
    visual.blue_mask = 0x0000FF;
    visual.c_class = PseudoColor;
    EXPECT_FALSE(IsSurfaceVisual(&visual, 24));
    EXPECT_FALSE(IsSurfaceVisual(nullptr, 24));
}

} // namespace
