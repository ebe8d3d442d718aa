#pragma once

#include <gtest/gtest.h>

#include <string>

#include "raster/Pixmap.h"

// Compares two pictures and, when they differ, names the first wrong pixel (row by row) with both
// values; the caller's label says which picture it was.
::testing::AssertionResult PixmapsEqual(const Pixmap& actual, const Pixmap& expected);

// Every pixel of the rectangle (clipped to the pixmap) has the value.
::testing::AssertionResult RectIs(const Pixmap& pixmap, int32_t left, int32_t top, int32_t width,
                                  int32_t height, uint32_t value);

std::string PixelText(uint32_t pixel);

// A pixmap of the size with every pixel the value.
Pixmap Solid(int32_t width, int32_t height, uint32_t pixel);
