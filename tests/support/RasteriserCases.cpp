#include "support/RasteriserCases.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/PixmapExpect.h"

namespace {

constexpr uint32_t White = 0x00FFFFFF;

uint32_t Lightness(uint32_t pixel) {
    return ((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF);
}

} // namespace

GlimraLogFont LogFontOf(const char* face, int32_t height, int32_t weight) {
    GlimraLogFont logFont{};
    logFont.lfHeight = height;
    logFont.lfWeight = weight;
    logFont.lfCharSet = 1;
    std::strncpy(logFont.lfFaceName, face, sizeof logFont.lfFaceName - 1);
    return logFont;
}

Pixmap DrawInCell(const GlimraFont& font, uint8_t code, uint32_t colorRef) {
    Pixmap pixmap(font.Metrics().MaxCharWidth, font.Metrics().Height);
    font.DrawChar(pixmap, code, colorRef);
    return pixmap;
}

uint32_t Brightest(const Pixmap& pixmap) {
    uint32_t brightest = 0;
    for (int32_t y = 0; y < pixmap.Height(); ++y)
        for (int32_t x = 0; x < pixmap.Width(); ++x)
            if (Lightness(pixmap.Pixel(x, y)) > Lightness(brightest))
                brightest = pixmap.Pixel(x, y);
    return brightest;
}

bool IsBlank(const Pixmap& pixmap) {
    return pixmap == Pixmap(pixmap.Width(), pixmap.Height());
}

void ExpectTheBundledFontsCells(GlimraRasteriser& rasteriser) {
    auto metrics = [&](int32_t height, int32_t weight) {
        return rasteriser.CreateFont(LogFontOf(BundledFace, height, weight))->Metrics();
    };
    // The defaults: usWinAscent 1802 and usWinDescent 401 of 2048 give 11 + 3 pixels at a 13-pixel
    // em; the 1024-unit glyph extent gives 7 pixels, 8 emboldened.
    EXPECT_EQ(metrics(-13, 900).Height, 14);
    EXPECT_EQ(metrics(-13, 900).MaxCharWidth, 8);
    EXPECT_EQ(metrics(-13, 400).MaxCharWidth, 7);
    EXPECT_EQ(metrics(-26, 900).Height, 28);
    EXPECT_EQ(metrics(-26, 900).MaxCharWidth, 14);
    // A positive height is the cell's: 14 is the cell of the 13-pixel em.
    EXPECT_EQ(metrics(14, 900).Height, 14);
    EXPECT_EQ(metrics(14, 900).MaxCharWidth, 8);
    // No height at all is GDI's default cell of 16 pixels.
    EXPECT_EQ(metrics(0, 400).Height, 16);
    EXPECT_EQ(metrics(0, 400).MaxCharWidth, 8);
    // The settings' "Font Size" 0 and -20 reach the font as lfHeight 0 and 27, at weight 900.
    EXPECT_EQ(metrics(0, 900).Height, 16);
    EXPECT_EQ(metrics(0, 900).MaxCharWidth, 9);
    EXPECT_EQ(metrics(27, 900).Height, 27);
    EXPECT_EQ(metrics(27, 900).MaxCharWidth, 14);
}

void ExpectEachKatakanaDrawnApart(GlimraRasteriser& rasteriser) {
    auto font = rasteriser.CreateFont(LogFontOf(BundledFace));
    std::vector<Pixmap> images;
    for (int code = 193; code <= 237; ++code) {
        images.push_back(DrawInCell(*font, static_cast<uint8_t>(code)));
        EXPECT_FALSE(IsBlank(images.back())) << "code " << code;
        for (size_t other = 0; other + 1 < images.size(); ++other)
            EXPECT_FALSE(images[other] == images.back()) << "codes " << 193 + other << " and " << code;
    }
    EXPECT_FALSE(DrawInCell(*font, 'A') == DrawInCell(*font, 'B'));
}

void ExpectOnlyTheCellPainted(GlimraRasteriser& rasteriser, std::initializer_list<uint8_t> codes) {
    auto font = rasteriser.CreateFont(LogFontOf(BundledFace));
    for (uint8_t code : codes) {
        Pixmap target(12, 18);
        for (int32_t y = 0; y < target.Height(); ++y)
            for (int32_t x = 0; x < target.Width(); ++x)
                target.SetPixel(x, y, White);
        font->DrawChar(target, code, SeaGreen);
        Pixmap cell = DrawInCell(*font, code);
        for (int32_t y = 0; y < target.Height(); ++y) {
            for (int32_t x = 0; x < target.Width(); ++x) {
                uint32_t expected = x < 8 && y < 14 ? cell.Pixel(x, y) : White;
                ASSERT_EQ(target.Pixel(x, y), expected) << "code " << int{code} << " at " << x << "," << y;
            }
        }
    }
    EXPECT_TRUE(IsBlank(DrawInCell(*font, ' ')));
}

void ExpectClippedToASmallerTarget(GlimraRasteriser& rasteriser) {
    auto font = rasteriser.CreateFont(LogFontOf(BundledFace));
    Pixmap full = DrawInCell(*font, 'W');
    Pixmap small(3, 5);
    font->DrawChar(small, 'W', SeaGreen);
    for (int32_t y = 0; y < small.Height(); ++y)
        for (int32_t x = 0; x < small.Width(); ++x)
            EXPECT_EQ(small.Pixel(x, y), full.Pixel(x, y)) << x << "," << y;
}

void ExpectTheColourAtFullCoverageAndAntiAliasedEdges(GlimraRasteriser& rasteriser,
                                                      const std::function<bool(uint32_t pixel)>& isFaithful) {
    auto font = rasteriser.CreateFont(LogFontOf(BundledFace));
    const uint32_t full = PixelFromColorRef(SeaGreen);
    int edgePixels = 0;
    for (int code = 193; code <= 237; ++code) {
        const Pixmap image = DrawInCell(*font, static_cast<uint8_t>(code));
        ASSERT_EQ(Brightest(image), full) << "code " << code;
        for (int32_t y = 0; y < image.Height(); ++y)
            for (int32_t x = 0; x < image.Width(); ++x) {
                const uint32_t pixel = image.Pixel(x, y);
                ASSERT_TRUE(isFaithful(pixel))
                    << "code " << code << " at " << x << "," << y << ": " << PixelText(pixel);
                edgePixels += pixel != 0 && pixel != full;
            }
    }
    EXPECT_GT(edgePixels, 45) << "the glyphs are not anti-aliased";
}
