#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <vector>

#include "platform/wayland/WaylandBufferFlip.h"
#include "raster/Blit.h"

namespace {

constexpr int32_t Width = 24;
constexpr int32_t Height = 16;

bool Covered(const std::vector<PixRect>& rects, int32_t x, int32_t y) {
    for (const PixRect& rect : rects)
        if (x >= rect.X && x < rect.X + rect.Width && y >= rect.Y && y < rect.Y + rect.Height)
            return true;
    return false;
}

// A compositor that holds each buffer it is given until it chooses to give it back, in any order,
// and an engine that draws with the raster operations at random: the engine must always draw on
// the whole latest picture, a held buffer must never change, and each frame must be that picture,
// with damage that covers every pixel that changed on screen.
TEST(WaylandBufferFlip, TheEngineDrawsOnTheLatestPictureAndNeverOnAHeldBuffer) {
    std::vector<uint32_t> memory(2 * Width * Height, 0);
    WaylandBufferFlip flip(Pixmap::Wrap(memory.data(), Width, Height, Width),
                           Pixmap::Wrap(memory.data() + Width * Height, Width, Height, Width));
    Pixmap source(Width, Height);
    for (int32_t y = 0; y < Height; ++y)
        for (int32_t x = 0; x < Width; ++x)
            source.SetPixel(x, y, 0x010101u * static_cast<uint32_t>(x + y * Width));
    Pixmap picture(Width, Height);
    Pixmap shown(Width, Height);
    std::optional<Pixmap> held[2];
    int spareDraws = 0;
    int frames = 0;
    std::mt19937 random(11);
    auto pick = [&random](int32_t from, int32_t to) {
        return from + static_cast<int32_t>(random() % static_cast<uint32_t>(to - from));
    };

    for (int step = 0; step < 3000; ++step) {
        const int action = pick(0, 10);
        if (action < 5) {
            Pixmap& surface = flip.Surface();
            ASSERT_TRUE(surface == picture) << "step " << step << ": the engine draws on an old picture";
            const bool onSpare = &surface != &flip.Pixels(0) && &surface != &flip.Pixels(1);
            spareDraws += onSpare;
            const int32_t x = pick(-4, Width), y = pick(-4, Height), w = pick(0, 12), h = pick(0, 12);
            const int32_t shift = pick(0, 4);
            for (Pixmap* target : {&surface, &picture}) {
                if (action == 0)
                    FillBlack(*target, x, y, w, h);
                else if (action < 3)
                    CopyRect(*target, x, y, w, h, source, shift, 0);
                else
                    OrRect(*target, x, y, w, h, source, 0, shift);
            }
        } else if (action < 8) {
            const std::optional<WaylandBufferFlip::Frame> frame = flip.TakeFrame();
            if (!frame)
                continue;
            ++frames;
            const Pixmap& given = flip.Pixels(frame->Buffer);
            ASSERT_TRUE(given == picture) << "step " << step << ": a frame that is not the picture";
            for (int32_t y = 0; y < Height; ++y) {
                for (int32_t x = 0; x < Width; ++x) {
                    if (given.Pixel(x, y) != shown.Pixel(x, y)) {
                        ASSERT_TRUE(Covered(frame->Damage, x, y))
                            << "step " << step << ": (" << x << ", " << y << ") changed undamaged";
                    }
                }
            }
            shown = given;
            held[frame->Buffer] = given;
        } else {
            const int buffer = pick(0, 2);
            if (flip.Held(buffer))
                flip.Released(buffer);
            held[buffer].reset();
        }
        for (int buffer : {0, 1}) {
            if (held[buffer]) {
                ASSERT_TRUE(flip.Pixels(buffer) == *held[buffer])
                    << "step " << step << ": a held buffer changed";
            }
        }
    }
    // The script reached both ways of drawing.
    EXPECT_GT(frames, 100);
    EXPECT_GT(spareDraws, 10);
}

} // namespace
