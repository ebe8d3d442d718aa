#include "support/PixmapExpect.h"

#include <cstdio>

std::string PixelText(uint32_t pixel) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", pixel & 0xFFFFFFu);
    return text;
}

::testing::AssertionResult PixmapsEqual(const Pixmap& actual, const Pixmap& expected) {
    if (actual.Width() != expected.Width() || actual.Height() != expected.Height())
        return ::testing::AssertionFailure() << "size " << actual.Width() << "x" << actual.Height()
                                             << ", expected " << expected.Width() << "x" << expected.Height();
    for (int32_t y = 0; y < actual.Height(); ++y)
        for (int32_t x = 0; x < actual.Width(); ++x)
            if (actual.Pixel(x, y) != expected.Pixel(x, y))
                return ::testing::AssertionFailure()
                       << "first wrong pixel at (" << x << ", " << y << "): " << PixelText(actual.Pixel(x, y))
                       << ", expected " << PixelText(expected.Pixel(x, y));
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult RectIs(const Pixmap& pixmap, int32_t left, int32_t top, int32_t width,
                                  int32_t height, uint32_t value) {
    for (int32_t y = top; y < top + height; ++y)
        for (int32_t x = left; x < left + width; ++x)
            if (pixmap.Contains(x, y) && pixmap.Pixel(x, y) != value)
                return ::testing::AssertionFailure()
                       << "first wrong pixel at (" << x << ", " << y << "): " << PixelText(pixmap.Pixel(x, y))
                       << ", expected " << PixelText(value);
    return ::testing::AssertionSuccess();
}

Pixmap Solid(int32_t width, int32_t height, uint32_t pixel) {
    Pixmap solid(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            solid.SetPixel(x, y, pixel);
    return solid;
}
