#pragma once

#include <cstdint>
#include <vector>

#include "raster/DamageBands.h"
#include "raster/Pixmap.h"

// Keeps the canvas's copy of the surface: RGBA bytes, the layout of the canvas's ImageData, which
// the page puts on the canvas rectangle by rectangle. Only what a tick damaged is converted and
// handed over, in bands, since each rectangle the page copies costs a call.
class WebCanvasPresenter {
public:
    // A copy for a surface of width x height, black and opaque, to be presented whole.
    void Resize(int32_t width, int32_t height);
    // Converts the surface's damage since the last call (all of it after Resize or PresentAll) and
    // clears it; the rectangles the page must copy are then Rects(), four numbers each.
    void Present(Pixmap& surface);
    void PresentAll() { m_whole = true; }

    uint8_t* Pixels() { return reinterpret_cast<uint8_t*>(m_rgba.data()); }
    const std::vector<int32_t>& Rects() const { return m_rects; }

    // Damaged spans closer than this merge into one band: a canvas call costs about what copying a
    // few dozen pixels does.
    static constexpr int32_t BandGap = 48;

private:
    void Convert(const Pixmap& surface, const PixRect& rect);

    std::vector<uint32_t> m_rgba;
    std::vector<int32_t> m_rects;
    DamageBands m_bands;
    int32_t m_width = 0;
    int32_t m_height = 0;
    bool m_whole = true;
};
