#include <gtest/gtest.h>

#include <random>

#include "raster/Blit.h"
#include "raster/Color.h"
#include "support/PixmapExpect.h"

namespace {

// Each pixel tells where it came from: distinct values make every misplaced copy visible.
Pixmap Numbered(int32_t width, int32_t height, uint32_t base) {
    Pixmap pixmap(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            pixmap.SetPixel(x, y, base + static_cast<uint32_t>(y * 256 + x));
    return pixmap;
}

enum class Op { Copy, Or, Mirror };

// The definition, pixel by pixel: what GDI does for a 1:1 block transfer.
Pixmap Reference(Op op, const Pixmap& before, int32_t dx, int32_t dy, int32_t w, int32_t h, const Pixmap& src,
                 int32_t sx, int32_t sy, bool mirrorX, bool mirrorY) {
    Pixmap out = before;
    for (int32_t j = 0; j < h; ++j)
        for (int32_t i = 0; i < w; ++i) {
            const int32_t tx = dx + i, ty = dy + j;
            const int32_t fx = mirrorX ? sx + w - 1 - i : sx + i;
            const int32_t fy = mirrorY ? sy + h - 1 - j : sy + j;
            if (!out.Contains(tx, ty) || !src.Contains(fx, fy))
                continue;
            const uint32_t value = src.Pixel(fx, fy);
            out.SetPixel(tx, ty, op == Op::Or ? out.Pixel(tx, ty) | value : value);
        }
    return out;
}

} // namespace

TEST(Blit, EveryOperationMatchesThePixelDefinitionAcrossClippedPlacements) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int32_t> pos(-14, 22), size(-2, 18);
    const Pixmap src = Numbered(13, 9, 0x100000);
    for (int round = 0; round < 3000; ++round) {
        const Op op = static_cast<Op>(round % 3);
        Pixmap dst = Numbered(11, 10, 0x010000);
        const int32_t dx = pos(rng), dy = pos(rng), w = size(rng), h = size(rng), sx = pos(rng),
                      sy = pos(rng);
        const bool mx = op == Op::Mirror && (round & 4), my = op == Op::Mirror && (round & 8);
        const Pixmap expected = Reference(op, dst, dx, dy, w, h, src, sx, sy, mx, my);
        if (op == Op::Copy)
            CopyRect(dst, dx, dy, w, h, src, sx, sy);
        else if (op == Op::Or)
            OrRect(dst, dx, dy, w, h, src, sx, sy);
        else
            CopyMirrored(dst, dx, dy, w, h, src, sx, sy, mx, my);
        ASSERT_TRUE(PixmapsEqual(dst, expected))
            << "op " << static_cast<int>(op) << " dst (" << dx << "," << dy << ") " << w << "x" << h
            << " src (" << sx << "," << sy << ") mirror " << mx << my;
    }
}

TEST(Blit, SourceBeyondTheRightEdgeLeavesTheDestinationColumnUntouched) {
    // A glyph strip's last slot reaches one pixel past the strip; that column must keep what the
    // cell showed.
    Pixmap strip(6, 2);
    FillBlack(strip, 0, 0, 6, 2);
    for (int32_t x = 0; x < 6; ++x)
        strip.SetPixel(x, 0, 0x00FF00);
    Pixmap cell(3, 2);
    for (int32_t x = 0; x < 3; ++x)
        cell.SetPixel(x, 1, 0x123456);
    CopyRect(cell, 0, 0, 3, 2, strip, 4, 0);
    EXPECT_EQ(cell.Pixel(0, 0), 0x00FF00u);
    EXPECT_EQ(cell.Pixel(1, 0), 0x00FF00u);
    EXPECT_EQ(cell.Pixel(2, 0), 0u);
    EXPECT_EQ(cell.Pixel(2, 1), 0x123456u);
    EXPECT_EQ(cell.Pixel(0, 1), 0u);
}

TEST(Blit, FillBlackClipsToTheRightAndBottomEdgesAndIgnoresEmptyAreas) {
    Pixmap pixmap = Numbered(8, 6, 0x200000);
    const Pixmap untouched = pixmap;
    FillBlack(pixmap, 6, 4, 10, 10);
    EXPECT_TRUE(RectIs(pixmap, 6, 4, 2, 2, 0));
    EXPECT_EQ(pixmap.Pixel(5, 4), untouched.Pixel(5, 4));
    EXPECT_EQ(pixmap.Pixel(6, 3), untouched.Pixel(6, 3));

    Pixmap other = untouched;
    FillBlack(other, -5, -5, 5, 5);
    FillBlack(other, 8, 0, 3, 3);
    FillBlack(other, 0, 6, 3, 3);
    FillBlack(other, 1, 1, 0, 4);
    FillBlack(other, 1, 1, 4, -1);
    FillBlack(other, INT32_MAX - 1, INT32_MAX - 1, INT32_MAX, INT32_MAX);
    EXPECT_TRUE(PixmapsEqual(other, untouched));
}

TEST(Blit, ExtremeCoordinatesNeitherOverflowNorTouchAnything) {
    Pixmap dst = Numbered(4, 4, 0x300000);
    const Pixmap before = dst;
    const Pixmap src = Numbered(4, 4, 0x400000);
    CopyRect(dst, INT32_MAX, 0, INT32_MAX, 4, src, 0, 0);
    CopyRect(dst, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, src, INT32_MIN, 0);
    CopyMirrored(dst, 0, 0, INT32_MAX, INT32_MAX, src, INT32_MAX, INT32_MAX, true, true);
    EXPECT_TRUE(PixmapsEqual(dst, before));
    Pixmap empty;
    CopyRect(empty, 0, 0, 4, 4, src, 0, 0);
    CopyRect(dst, 0, 0, 4, 4, empty, 0, 0);
    EXPECT_TRUE(PixmapsEqual(dst, before));
}

TEST(Blit, MirroringBothWaysTurnsTheImageByHalfATurn) {
    const Pixmap src = Numbered(5, 3, 0x500000);
    Pixmap dst(5, 3);
    CopyMirrored(dst, 0, 0, 5, 3, src, 0, 0, true, true);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x)
            ASSERT_EQ(dst.Pixel(x, y), src.Pixel(4 - x, 2 - y)) << x << "," << y;
}

TEST(Color, ColorRefAndPixelSwapRedAndBlue) {
    EXPECT_EQ(PixelFromColorRef(0x00C6FF00u), 0x0000FFC6u);
    EXPECT_EQ(ColorRefFromPixel(0x0000FFC6u), 0x00C6FF00u);
    // The top byte of a stored colour is not part of the picture.
    EXPECT_EQ(PixelFromColorRef(0xAB123456u), 0x00563412u);
    EXPECT_EQ(RgbColorRef(0, 255, 198), 0x00C6FF00u);
    EXPECT_EQ(RgbPixel(1, 2, 3), 0x00010203u);
}
