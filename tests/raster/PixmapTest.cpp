#include <gtest/gtest.h>

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
