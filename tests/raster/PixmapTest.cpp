#include <gtest/gtest.h>

#include "raster/Blit.h"
#include "raster/Pixmap.h"
#include "support/PixmapExpect.h"

TEST(Pixmap, StartsBlackAndIgnoresAccessOutsideItself) {
    Pixmap pixmap(3, 2);
    EXPECT_TRUE(RectIs(pixmap, 0, 0, 3, 2, 0));
    pixmap.SetPixel(3, 0, 7);
    pixmap.SetPixel(-1, 1, 7);
    EXPECT_EQ(pixmap.Pixel(3, 0), 0u);
    EXPECT_TRUE(RectIs(pixmap, 0, 0, 3, 2, 0));
    EXPECT_TRUE(Pixmap(-4, 5).IsEmpty());
    EXPECT_TRUE(Pixmap(4, 0).IsEmpty());
}

TEST(Pixmap, AViewWritesThroughToTheHostsMemoryAndACopyDoesNot) {
    uint32_t memory[2 * 4] = {};
    Pixmap view = Pixmap::Wrap(memory, 3, 2, 4);
    view.SetPixel(2, 1, 0xABCDEF);
    EXPECT_EQ(memory[1 * 4 + 2], 0xABCDEFu);
    Pixmap copy = view;
    copy.SetPixel(0, 0, 1);
    EXPECT_EQ(memory[0], 0u);
    EXPECT_EQ(copy.Pixel(2, 1), 0xABCDEFu);
    EXPECT_EQ(copy.Stride(), 3);
    EXPECT_TRUE(Pixmap::Wrap(memory, 5, 2, 4).IsEmpty());

    Pixmap moved = std::move(copy);
    EXPECT_EQ(moved.Pixel(2, 1), 0xABCDEFu);
    EXPECT_TRUE(copy.IsEmpty());
}

TEST(PixmapDamage, BlitsNoteWhatTheyWroteAndACellColumnMergesIntoOneRectangle) {
    Pixmap surface(100, 60);
    Pixmap glyph(8, 14);
    for (int32_t y = 0; y < 14; ++y)
        glyph.SetPixel(y % 8, y, 0x00FF00);
    // The cell that FillBlack wipes shows something; untracked SetPixel leaves no damage.
    surface.SetPixel(9, 20, 0xFFFFFF);
    CopyRect(surface, 0, 0, 8, 14, glyph, 0, 0);
    EXPECT_TRUE(surface.Damage().empty()) << "no tracking until asked";
    surface.TrackDamage(true);
    // Three cells of one column with a one-pixel layout gap, then one cell of the next column.
    CopyRect(surface, 8, 0, 8, 14, glyph, 0, 0);
    FillBlack(surface, 8, 14, 8, 14);
    OrRect(surface, 8, 29, 8, 14, glyph, 0, 0);
    CopyMirrored(surface, 16, 0, 8, 14, glyph, 0, 0, true, false);
    // Clipped writes note only what landed; writes that land nowhere note nothing.
    CopyRect(surface, 96, 50, 8, 14, glyph, 0, 0);
    CopyRect(surface, 200, 0, 8, 14, glyph, 0, 0);
    CopyRect(surface, 0, 0, 8, 14, glyph, 100, 0);
    EXPECT_EQ(surface.Damage(), (std::vector<PixRect>{{8, 0, 8, 43}, {16, 0, 8, 14}, {96, 50, 4, 10}}));
    EXPECT_EQ(surface.DamageBounds(), (PixRect{8, 0, 92, 60}));
    surface.ClearDamage();
    EXPECT_EQ(surface.DamageBounds(), PixRect{});
}

TEST(PixmapDamage, TooManyRectanglesCollapseIntoTheirBounds) {
    Pixmap surface(4000, 10);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 4000; ++x)
            surface.SetPixel(x, y, 0x010101);
    surface.TrackDamage(true);
    for (int32_t i = 0; i < 1500; ++i)
        FillBlack(surface, i * 2, i % 7, 1, 1);
    EXPECT_LE(surface.Damage().size(), Pixmap::MaxDamageRects);
    EXPECT_EQ(surface.DamageBounds(), (PixRect{0, 0, 2999, 7}));
}

TEST(PixmapDamage, AnOrThatAddsNoBitNotesNothing) {
    Pixmap surface(40, 30);
    Pixmap glyph(8, 14);
    for (int32_t y = 0; y < 14; ++y)
        glyph.SetPixel(3, y, 0x00FF00);
    CopyRect(surface, 0, 0, 8, 14, glyph, 0, 0);
    surface.TrackDamage(true);
    OrRect(surface, 0, 0, 8, 14, glyph, 0, 0);
    OrRect(surface, 20, 0, 8, 14, Pixmap(8, 14), 0, 0);
    EXPECT_TRUE(surface.Damage().empty());
    // One added bit, in the last row and column, notes the whole rectangle.
    glyph.SetPixel(7, 13, 0x000100);
    OrRect(surface, 0, 0, 8, 14, glyph, 0, 0);
    EXPECT_EQ(surface.Pixel(7, 13), 0x000100u);
    EXPECT_EQ(surface.Pixel(3, 13), 0x00FF00u);
    EXPECT_EQ(surface.Damage(), (std::vector<PixRect>{{0, 0, 8, 14}}));
}
