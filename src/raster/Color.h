#pragma once

#include <cstdint>

// Settings and behaviours speak Windows colour values, 0x00BBGGRR; pixmaps hold 0x00RRGGBB.
// A colour is converted once, where it enters the raster layer.
constexpr uint32_t PixelFromColorRef(uint32_t colorRef) {
    return ((colorRef & 0xFFu) << 16) | (colorRef & 0xFF00u) | ((colorRef >> 16) & 0xFFu);
}

constexpr uint32_t ColorRefFromPixel(uint32_t pixel) {
    return ((pixel & 0xFFu) << 16) | (pixel & 0xFF00u) | ((pixel >> 16) & 0xFFu);
}

constexpr uint32_t RgbColorRef(uint32_t r, uint32_t g, uint32_t b) {
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}

constexpr uint32_t RgbPixel(uint32_t r, uint32_t g, uint32_t b) {
    return ((r & 0xFFu) << 16) | ((g & 0xFFu) << 8) | (b & 0xFFu);
}
